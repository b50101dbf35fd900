#pragma once

#include <ldap_schema.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "toollib/schemadesc/descriptionparser.h"

// What the parse functions and the whole-definition parse share of their
// dealings with libldap: one way to hand it a description, and one reading
// of what it hands back. Private to this folder.
namespace schemadesc::detail {

template <class T, void (*Free)(T*)>
struct LdapFree {
    void operator()(T* p) const { Free(p); }
};

template <class T, void (*Free)(T*)>
using LdapPtr = std::unique_ptr<T, LdapFree<T, Free>>;

std::string copyText(const char* text);
std::vector<std::string> copyList(char** list);
bool isNumericOid(std::string_view oid);

// A description with a NUL byte in it would reach libldap cut short.
bool hasNul(const std::string& text);

// The text made safe for libldap's parsers (see the definition).
std::string forParser(std::string_view text);

// The same, with an unquoted macro OID of the definition expanded first,
// for the kinds whose OID libldap accepts only in numeric form; into
// `into`, whose room a reader keeps from one description to the next.
void prepareForParser(const std::string& text, const OidMacros& macros, std::string& into);

// The definition's own OID after macro expansion. libldap hands back nothing
// for a quoted OID, so that one comes from the text.
void assignDefinitionOid(std::string& into, const char* parsed, std::string_view text,
                         const OidMacros& macros);
std::string definitionOid(const char* parsed, std::string_view text, const OidMacros& macros);

// A SYNTAX into `into` as numericSyntax gives it; false where that gives
// nothing.
bool assignNumericSyntax(std::string& into, const char* parsed, const OidMacros& macros);

// libldap's kind of class and usage of attribute in our terms.
ClassKind classKind(int kind);
AttrUsage attrUsage(int usage);

// No empty NAME, and at least an OID or a NAME.
bool hasUsableNames(const std::vector<std::string>& names, const std::string& oid);

// A SYNTAX as libldap gives it, macros expanded: empty for none, nothing
// when what is left is no numeric OID (libldap lets a macro or a malformed
// length bound through as the OID).
std::optional<std::string> numericSyntax(const char* parsed, const OidMacros& macros);

// libldap's parse of `text` (already made ready with forParser), freed with
// `Free`; null when it does not parse, whatever code libldap set.
template <class T, T* (*Parse)(const char*, int*, const char**, unsigned), void (*Free)(T*)>
LdapPtr<T, Free> parsedBy(const std::string& text) {
    int code = 0;
    const char* rest = nullptr;
    return LdapPtr<T, Free>(Parse(text.c_str(), &code, &rest, LDAP_SCHEMA_ALLOW_ALL));
}

// The parse of a description whose OID may be a macro, made ready in
// `padded` (room a reader keeps from one description to the next): null
// for a text with a NUL byte or one libldap rejects. The caller frees it.
template <class T, T* (*Parse)(const char*, int*, const char**, unsigned)>
T* parsedIn(const std::string& text, const OidMacros& macros, std::string& padded) {
    if (hasNul(text)) {
        return nullptr;
    }
    prepareForParser(text, macros, padded);
    int code = 0;
    const char* rest = nullptr;
    return Parse(padded.c_str(), &code, &rest, LDAP_SCHEMA_ALLOW_ALL);
}

// The same, freed with `Free`; without `padded`, in room of its own.
template <class T, T* (*Parse)(const char*, int*, const char**, unsigned), void (*Free)(T*)>
LdapPtr<T, Free> parsedWithOid(const std::string& text, const OidMacros& macros,
                               std::string& padded) {
    return LdapPtr<T, Free>(parsedIn<T, Parse>(text, macros, padded));
}
template <class T, T* (*Parse)(const char*, int*, const char**, unsigned), void (*Free)(T*)>
LdapPtr<T, Free> parsedWithOid(const std::string& text, const OidMacros& macros) {
    std::string padded;
    return parsedWithOid<T, Parse, Free>(text, macros, padded);
}

// A DIT structure rule: libldap rejects every SUP clause, so the clause is
// read here into `superiors` (rule ids) and cut out of the text handed on.
// Null for a text with a NUL byte, a malformed or repeated SUP, a rule
// libldap rejects, or one without FORM.
LdapPtr<LDAPStructureRule, ldap_structurerule_free> parsedRule(const std::string& text,
                                                               std::vector<int>& superiors);

}  // namespace schemadesc::detail
