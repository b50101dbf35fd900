#include "fullschema/fullschema.h"

#include <unordered_map>

#include "toollib/namecompare.h"

namespace fullschema {

namespace {

using schemadesc::kindIndex;
using Positions = std::unordered_map<std::string, std::size_t, NameHash, NameEqual>;

// Syntaxes are known by OID alone and structure rules by rule id: a NAME
// some files give them names nothing that a reference could mean.
bool resolvedByName(Kind kind) {
    return kind != Kind::ldapSyntaxes && kind != Kind::dITStructureRules;
}

// Each reference field of a definition and the kind whose definitions it
// names.
template <typename Visit>
void forEachReference(Kind kind, FullDefinition& definition, Visit&& visit) {
    const auto each = [&visit](Kind target, std::vector<std::string>& list) {
        for (std::string& reference : list) {
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

// The first definition of each NAME and of each OID, by kind.
struct FullSchema::Index {
    std::array<Positions, kindCount> names;
    std::array<Positions, kindCount> oids;
};

FullSchema::FullSchema(std::array<std::vector<FullDefinition>, kindCount> definitions,
                       const schemadesc::OidMacros& macros)
    : definitions_(std::move(definitions)) {
    auto index = std::make_shared<Index>();
    for (const Kind kind : schemadesc::allKinds) {
        const auto& list = definitions_[kindIndex(kind)];
        Positions& names = index->names[kindIndex(kind)];
        Positions& oids = index->oids[kindIndex(kind)];
        oids.reserve(list.size());
        for (std::size_t at = 0; at < list.size(); ++at) {
            oids.try_emplace(list[at].oid, at);
            if (resolvedByName(kind)) {
                for (const std::string& name : list[at].names) {
                    names.try_emplace(name, at);
                }
            }
        }
    }
    // Names are looked up before expanding: a macro that shares its name
    // with a definition does not hide the definition.
    for (const Kind kind : schemadesc::allKinds) {
        for (FullDefinition& definition : definitions_[kindIndex(kind)]) {
            forEachReference(kind, definition, [&](Kind target, std::string& reference) {
                if (!reference.empty() && !index->names[kindIndex(target)].contains(reference)) {
                    reference = macros.expand(reference);
                }
            });
        }
    }
    index_ = std::move(index);
}

const std::vector<FullDefinition>& FullSchema::definitions(Kind kind) const {
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
    const Positions& names = index_->names[kindIndex(kind)];
    if (const auto found = names.find(reference); found != names.end()) {
        return found->second;
    }
    const Positions& oids = index_->oids[kindIndex(kind)];
    if (const auto found = oids.find(reference); found != oids.end()) {
        return found->second;
    }
    return std::nullopt;
}

}  // namespace fullschema
