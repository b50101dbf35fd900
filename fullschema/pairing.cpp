#include "fullschema/pairing.h"

#include <string>
#include <unordered_map>

#include "toollib/namecompare.h"

namespace fullschema {

namespace {

using schemadesc::FullDefinition;
using schemadesc::Kind;

// The definitions of B that carry one key, in source order, with the place
// of the first one that may still be unpaired.
struct Waiting {
    std::vector<std::size_t> indexes;
    std::size_t next = 0;
};
using WaitingByKey = std::unordered_map<std::string, Waiting, NameHash, NameEqual>;

bool pairsByName(Kind kind) {
    return kind != Kind::ldapSyntaxes && kind != Kind::matchingRuleUse &&
           kind != Kind::dITContentRules && kind != Kind::dITStructureRules;
}

// The first definition waiting under `key` that is still unpaired. Each
// skipped entry is skipped once: the scan over all keys stays linear.
std::size_t firstUnpaired(WaitingByKey& waiting, const std::string& key,
                          const std::vector<std::size_t>& bToA) {
    const auto found = waiting.find(key);
    if (found == waiting.end()) {
        return Pairing::none;
    }
    Waiting& entry = found->second;
    while (entry.next < entry.indexes.size() && bToA[entry.indexes[entry.next]] != Pairing::none) {
        ++entry.next;
    }
    return entry.next < entry.indexes.size() ? entry.indexes[entry.next] : Pairing::none;
}

void pair(Pairing& pairing, std::size_t inA, std::size_t inB) {
    pairing.aToB[inA] = inB;
    pairing.bToA[inB] = inA;
}

void pairByOid(Pairing& pairing, const std::vector<FullDefinition>& a,
               const std::vector<FullDefinition>& b) {
    WaitingByKey waiting;
    waiting.reserve(b.size());
    for (std::size_t at = 0; at < b.size(); ++at) {
        waiting[b[at].oid].indexes.push_back(at);
    }
    for (std::size_t at = 0; at < a.size(); ++at) {
        if (a[at].oid.empty()) {
            continue;
        }
        const std::size_t match = firstUnpaired(waiting, a[at].oid, pairing.bToA);
        if (match != Pairing::none) {
            pair(pairing, at, match);
        }
    }
}

void pairByName(Pairing& pairing, const std::vector<FullDefinition>& a,
                const std::vector<FullDefinition>& b) {
    WaitingByKey waiting;
    for (std::size_t at = 0; at < b.size(); ++at) {
        if (pairing.bToA[at] == Pairing::none) {
            for (const std::string& name : b[at].names) {
                waiting[name].indexes.push_back(at);
            }
        }
    }
    for (std::size_t at = 0; at < a.size(); ++at) {
        if (pairing.aToB[at] != Pairing::none) {
            continue;
        }
        // Of all B's definitions sharing a NAME, the first in source order.
        std::size_t best = Pairing::none;
        for (const std::string& name : a[at].names) {
            const std::size_t match = firstUnpaired(waiting, name, pairing.bToA);
            if (match < best) {
                best = match;
            }
        }
        if (best != Pairing::none) {
            pair(pairing, at, best);
        }
    }
}

}  // namespace

Pairing pairDefinitions(Kind kind, const std::vector<FullDefinition>& a,
                        const std::vector<FullDefinition>& b) {
    Pairing pairing;
    pairing.aToB.assign(a.size(), Pairing::none);
    pairing.bToA.assign(b.size(), Pairing::none);
    if (a.empty() || b.empty()) {
        return pairing;
    }
    pairByOid(pairing, a, b);
    if (pairsByName(kind)) {
        pairByName(pairing, a, b);
    }
    return pairing;
}

}  // namespace fullschema
