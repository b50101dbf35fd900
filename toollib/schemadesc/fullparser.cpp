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
#include "toollib/schemadesc/fulldefinition.h"

namespace schemadesc {
namespace {

using namespace detail;

std::vector<Extension> copyExtensions(LDAPSchemaExtensionItem** items) {
    std::vector<Extension> result;
    for (LDAPSchemaExtensionItem** item = items; item && *item; ++item) {
        result.push_back({copyText((*item)->lsei_name), copyList((*item)->lsei_values)});
    }
    return result;
}

// The fields every kind has. False when the definition names nothing or
// has an empty NAME.
bool takeCommon(FullDefinition& d, char** names, const char* desc, int obsolete,
                LDAPSchemaExtensionItem** extensions) {
    d.names = copyList(names);
    if (desc != nullptr) {
        d.desc = desc;
    }
    d.obsolete = obsolete != 0;
    d.extensions = copyExtensions(extensions);
    return hasUsableNames(d.names, d.oid);
}

// libldap's keyword order (0..3); anything else is taken as the one that
// marks the attribute least, as the listing's parse does.
std::string usageKeyword(int usage) {
    constexpr std::array<const char*, 4> keywords{"userApplications", "directoryOperation",
                                                  "distributedOperation", "dSAOperation"};
    const bool known = usage >= 0 && usage < static_cast<int>(keywords.size());
    return keywords[static_cast<std::size_t>(known ? usage : 1)];
}

std::string classKeyword(int kind) {
    switch (kind) {
        case LDAP_SCHEMA_STRUCTURAL:
            return "STRUCTURAL";
        case LDAP_SCHEMA_AUXILIARY:
            return "AUXILIARY";
        default:
            return "ABSTRACT";
    }
}

using Result = std::optional<FullDefinition>;

// The kinds libldap can hand back without an OID (a quoted one, which we
// read from the text) still need one.
Result withOid(FullDefinition d) {
    if (d.oid.empty()) {
        return std::nullopt;
    }
    return d;
}

Result wholeSyntax(const std::string& text, const OidMacros& macros) {
    const auto p = parsedWithOid<LDAPSyntax, ldap_str2syntax, ldap_syntax_free>(text, macros);
    if (!p) {
        return std::nullopt;
    }
    FullDefinition d;
    d.oid = definitionOid(p->syn_oid, text, macros);
    if (!takeCommon(d, p->syn_names, p->syn_desc, 0, p->syn_extensions)) {
        return std::nullopt;
    }
    return withOid(std::move(d));
}

Result wholeMatchingRule(const std::string& text, const OidMacros& macros) {
    const auto p = parsedWithOid<LDAPMatchingRule, ldap_str2matchingrule, ldap_matchingrule_free>(
        text, macros);
    if (!p) {
        return std::nullopt;
    }
    FullDefinition d;
    d.oid = definitionOid(p->mr_oid, text, macros);
    auto syntax = numericSyntax(p->mr_syntax_oid, macros);
    if (!syntax || syntax->empty() ||
        !takeCommon(d, p->mr_names, p->mr_desc, p->mr_obsolete, p->mr_extensions)) {
        return std::nullopt;
    }
    d.syntax = std::move(*syntax);
    return withOid(std::move(d));
}

Result wholeRuleUse(const std::string& text, const OidMacros& macros) {
    const auto p =
        parsedWithOid<LDAPMatchingRuleUse, ldap_str2matchingruleuse, ldap_matchingruleuse_free>(
            text, macros);
    if (!p) {
        return std::nullopt;
    }
    FullDefinition d;
    d.oid = definitionOid(p->mru_oid, text, macros);
    if (!takeCommon(d, p->mru_names, p->mru_desc, p->mru_obsolete, p->mru_extensions)) {
        return std::nullopt;
    }
    d.applies = copyList(p->mru_applies_oids);
    return withOid(std::move(d));
}

Result wholeAttributeType(const std::string& text, const OidMacros& macros) {
    const auto p =
        parsedWithOid<LDAPAttributeType, ldap_str2attributetype, ldap_attributetype_free>(text,
                                                                                          macros);
    if (!p) {
        return std::nullopt;
    }
    FullDefinition d;
    d.oid = definitionOid(p->at_oid, text, macros);
    auto syntax = numericSyntax(p->at_syntax_oid, macros);
    if (!syntax || !takeCommon(d, p->at_names, p->at_desc, p->at_obsolete, p->at_extensions)) {
        return std::nullopt;
    }
    if (p->at_sup_oid != nullptr) {
        d.superiors.emplace_back(p->at_sup_oid);
    }
    d.equality = macros.expand(copyText(p->at_equality_oid));
    d.ordering = macros.expand(copyText(p->at_ordering_oid));
    d.substr = macros.expand(copyText(p->at_substr_oid));
    d.syntax = std::move(*syntax);
    d.syntaxLength = d.syntax.empty() || p->at_syntax_len <= 0
                         ? 0
                         : static_cast<std::uint32_t>(p->at_syntax_len);
    d.singleValue = p->at_single_value != 0;
    d.collective = p->at_collective != 0;
    d.noUserModification = p->at_no_user_mod != 0;
    d.usage = usageKeyword(p->at_usage);
    return d;
}

Result wholeObjectClass(const std::string& text, const OidMacros& macros) {
    const auto p =
        parsedWithOid<LDAPObjectClass, ldap_str2objectclass, ldap_objectclass_free>(text, macros);
    if (!p) {
        return std::nullopt;
    }
    FullDefinition d;
    d.oid = definitionOid(p->oc_oid, text, macros);
    if (!takeCommon(d, p->oc_names, p->oc_desc, p->oc_obsolete, p->oc_extensions)) {
        return std::nullopt;
    }
    d.superiors = copyList(p->oc_sup_oids);
    d.classKind = classKeyword(p->oc_kind);
    d.must = copyList(p->oc_at_oids_must);
    d.may = copyList(p->oc_at_oids_may);
    return d;
}

Result wholeContentRule(const std::string& text, const OidMacros& macros) {
    const auto p =
        parsedWithOid<LDAPContentRule, ldap_str2contentrule, ldap_contentrule_free>(text, macros);
    if (!p) {
        return std::nullopt;
    }
    FullDefinition d;
    d.oid = definitionOid(p->cr_oid, text, macros);
    if (!takeCommon(d, p->cr_names, p->cr_desc, p->cr_obsolete, p->cr_extensions)) {
        return std::nullopt;
    }
    d.aux = copyList(p->cr_oc_oids_aux);
    d.must = copyList(p->cr_at_oids_must);
    d.may = copyList(p->cr_at_oids_may);
    d.notAllowed = copyList(p->cr_at_oids_not);
    return withOid(std::move(d));
}

Result wholeNameForm(const std::string& text, const OidMacros& macros) {
    const auto p = parsedWithOid<LDAPNameForm, ldap_str2nameform, ldap_nameform_free>(text, macros);
    if (!p || p->nf_objectclass == nullptr) {
        return std::nullopt;
    }
    FullDefinition d;
    d.oid = definitionOid(p->nf_oid, text, macros);
    if (!isNumericOid(d.oid) ||
        !takeCommon(d, p->nf_names, p->nf_desc, p->nf_obsolete, p->nf_extensions)) {
        return std::nullopt;
    }
    d.objectClass = p->nf_objectclass;
    d.must = copyList(p->nf_at_oids_must);
    d.may = copyList(p->nf_at_oids_may);
    return d;
}

Result wholeStructureRule(const std::string& text) {
    std::vector<int> superiors;
    const auto p = parsedRule(text, superiors);
    if (!p) {
        return std::nullopt;
    }
    FullDefinition d;
    d.oid = std::to_string(p->sr_ruleid);
    if (!takeCommon(d, p->sr_names, p->sr_desc, p->sr_obsolete, p->sr_extensions)) {
        return std::nullopt;
    }
    for (const int id : superiors) {
        d.superiors.push_back(std::to_string(id));
    }
    d.form = p->sr_nameform;
    return d;
}

}  // namespace

std::string_view kindName(Kind kind) {
    constexpr std::array<std::string_view, kindCount> names{
        "ldapSyntaxes",  "matchingRules",   "matchingRuleUse",   "attributeTypes",
        "objectClasses", "dITContentRules", "dITStructureRules", "nameForms",
    };
    return names.at(kindIndex(kind));
}

std::optional<FullDefinition> parseFull(Kind kind, const std::string& text,
                                        const OidMacros& macros) {
    switch (kind) {
        case Kind::ldapSyntaxes:
            return wholeSyntax(text, macros);
        case Kind::matchingRules:
            return wholeMatchingRule(text, macros);
        case Kind::matchingRuleUse:
            return wholeRuleUse(text, macros);
        case Kind::attributeTypes:
            return wholeAttributeType(text, macros);
        case Kind::objectClasses:
            return wholeObjectClass(text, macros);
        case Kind::dITContentRules:
            return wholeContentRule(text, macros);
        case Kind::dITStructureRules:
            return wholeStructureRule(text);
        case Kind::nameForms:
            return wholeNameForm(text, macros);
    }
    return std::nullopt;
}

}  // namespace schemadesc
