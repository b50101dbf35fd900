#include "fullschema/references.h"

#include "toollib/namecompare.h"

namespace fullschema {

// The three sorts of key start with different characters, so that no text
// can pass for a definition.
ReferenceKeys::ReferenceKeys(const FullSchema& a, const FullSchema& b,
                             const std::array<Pairing, kindCount>& pairings)
    : a_(a), b_(b), pairings_(pairings) {}

std::string ReferenceKeys::keyOfA(std::size_t index) const {
    return "#" + std::to_string(index);
}

std::string ReferenceKeys::keyOfB(Kind target, std::size_t index) const {
    const std::size_t paired = pairings_[schemadesc::kindIndex(target)].bToA[index];
    return paired != Pairing::none ? keyOfA(paired) : "*" + std::to_string(index);
}

std::string ReferenceKeys::key(Side side, Kind target, std::string_view reference) const {
    const FullSchema& own = side == Side::a ? a_ : b_;
    const FullSchema& other = side == Side::a ? b_ : a_;
    auto found = own.resolve(target, reference);
    bool inA = side == Side::a;
    if (!found) {
        found = other.resolve(target, reference);
        inA = !inA;
    }
    if (found) {
        return inA ? keyOfA(*found) : keyOfB(target, *found);
    }
    std::string text = "=";
    for (const char c : reference) {
        text += foldName(c);
    }
    return text;
}

}  // namespace fullschema
