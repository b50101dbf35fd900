#pragma once

#include <array>
#include <vector>

#include "fullschema/fullschema.h"
#include "fullschema/inheritance.h"
#include "fullschema/pairing.h"
#include "fullschema/references.h"

// What the comparison of each pair of definitions needs from the two
// schemas, worked out once for the whole comparison.
namespace fullschema {

inline constexpr std::size_t inheritedCount = 4;

struct ComparisonContext {
    ComparisonContext(const FullSchema& schemaA, const FullSchema& schemaB, bool strictly);
    ComparisonContext(const ComparisonContext&) = delete;
    ComparisonContext& operator=(const ComparisonContext&) = delete;

    const Pairing& pairing(Kind kind) const { return pairings[schemadesc::kindIndex(kind)]; }
    const Source& source(Side side, Inherited field, std::size_t index) const;

    const FullSchema& a;
    const FullSchema& b;
    const bool strict;
    const std::array<Pairing, kindCount> pairings;
    const ReferenceKeys keys;
    // The sources of the inherited fields of attribute types, by Inherited.
    const std::array<std::vector<Source>, inheritedCount> sourcesA;
    const std::array<std::vector<Source>, inheritedCount> sourcesB;
    SuperclassWalk superclassesA;
    SuperclassWalk superclassesB;
};

}  // namespace fullschema
