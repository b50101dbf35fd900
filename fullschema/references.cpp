#include "fullschema/references.h"

#include <optional>

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

ReferenceKeys::Key ReferenceKeys::keyOf(Side side, Kind target, std::string_view reference) const {
    const FullSchema& own = side == Side::a ? a_ : b_;
    const auto found = own.resolve(target, reference);
    return keyOf(side, target, reference,
                 found ? static_cast<std::uint32_t>(*found) : FullSchema::noDefinition);
}

ReferenceKeys::Key ReferenceKeys::keyOf(Side side, Kind target, std::string_view reference,
                                        std::uint32_t resolved) const {
    const FullSchema& other = side == Side::a ? b_ : a_;
    std::optional<std::size_t> found;
    if (resolved != FullSchema::noDefinition) {
        found = resolved;
    }
    bool inA = side == Side::a;
    if (!found) {
        found = other.resolve(target, reference);
        inA = !inA;
    }
    if (!found) {
        return {Key::Sort::text, 0, reference};
    }
    if (inA) {
        return {Key::Sort::paired, *found, {}};
    }
    const std::size_t paired = pairings_[schemadesc::kindIndex(target)].bToA[*found];
    return paired != Pairing::none ? Key{Key::Sort::paired, paired, {}}
                                   : Key{Key::Sort::onlyInB, *found, {}};
}

bool ReferenceKeys::same(const Key& x, const Key& y) {
    if (x.sort != y.sort) {
        return false;
    }
    return x.sort == Key::Sort::text ? namesEqual(x.text, y.text) : x.index == y.index;
}

bool ReferenceKeys::before(const Key& x, const Key& y) {
    if (x.sort != y.sort) {
        return x.sort < y.sort;
    }
    return x.sort == Key::Sort::text ? compareNames(x.text, y.text) < 0 : x.index < y.index;
}

std::string ReferenceKeys::key(Side side, Kind target, std::string_view reference) const {
    const Key found = keyOf(side, target, reference);
    switch (found.sort) {
        case Key::Sort::paired:
            return tagged('#', found.index);
        case Key::Sort::onlyInB:
            return tagged('*', found.index);
        case Key::Sort::text:
            break;
    }
    std::string text = "=";
    for (const char c : reference) {
        text += foldName(c);
    }
    return text;
}

}  // namespace fullschema
