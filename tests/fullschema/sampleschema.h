#pragma once

#include <array>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fullschema/fullschema.h"
#include "toollib/namecompare.h"

// A small schema with definitions of every kind that refer to each other,
// for tests to change one piece of.
namespace sample {

using fullschema::FullDefinition;
using fullschema::FullSchema;
using fullschema::Kind;
using Definitions = std::array<std::vector<FullDefinition>, fullschema::kindCount>;
using Macros = std::vector<std::pair<std::string, std::string>>;

inline const std::string directoryString = "1.3.6.1.4.1.1466.115.121.1.15";
inline const std::string ia5String = "1.3.6.1.4.1.1466.115.121.1.26";

inline std::vector<FullDefinition>& of(Definitions& definitions, Kind kind) {
    return definitions[schemadesc::kindIndex(kind)];
}

inline Definitions definitions() {
    Definitions all;
    of(all, Kind::ldapSyntaxes) = {{.oid = directoryString, .desc = "Directory String"},
                                   {.oid = ia5String, .desc = "IA5 String"}};
    of(all, Kind::matchingRules) = {
        {.oid = "2.5.13.2", .names = {"caseIgnoreMatch"}, .syntax = directoryString},
        {.oid = "2.5.13.3", .names = {"caseIgnoreOrderingMatch"}, .syntax = directoryString},
        {.oid = "2.5.13.4", .names = {"caseIgnoreSubstringsMatch"}, .syntax = directoryString},
        {.oid = "2.5.13.5", .names = {"caseExactMatch"}, .syntax = directoryString}};
    of(all, Kind::matchingRuleUse) = {
        {.oid = "2.5.13.2", .names = {"caseIgnoreMatch"}, .applies = {"cn", "sn"}},
        {.oid = "2.5.13.5", .names = {"caseExactMatch"}, .applies = {"description"}}};
    of(all, Kind::attributeTypes) = {
        {.oid = "2.5.4.41",
         .names = {"name"},
         .desc = "a name",
         .equality = "caseIgnoreMatch",
         .substr = "caseIgnoreSubstringsMatch",
         .syntax = directoryString,
         .syntaxLength = 32768},
        {.oid = "2.5.4.3", .names = {"cn", "commonName"}, .superiors = {"name"}},
        {.oid = "2.5.4.4", .names = {"sn", "surname"}, .superiors = {"name"}},
        {.oid = "2.5.4.13",
         .names = {"description"},
         .equality = "caseIgnoreMatch",
         .syntax = directoryString,
         .syntaxLength = 1024,
         .extensions = {{"X-ORIGIN", {"RFC 4519"}}}},
        {.oid = "2.5.4.0", .names = {"objectClass"}, .equality = "2.5.13.5", .syntax = ia5String},
        {.oid = "2.5.4.12", .names = {"title"}, .superiors = {"name"}}};
    of(all, Kind::objectClasses) = {
        {.oid = "2.5.6.0", .names = {"top"}, .classKind = "ABSTRACT", .must = {"objectClass"}},
        {.oid = "2.5.6.6",
         .names = {"person"},
         .superiors = {"top"},
         .must = {"sn", "cn"},
         .may = {"description"}},
        {.oid = "2.5.6.7",
         .names = {"organizationalPerson"},
         .superiors = {"person"},
         .may = {"title"}},
        {.oid = "1.1.2", .names = {"extra"}, .classKind = "AUXILIARY", .may = {"title"}}};
    of(all, Kind::dITContentRules) = {{.oid = "2.5.6.6",
                                       .names = {"personRule"},
                                       .must = {"cn"},
                                       .may = {"title"},
                                       .aux = {"extra"},
                                       .notAllowed = {"description"}},
                                      {.oid = "2.5.6.7", .names = {"orgPersonRule"}}};
    of(all, Kind::nameForms) = {{.oid = "1.1.3.1",
                                 .names = {"personForm"},
                                 .must = {"cn"},
                                 .may = {"sn"},
                                 .objectClass = "person"},
                                {.oid = "1.1.3.2",
                                 .names = {"orgPersonForm"},
                                 .must = {"cn"},
                                 .objectClass = "organizationalPerson"}};
    of(all, Kind::dITStructureRules) = {{.oid = "1", .form = "personForm"},
                                        {.oid = "2", .superiors = {"1"}, .form = "orgPersonForm"}};
    return all;
}

inline FullSchema schema(Definitions all, const Macros& macros = {}) {
    return FullSchema(std::move(all), schemadesc::OidMacros(macros));
}

// The definition of `kind` whose first NAME, or else OID, is `name`.
inline FullDefinition& named(Definitions& all, Kind kind, std::string_view name) {
    for (FullDefinition& definition : of(all, kind)) {
        const std::string& first = definition.names.empty() ? definition.oid : definition.names[0];
        if (namesEqual(first, name) || definition.oid == name) {
            return definition;
        }
    }
    throw std::logic_error("no such definition in the sample");
}

}  // namespace sample
