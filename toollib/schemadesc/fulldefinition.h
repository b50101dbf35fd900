#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The eight kinds of definition an LDAP subschema entry holds, and one
// definition of any kind with every field its description can carry.
namespace schemadesc {

// In the order a subschema entry lists them, which is also the order of
// every listing and report.
enum class Kind : std::uint8_t {
    ldapSyntaxes,
    matchingRules,
    matchingRuleUse,
    attributeTypes,
    objectClasses,
    dITContentRules,
    dITStructureRules,
    nameForms,
};
inline constexpr std::size_t kindCount = 8;
inline constexpr std::array<Kind, kindCount> allKinds{
    Kind::ldapSyntaxes,  Kind::matchingRules,   Kind::matchingRuleUse,   Kind::attributeTypes,
    Kind::objectClasses, Kind::dITContentRules, Kind::dITStructureRules, Kind::nameForms,
};

// The attribute of the subschema entry that holds the kind ("objectClasses").
std::string_view kindName(Kind kind);

inline std::size_t kindIndex(Kind kind) {
    return static_cast<std::size_t>(kind);
}

struct Extension {
    std::string name;  // "X-ORIGIN", as written (libldap accepts upper case only)
    std::vector<std::string> values;
};

// A field the kind does not have stays empty. References (SUP, MUST, MAY,
// AUX, NOT, APPLIES, OC, FORM) are as written in the description, quotes
// removed; the definition's own OID, SYNTAX and the three matching rules
// have OID macros expanded.
struct FullDefinition {
    // The numeric (or, where libldap allows it, descriptive) OID; a DIT
    // structure rule's rule id in decimal.
    std::string oid;
    std::vector<std::string> names;
    std::optional<std::string> desc;
    bool obsolete = false;
    // SUP: one attribute type, object classes, or rule ids in decimal.
    std::vector<std::string> superiors;
    std::string equality;
    std::string ordering;
    std::string substr;
    // attributeTypes and matchingRules: a numeric OID, empty for none.
    std::string syntax;
    // The syntax's length bound; 0 for none ({0} and {} are none).
    std::uint32_t syntaxLength = 0;
    bool singleValue = false;
    bool collective = false;
    bool noUserModification = false;
    // attributeTypes: "userApplications" when absent.
    std::string usage = "userApplications";
    // objectClasses: "STRUCTURAL" when absent.
    std::string classKind = "STRUCTURAL";
    std::vector<std::string> must;
    std::vector<std::string> may;
    std::vector<std::string> aux;
    std::vector<std::string> notAllowed;  // a content rule's NOT
    std::vector<std::string> applies;
    std::string objectClass;            // a name form's OC
    std::string form;                   // a DIT structure rule's FORM
    std::vector<Extension> extensions;  // in the order written
};

}  // namespace schemadesc
