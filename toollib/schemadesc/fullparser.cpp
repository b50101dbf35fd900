// Whole definitions of all eight kinds, read through libldap with the same
// rules as the listing's parse functions, so that what one of them refuses
// the other refuses too.

#include <ldap_schema.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ldapparse.h"
#include "toollib/schemadesc/descriptionparser.h"
#include "toollib/schemadesc/descriptionreader.h"
#include "toollib/schemadesc/fulldefinition.h"

namespace schemadesc {
namespace {

using namespace detail;

// The list into `into`, whose strings keep their room from one definition
// to the next.
void assignList(std::vector<std::string>& into, char** list) {
    std::size_t count = 0;
    for (char** item = list; item != nullptr && *item != nullptr; ++item) {
        ++count;
    }
    into.resize(count);
    for (std::size_t k = 0; k < count; ++k) {
        into[k].assign(list[k]);
    }
}

void assignText(std::string& into, const char* text) {
    if (text != nullptr) {
        into.assign(text);
    } else {
        into.clear();
    }
}

// A matching rule as written, macros expanded.
void assignRule(std::string& into, const char* text, const OidMacros& macros) {
    assignText(into, text);
    if (!macros.empty()) {
        into = macros.expand(std::move(into));
    }
}

void assignExtensions(std::vector<Extension>& into, LDAPSchemaExtensionItem** items) {
    std::size_t count = 0;
    for (LDAPSchemaExtensionItem** item = items; item != nullptr && *item != nullptr; ++item) {
        ++count;
    }
    into.resize(count);
    for (std::size_t k = 0; k < count; ++k) {
        assignText(into[k].name, items[k]->lsei_name);
        assignList(into[k].values, items[k]->lsei_values);
    }
}

// The fields every kind has. False when the definition names nothing or
// has an empty NAME.
bool takeCommon(FullDefinition& d, char** names, const char* desc, int obsolete,
                LDAPSchemaExtensionItem** extensions) {
    assignList(d.names, names);
    if (desc == nullptr) {
        d.desc.reset();
    } else if (d.desc) {
        d.desc->assign(desc);
    } else {
        d.desc.emplace(desc);
    }
    d.obsolete = obsolete != 0;
    assignExtensions(d.extensions, extensions);
    return hasUsableNames(d.names, d.oid);
}

// libldap's keyword order (0..3); anything else is taken as the one that
// marks the attribute least, as the listing's parse does.
std::string_view usageKeyword(int usage) {
    constexpr std::array<std::string_view, 4> keywords{"userApplications", "directoryOperation",
                                                       "distributedOperation", "dSAOperation"};
    const bool known = usage >= 0 && usage < static_cast<int>(keywords.size());
    return keywords[static_cast<std::size_t>(known ? usage : 1)];
}

std::string_view classKeyword(int kind) {
    switch (kind) {
        case LDAP_SCHEMA_STRUCTURAL:
            return "STRUCTURAL";
        case LDAP_SCHEMA_AUXILIARY:
            return "AUXILIARY";
        default:
            return "ABSTRACT";
    }
}

// Each kind's reading: false when the description does not parse. Every
// field of the kind is written, so a definition read before leaves nothing
// behind; the fields of other kinds stay as they were (empty, for a
// definition only ever read as this kind).

bool wholeSyntax(const std::string& text, const OidMacros& macros, FullDefinition& d,
                 std::string& padded) {
    const auto p =
        parsedWithOid<LDAPSyntax, ldap_str2syntax, ldap_syntax_free>(text, macros, padded);
    if (!p) {
        return false;
    }
    assignDefinitionOid(d.oid, p->syn_oid, text, macros);
    return takeCommon(d, p->syn_names, p->syn_desc, 0, p->syn_extensions) && !d.oid.empty();
}

bool wholeMatchingRule(const std::string& text, const OidMacros& macros, FullDefinition& d,
                       std::string& padded) {
    const auto p = parsedWithOid<LDAPMatchingRule, ldap_str2matchingrule, ldap_matchingrule_free>(
        text, macros, padded);
    if (!p) {
        return false;
    }
    assignDefinitionOid(d.oid, p->mr_oid, text, macros);
    if (!assignNumericSyntax(d.syntax, p->mr_syntax_oid, macros) || d.syntax.empty()) {
        return false;
    }
    return takeCommon(d, p->mr_names, p->mr_desc, p->mr_obsolete, p->mr_extensions) &&
           !d.oid.empty();
}

bool wholeRuleUse(const std::string& text, const OidMacros& macros, FullDefinition& d,
                  std::string& padded) {
    const auto p =
        parsedWithOid<LDAPMatchingRuleUse, ldap_str2matchingruleuse, ldap_matchingruleuse_free>(
            text, macros, padded);
    if (!p) {
        return false;
    }
    assignDefinitionOid(d.oid, p->mru_oid, text, macros);
    if (!takeCommon(d, p->mru_names, p->mru_desc, p->mru_obsolete, p->mru_extensions)) {
        return false;
    }
    assignList(d.applies, p->mru_applies_oids);
    return !d.oid.empty();
}

bool wholeAttributeType(const std::string& text, const OidMacros& macros, FullDefinition& d,
                        std::string& padded) {
    const auto p =
        parsedWithOid<LDAPAttributeType, ldap_str2attributetype, ldap_attributetype_free>(
            text, macros, padded);
    if (!p) {
        return false;
    }
    assignDefinitionOid(d.oid, p->at_oid, text, macros);
    if (!assignNumericSyntax(d.syntax, p->at_syntax_oid, macros) ||
        !takeCommon(d, p->at_names, p->at_desc, p->at_obsolete, p->at_extensions)) {
        return false;
    }
    d.superiors.resize(p->at_sup_oid != nullptr ? 1 : 0);
    if (p->at_sup_oid != nullptr) {
        d.superiors.front().assign(p->at_sup_oid);
    }
    assignRule(d.equality, p->at_equality_oid, macros);
    assignRule(d.ordering, p->at_ordering_oid, macros);
    assignRule(d.substr, p->at_substr_oid, macros);
    d.syntaxLength = d.syntax.empty() || p->at_syntax_len <= 0
                         ? 0
                         : static_cast<std::uint32_t>(p->at_syntax_len);
    d.singleValue = p->at_single_value != 0;
    d.collective = p->at_collective != 0;
    d.noUserModification = p->at_no_user_mod != 0;
    d.usage.assign(usageKeyword(p->at_usage));
    return true;
}

bool wholeObjectClass(const std::string& text, const OidMacros& macros, FullDefinition& d,
                      std::string& padded) {
    const auto p = parsedWithOid<LDAPObjectClass, ldap_str2objectclass, ldap_objectclass_free>(
        text, macros, padded);
    if (!p) {
        return false;
    }
    assignDefinitionOid(d.oid, p->oc_oid, text, macros);
    if (!takeCommon(d, p->oc_names, p->oc_desc, p->oc_obsolete, p->oc_extensions)) {
        return false;
    }
    assignList(d.superiors, p->oc_sup_oids);
    d.classKind.assign(classKeyword(p->oc_kind));
    assignList(d.must, p->oc_at_oids_must);
    assignList(d.may, p->oc_at_oids_may);
    return true;
}

bool wholeContentRule(const std::string& text, const OidMacros& macros, FullDefinition& d,
                      std::string& padded) {
    const auto p = parsedWithOid<LDAPContentRule, ldap_str2contentrule, ldap_contentrule_free>(
        text, macros, padded);
    if (!p) {
        return false;
    }
    assignDefinitionOid(d.oid, p->cr_oid, text, macros);
    if (!takeCommon(d, p->cr_names, p->cr_desc, p->cr_obsolete, p->cr_extensions)) {
        return false;
    }
    assignList(d.aux, p->cr_oc_oids_aux);
    assignList(d.must, p->cr_at_oids_must);
    assignList(d.may, p->cr_at_oids_may);
    assignList(d.notAllowed, p->cr_at_oids_not);
    return !d.oid.empty();
}

bool wholeNameForm(const std::string& text, const OidMacros& macros, FullDefinition& d,
                   std::string& padded) {
    const auto p =
        parsedWithOid<LDAPNameForm, ldap_str2nameform, ldap_nameform_free>(text, macros, padded);
    if (!p || p->nf_objectclass == nullptr) {
        return false;
    }
    assignDefinitionOid(d.oid, p->nf_oid, text, macros);
    if (!isNumericOid(d.oid) ||
        !takeCommon(d, p->nf_names, p->nf_desc, p->nf_obsolete, p->nf_extensions)) {
        return false;
    }
    d.objectClass.assign(p->nf_objectclass);
    assignList(d.must, p->nf_at_oids_must);
    assignList(d.may, p->nf_at_oids_may);
    return true;
}

bool wholeStructureRule(const std::string& text, FullDefinition& d) {
    std::vector<int> superiors;
    const auto p = parsedRule(text, superiors);
    if (!p) {
        return false;
    }
    d.oid = std::to_string(p->sr_ruleid);
    if (!takeCommon(d, p->sr_names, p->sr_desc, p->sr_obsolete, p->sr_extensions)) {
        return false;
    }
    d.superiors.clear();
    for (const int id : superiors) {
        d.superiors.push_back(std::to_string(id));
    }
    d.form.assign(p->sr_nameform);
    return true;
}

}  // namespace

std::string_view kindName(Kind kind) {
    constexpr std::array<std::string_view, kindCount> names{
        "ldapSyntaxes",  "matchingRules",   "matchingRuleUse",   "attributeTypes",
        "objectClasses", "dITContentRules", "dITStructureRules", "nameForms",
    };
    return names.at(kindIndex(kind));
}

bool FullReader::read(Kind kind, const std::string& text, const OidMacros& macros) {
    FullDefinition& d = definitions_[kindIndex(kind)];
    switch (kind) {
        case Kind::ldapSyntaxes:
            return wholeSyntax(text, macros, d, padded_);
        case Kind::matchingRules:
            return wholeMatchingRule(text, macros, d, padded_);
        case Kind::matchingRuleUse:
            return wholeRuleUse(text, macros, d, padded_);
        case Kind::attributeTypes:
            return wholeAttributeType(text, macros, d, padded_);
        case Kind::objectClasses:
            return wholeObjectClass(text, macros, d, padded_);
        case Kind::dITContentRules:
            return wholeContentRule(text, macros, d, padded_);
        case Kind::dITStructureRules:
            return wholeStructureRule(text, d);
        case Kind::nameForms:
            return wholeNameForm(text, macros, d, padded_);
    }
    return false;
}

std::optional<FullDefinition> parseFull(Kind kind, const std::string& text,
                                        const OidMacros& macros) {
    FullReader reader;
    if (!reader.read(kind, text, macros)) {
        return std::nullopt;
    }
    return reader.definition(kind);
}

}  // namespace schemadesc
