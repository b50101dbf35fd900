#include "fullschema/references.h"

#include "toollib/namecompare.h"

namespace fullschema {

// The three sorts of key start with different characters, so that no text
// can pass for a definition.
ReferenceKeys::ReferenceKeys(const FullSchema& a, const FullSchema& b,
                             const std::array<Pairing, kindCount>& pairings)
    : a_(a), b_(b), pairings_(pairings) {}

namespace {

// Appended, not joined to a literal: GCC 12 warns of an overlap that cannot
// be when it inlines "#" + text (-Wrestrict).
std::string tagged(char tag, std::size_t index) {
    std::string key(1, tag);
    key += std::to_string(index);
    return key;
}

}  // namespace

std::string ReferenceKeys::keyOfA(std::size_t index) const {
    return tagged('#', index);
}

std::string ReferenceKeys::keyOfB(Kind target, std::size_t index) const {
    const std::size_t paired = pairings_[schemadesc::kindIndex(target)].bToA[index];
    return paired != Pairing::none ? keyOfA(paired) : tagged('*', index);
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
