#include "fullschema/comparison.h"

#include <algorithm>

#include "fullschema/context.h"
#include "fullschema/fieldcomparer.h"
#include "toollib/namecompare.h"

namespace fullschema {

namespace {

Difference onlyIn(Kind kind, const FullDefinition& definition, bool inA) {
    Difference difference;
    difference.kind = kind;
    difference.name = reportedName(kind, definition);
    difference.oid = definition.oid;
    difference.change = inA ? Change::onlyInA : Change::onlyInB;
    difference.severity = inA ? Severity::breaking : Severity::compatible;
    return difference;
}

void compareKind(ComparisonContext& context, Kind kind, std::vector<Difference>& out) {
    const Pairing& pairing = context.pairing(kind);
    const auto& definitionsA = context.a.definitions(kind);
    const auto& definitionsB = context.b.definitions(kind);
    PairScratch scratch;
    for (std::size_t at = 0; at < definitionsA.size(); ++at) {
        if (pairing.aToB[at] == Pairing::none) {
            out.push_back(onlyIn(kind, definitionsA[at], true));
        } else if (!plainlyAlike(context, kind, at, pairing.aToB[at], scratch)) {
            comparePaired(context, kind, at, pairing.aToB[at], out);
        }
    }
    for (std::size_t at = 0; at < definitionsB.size(); ++at) {
        if (pairing.bToA[at] == Pairing::none) {
            out.push_back(onlyIn(kind, definitionsB[at], false));
        }
    }
}

// A definition only on one side comes before the fields of one of the same
// name; what ties stays in the order found.
void order(std::vector<Difference>& differences) {
    const auto rank = [](const Difference& difference) {
        return difference.field.empty() ? 0 : 1 + fieldRank(difference.kind, difference.field);
    };
    std::stable_sort(differences.begin(), differences.end(),
                     [&rank](const Difference& x, const Difference& y) {
                         if (x.kind != y.kind) {
                             return x.kind < y.kind;
                         }
                         const int names = compareNames(x.name, y.name);
                         if (names != 0) {
                             return names < 0;
                         }
                         return rank(x) < rank(y);
                     });
}

}  // namespace

Comparison compareSchemas(const FullSchema& a, const FullSchema& b, bool strict) {
    Comparison comparison;
    ComparisonContext context(a, b, strict);
    for (const Kind kind : schemadesc::allKinds) {
        const bool noneInA = a.definitions(kind).empty();
        const bool noneInB = b.definitions(kind).empty();
        if (noneInA != noneInB) {
            comparison.notCompared.push_back({kind, noneInA});
        } else if (!noneInA) {
            compareKind(context, kind, comparison.differences);
        }
    }
    order(comparison.differences);
    for (const Difference& difference : comparison.differences) {
        ++comparison.counts[static_cast<std::size_t>(difference.severity)];
    }
    return comparison;
}

std::string_view severityName(Severity severity) {
    switch (severity) {
        case Severity::breaking:
            return "breaking";
        case Severity::compatible:
            return "compatible";
        case Severity::cosmetic:
            return "cosmetic";
    }
    return "breaking";
}

}  // namespace fullschema
