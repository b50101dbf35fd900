#include "fullschema/context.h"

namespace fullschema {

namespace {

std::array<Pairing, kindCount> pairAll(const FullSchema& a, const FullSchema& b) {
    std::array<Pairing, kindCount> pairings;
    for (const Kind kind : schemadesc::allKinds) {
        pairings[schemadesc::kindIndex(kind)] =
            pairDefinitions(kind, a.definitions(kind), b.definitions(kind));
    }
    return pairings;
}

std::array<std::vector<Source>, inheritedCount> allSources(const FullSchema& schema) {
    const std::vector<std::uint8_t> own = ownFields(schema);
    return {effectiveSources(schema, Inherited::syntax, own),
            effectiveSources(schema, Inherited::equality, own),
            effectiveSources(schema, Inherited::ordering, own),
            effectiveSources(schema, Inherited::substr, own)};
}

}  // namespace

ComparisonContext::ComparisonContext(const FullSchema& schemaA, const FullSchema& schemaB,
                                     bool strictly)
    : a(schemaA),
      b(schemaB),
      strict(strictly),
      pairings(pairAll(schemaA, schemaB)),
      keys(schemaA, schemaB, pairings),
      sourcesA(allSources(schemaA)),
      sourcesB(allSources(schemaB)),
      superclassesA(schemaA),
      superclassesB(schemaB) {}

const Source& ComparisonContext::source(Side side, Inherited field, std::size_t index) const {
    const auto& sources = side == Side::a ? sourcesA : sourcesB;
    return sources[static_cast<std::size_t>(field)][index];
}

}  // namespace fullschema
