#include "fullschema/fullschema.h"

#include <array>
#include <cstdint>
#include <new>
#include <vector>

#include "fullschema/nameindex.h"
#include "toollib/namecompare.h"

namespace fullschema {

namespace {

using schemadesc::kindIndex;

// Syntaxes are known by OID alone and structure rules by rule id: a NAME
// some files give them names nothing that a reference could mean.
bool resolvedByName(Kind kind) {
    return kind != Kind::ldapSyntaxes && kind != Kind::dITStructureRules;
}

// Each reference field of a definition and the kind whose definitions it
// names.
// The definition is a FullDefinition, to change references, or a
// DefinitionView, to read them.
template <typename Definition, typename Visit>
void forEachReference(Kind kind, Definition&& definition, Visit&& visit) {
    const auto each = [&visit](Kind target, auto& list) {
        for (auto&& reference : list) {
            visit(target, reference);
        }
    };
    switch (kind) {
        case Kind::matchingRules:
            visit(Kind::ldapSyntaxes, definition.syntax);
            break;
        case Kind::matchingRuleUse:
            each(Kind::attributeTypes, definition.applies);
            break;
        case Kind::attributeTypes:
            each(Kind::attributeTypes, definition.superiors);
            visit(Kind::matchingRules, definition.equality);
            visit(Kind::matchingRules, definition.ordering);
            visit(Kind::matchingRules, definition.substr);
            visit(Kind::ldapSyntaxes, definition.syntax);
            break;
        case Kind::objectClasses:
            each(Kind::objectClasses, definition.superiors);
            each(Kind::attributeTypes, definition.must);
            each(Kind::attributeTypes, definition.may);
            break;
        case Kind::dITContentRules:
            each(Kind::objectClasses, definition.aux);
            each(Kind::attributeTypes, definition.must);
            each(Kind::attributeTypes, definition.may);
            each(Kind::attributeTypes, definition.notAllowed);
            break;
        case Kind::dITStructureRules:
            visit(Kind::nameForms, definition.form);
            each(Kind::dITStructureRules, definition.superiors);
            break;
        case Kind::nameForms:
            visit(Kind::objectClasses, definition.objectClass);
            each(Kind::attributeTypes, definition.must);
            each(Kind::attributeTypes, definition.may);
            break;
        case Kind::ldapSyntaxes:
            break;
    }
}

}  // namespace

// The first definition of each NAME and of each OID, by kind. A NAME
// slot's key is where its text starts in `keys`; an OID is read from its
// definition.
struct FullSchema::Index {
    std::array<NameIndex, kindCount> names;
    std::array<NameIndex, kindCount> oids;
    // The text of every NAME key, each its length then its bytes, side by side.
    // A hit reads its key here, one place a few times smaller than the
    // definitions, and not through the definition's start and the fields
    // before it. The index keeps its own copy as copies of the schema share
    // the index but not the definitions.
    std::vector<char> keys;
    // What each reference names, in the order of resolvedReferences, and
    // where each definition's references begin (one place more than there
    // are definitions).
    std::array<std::vector<std::uint32_t>, kindCount> resolved;
    std::array<std::vector<std::size_t>, kindCount> firstResolved;
};

namespace {

struct KeyOf {
    const std::vector<char>& keys;
    std::string_view operator()(const NameIndex::Slot& slot) const {
        const char* at = keys.data() + slot.key;
        std::size_t length = 0;
        for (unsigned shift = 0;; shift += 7) {
            const auto byte = static_cast<unsigned char>(*at++);
            length |= static_cast<std::size_t>(byte & 0x7FU) << shift;
            if ((byte & 0x80U) == 0) {
                return {at, length};
            }
        }
    }
};

// Adds `text` as a key of `definition`, its bytes dropped again when an
// equal key was there first.
void addKey(NameIndex& index, std::vector<char>& keys, std::string_view text, std::uint32_t hash,
            std::size_t definition) {
    const std::size_t start = keys.size();
    if (start > UINT32_MAX - 16 || text.size() > UINT32_MAX - start - 16) {
        throw std::bad_alloc();
    }
    auto left = static_cast<std::uint32_t>(text.size());
    while (left >= 0x80U) {
        keys.push_back(static_cast<char>((left & 0x7FU) | 0x80U));
        left >>= 7U;
    }
    keys.push_back(static_cast<char>(left));
    keys.insert(keys.end(), text.begin(), text.end());
    if (!index.add(text, hash, definition, static_cast<std::uint32_t>(start), KeyOf{keys}).second) {
        keys.resize(start);
    }
}

struct OidOf {
    const DefinitionStore& list;
    std::string_view operator()(const NameIndex::Slot& slot) const {
        return list.oid(slot.definition);
    }
};

std::uint32_t lookUp(const NameIndex& names, const NameIndex& oids, const std::vector<char>& keys,
                     const DefinitionStore& list, std::string_view reference) {
    if (reference.empty()) {
        return FullSchema::noDefinition;
    }
    const std::uint32_t hash = NameIndex::hashOf(reference);
    if (const auto* found = names.find(reference, hash, KeyOf{keys})) {
        return found->definition;
    }
    if (const auto* found = oids.find(reference, hash, OidOf{list})) {
        return found->definition;
    }
    return FullSchema::noDefinition;
}

}  // namespace

FullSchema::FullSchema(const std::array<std::vector<FullDefinition>, kindCount>& definitions,
                       const schemadesc::OidMacros& macros) {
    for (const Kind kind : schemadesc::allKinds) {
        DefinitionStore& store = definitions_[kindIndex(kind)];
        const auto& list = definitions[kindIndex(kind)];
        std::size_t bytes = 0;
        for (const FullDefinition& definition : list) {
            bytes += store.packedSize(definition);
        }
        store.reserve(list.size(), bytes);
        for (const FullDefinition& definition : list) {
            store.add(definition);
        }
    }
    build(macros);
}

FullSchema::FullSchema(std::array<DefinitionStore, kindCount> definitions,
                       const schemadesc::OidMacros& macros)
    : definitions_(std::move(definitions)) {
    build(macros);
}

void FullSchema::build(const schemadesc::OidMacros& macros) {
    auto index = std::make_shared<Index>();
    // Each key's place in the table is random: its slot is fetched some
    // keys ahead of adding it. The NAMEs are copied once, into room for all.
    const auto lengthBytes = [](std::size_t length) {
        std::size_t bytes = 1;
        for (; length >= 0x80U; length >>= 7U) {
            ++bytes;
        }
        return bytes;
    };
    std::size_t keyBytes = 0;
    for (const Kind kind : schemadesc::allKinds) {
        const DefinitionStore& list = definitions_[kindIndex(kind)];
        for (std::size_t at = 0; at < list.size(); ++at) {
            if (resolvedByName(kind)) {
                for (const std::string_view text : list.names(at)) {
                    keyBytes += lengthBytes(text.size()) + text.size();
                }
            }
        }
    }
    index->keys.reserve(keyBytes);
    constexpr std::size_t kAhead = 16;
    std::vector<std::uint32_t> oidHashes;
    std::vector<std::uint32_t> nameHashes;
    for (const Kind kind : schemadesc::allKinds) {
        const DefinitionStore& list = definitions_[kindIndex(kind)];
        NameIndex& names = index->names[kindIndex(kind)];
        NameIndex& oids = index->oids[kindIndex(kind)];
        oidHashes.clear();
        nameHashes.clear();
        oidHashes.reserve(list.size());
        for (std::size_t at = 0; at < list.size(); ++at) {
            oidHashes.push_back(NameIndex::hashOf(list.oid(at)));
            if (resolvedByName(kind)) {
                for (const std::string_view text : list.names(at)) {
                    nameHashes.push_back(NameIndex::hashOf(text));
                }
            }
        }
        oids.reserve(oidHashes.size());
        if (resolvedByName(kind)) {
            names.reserve(nameHashes.size());
        }
        std::size_t oid = 0;
        std::size_t name = 0;
        for (std::size_t at = 0; at < list.size(); ++at) {
            if (oid + kAhead < oidHashes.size()) {
                oids.prefetch(oidHashes[oid + kAhead]);
            }
            oids.add(list.oid(at), oidHashes[oid++], at, 0, OidOf{list});
            if (resolvedByName(kind)) {
                for (const std::string_view text : list.names(at)) {
                    if (name + kAhead < nameHashes.size()) {
                        names.prefetch(nameHashes[name + kAhead]);
                    }
                    addKey(names, index->keys, text, nameHashes[name++], at);
                }
            }
        }
    }
    // Keys dropped as repeated leave room that is given back only when it
    // is worth a copy.
    if (index->keys.capacity() - index->keys.size() > index->keys.size() / 8) {
        index->keys.shrink_to_fit();
    }
    const std::vector<char>& keys = index->keys;
    // Names are looked up before expanding: a macro that shares its name
    // with a definition does not hide the definition. A numeric OID names
    // no macro, and most references are one or a NAME. What each comes to
    // is kept, as the comparison asks for every reference of every pair.
    //
    // Most references name a definition anywhere in a large table, and each
    // look-up waits for its slot and then for its key. The references of the
    // definitions two and one ahead have their slots and keys fetched while
    // this one's are compared, so the waits overlap.
    struct Pending {
        Kind target;
        std::string_view reference;
        std::uint32_t hash;
    };
    const auto tableOf = [&index](Kind target) -> const NameIndex& {
        return resolvedByName(target) ? index->names[kindIndex(target)]
                                      : index->oids[kindIndex(target)];
    };
    std::array<std::vector<Pending>, 3> ahead;
    std::vector<std::pair<std::size_t, std::string>> expansions;  // by place
    for (const Kind kind : schemadesc::allKinds) {
        DefinitionStore& store = definitions_[kindIndex(kind)];
        auto& resolved = index->resolved[kindIndex(kind)];
        auto& first = index->firstResolved[kindIndex(kind)];
        first.reserve(store.size() + 1);
        // The references of types and rules all come before their fields
        // past SYNTAX, which stay unread.
        const bool leadingOnly = kind == Kind::attributeTypes || kind == Kind::matchingRules;
        const auto gather = [&](std::size_t at, std::vector<Pending>& pending) {
            pending.clear();
            if (at >= store.size()) {
                return;
            }
            forEachReference(kind, leadingOnly ? store.leading(at) : store.view(at),
                             [&](Kind target, std::string_view reference) {
                                 const std::uint32_t hash =
                                     reference.empty() ? 0 : NameIndex::hashOf(reference);
                                 pending.push_back({target, reference, hash});
                                 tableOf(target).prefetch(hash);
                             });
        };
        gather(0, ahead[0]);
        gather(1, ahead[1]);
        for (std::size_t at = 0; at < store.size(); ++at) {
            gather(at + 2, ahead[(at + 2) % 3]);
            // OIDs are looked up in tables small enough to stay cached.
            for (const Pending& next : ahead[(at + 1) % 3]) {
                if (!resolvedByName(next.target)) {
                    continue;
                }
                index->names[kindIndex(next.target)].prefetchKey(
                    next.hash,
                    [&keys](const NameIndex::Slot& slot) { return keys.data() + slot.key; });
            }
            first.push_back(resolved.size());
            expansions.clear();
            std::size_t place = 0;
            for (const Pending& pending : ahead[at % 3]) {
                const NameIndex& names = index->names[kindIndex(pending.target)];
                const NameIndex& oids = index->oids[kindIndex(pending.target)];
                const std::string_view reference = pending.reference;
                const std::size_t here = place++;
                if (reference.empty()) {
                    resolved.push_back(noDefinition);
                    continue;
                }
                if (const auto* found = names.find(reference, pending.hash, KeyOf{keys})) {
                    resolved.push_back(found->definition);
                    continue;
                }
                if (reference.front() < '0' || reference.front() > '9') {
                    std::string text = macros.expand(std::string(reference));
                    if (text != reference) {
                        resolved.push_back(lookUp(names, oids, keys,
                                                  definitions_[kindIndex(pending.target)], text));
                        expansions.emplace_back(here, std::move(text));
                        continue;
                    }
                }
                const auto* found = oids.find(reference, pending.hash,
                                              OidOf{definitions_[kindIndex(pending.target)]});
                resolved.push_back(found != nullptr ? found->definition : noDefinition);
            }
            if (expansions.empty()) {
                continue;
            }
            FullDefinition definition = store[at];
            std::size_t next = 0;
            place = 0;
            forEachReference(kind, definition, [&](Kind /*target*/, std::string& reference) {
                if (next < expansions.size() && expansions[next].first == place) {
                    reference = std::move(expansions[next].second);
                    ++next;
                }
                ++place;
            });
            store.replace(at, definition);
        }
        first.push_back(resolved.size());
        resolved.shrink_to_fit();
    }
    index_ = std::move(index);
}

const DefinitionStore& FullSchema::definitions(Kind kind) const {
    return definitions_[kindIndex(kind)];
}

std::size_t FullSchema::size() const {
    std::size_t total = 0;
    for (const auto& list : definitions_) {
        total += list.size();
    }
    return total;
}

std::optional<std::size_t> FullSchema::resolve(Kind kind, std::string_view reference) const {
    if (!index_ || reference.empty()) {
        return std::nullopt;
    }
    const std::uint32_t found =
        lookUp(index_->names[kindIndex(kind)], index_->oids[kindIndex(kind)], index_->keys,
               definitions_[kindIndex(kind)], reference);
    if (found == noDefinition) {
        return std::nullopt;
    }
    return found;
}

std::span<const std::uint32_t> FullSchema::resolvedReferences(Kind kind, std::size_t index) const {
    if (!index_) {
        return {};
    }
    const auto& first = index_->firstResolved[kindIndex(kind)];
    const auto& resolved = index_->resolved[kindIndex(kind)];
    return std::span<const std::uint32_t>(resolved).subspan(first[index],
                                                            first[index + 1] - first[index]);
}

}  // namespace fullschema
