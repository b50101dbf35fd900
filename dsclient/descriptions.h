#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace dsclient {

// One schema description value (RFC 4512 form) and where it was found, for
// example "core.schema:120", so that a failure can point at it.
struct Description {
    std::string text;
    std::string origin;
};

// The descriptions a source holds, each kind in source order. Files and
// servers both deliver this; one conversion turns it into definitions.
struct Descriptions {
    std::vector<Description> objectClasses;
    std::vector<Description> attributeTypes;
    std::vector<Description> ldapSyntaxes;
    std::vector<Description> nameForms;
    std::vector<Description> structureRules;
    // Kept for the whole-schema comparison; the listing has no place for them.
    std::vector<Description> matchingRules;
    std::vector<Description> matchingRuleUse;
    std::vector<Description> contentRules;
    // OID macros (name, value) in source order; the first of a name wins.
    std::vector<std::pair<std::string, std::string>> oidMacros;
    // Where each of oidMacros was found, by the same index.
    std::vector<std::string> oidMacroOrigins;
    // Names of the entries the source holds (the dn of each LDIF entry).
    std::vector<std::string> entries;
    // How many files were read: none for a folder without schema files.
    std::size_t filesRead = 0;
};

}  // namespace dsclient
