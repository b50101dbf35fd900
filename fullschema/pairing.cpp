#include "fullschema/pairing.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "fullschema/nameindex.h"

namespace fullschema {

namespace {

using schemadesc::Kind;

// The definitions of B by key (an OID or a NAME), each key with a chain of
// the entries that carry it in source order. A slot's definition is the
// first entry of its chain that may still be unpaired.
class Waiting {
  public:
    explicit Waiting(std::size_t keys) {
        index_.reserve(keys);
        entries_.reserve(keys);
    }

    void add(std::string_view key, std::size_t definition) {
        const auto entry = static_cast<std::uint32_t>(entries_.size());
        entries_.push_back({definition, key, NameIndex::none});
        const auto [slot, added] = index_.add(key, entry, 0, KeyOf{entries_});
        if (!added) {
            // The chain's last entry is kept in its first's `last`.
            Entry& first = entries_[slot->definition];
            Entry& last = entries_[first.last == NameIndex::none ? slot->definition : first.last];
            last.next = entry;
            first.last = entry;
        }
    }

    // The first definition waiting under `key` that is still unpaired. Each
    // skipped entry is skipped once: the scan over all keys stays linear.
    std::size_t firstUnpaired(std::string_view key, const std::vector<std::size_t>& bToA) {
        NameIndex::Slot* slot = index_.find(key, NameIndex::hashOf(key), KeyOf{entries_});
        if (slot == nullptr) {
            return Pairing::none;
        }
        std::uint32_t at = slot->definition;
        while (at != NameIndex::none && bToA[entries_[at].definition] != Pairing::none) {
            at = entries_[at].next;
        }
        if (at == NameIndex::none) {
            return Pairing::none;
        }
        if (at != slot->definition) {
            // The chain now starts here; its last entry moves with it.
            entries_[at].last = entries_[slot->definition].last;
            slot->definition = at;
        }
        return entries_[at].definition;
    }

  private:
    struct Entry {
        std::size_t definition;
        std::string_view key;
        std::uint32_t next;
        std::uint32_t last = NameIndex::none;
    };
    struct KeyOf {
        const std::vector<Entry>& entries;
        std::string_view operator()(const NameIndex::Slot& slot) const {
            return entries[slot.definition].key;
        }
    };

    NameIndex index_;
    std::vector<Entry> entries_;
};

bool pairsByName(Kind kind) {
    return kind != Kind::ldapSyntaxes && kind != Kind::matchingRuleUse &&
           kind != Kind::dITContentRules && kind != Kind::dITStructureRules;
}

void pair(Pairing& pairing, std::size_t inA, std::size_t inB) {
    pairing.aToB[inA] = inB;
    pairing.bToA[inB] = inA;
}

void pairByOid(Pairing& pairing, const DefinitionStore& a, const DefinitionStore& b) {
    Waiting waiting(b.size());
    for (std::size_t at = 0; at < b.size(); ++at) {
        waiting.add(b.oid(at), at);
    }
    for (std::size_t at = 0; at < a.size(); ++at) {
        const std::string_view oid = a.oid(at);
        if (oid.empty()) {
            continue;
        }
        const std::size_t match = waiting.firstUnpaired(oid, pairing.bToA);
        if (match != Pairing::none) {
            pair(pairing, at, match);
        }
    }
}

void pairByName(Pairing& pairing, const DefinitionStore& a, const DefinitionStore& b) {
    std::size_t names = 0;
    for (std::size_t at = 0; at < b.size(); ++at) {
        if (pairing.bToA[at] == Pairing::none) {
            names += b.names(at).size();
        }
    }
    if (names == 0) {
        return;
    }
    Waiting waiting(names);
    for (std::size_t at = 0; at < b.size(); ++at) {
        if (pairing.bToA[at] == Pairing::none) {
            for (const std::string_view name : b.names(at)) {
                waiting.add(name, at);
            }
        }
    }
    for (std::size_t at = 0; at < a.size(); ++at) {
        if (pairing.aToB[at] != Pairing::none) {
            continue;
        }
        // Of all B's definitions sharing a NAME, the first in source order.
        std::size_t best = Pairing::none;
        for (const std::string_view name : a.names(at)) {
            const std::size_t match = waiting.firstUnpaired(name, pairing.bToA);
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

Pairing pairDefinitions(Kind kind, const DefinitionStore& a, const DefinitionStore& b) {
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
