#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fullschema/fullschema.h"
#include "toollib/schemadesc/descriptionparser.h"

namespace fullschema {
namespace {

// What a failure calls a description of the kind, as the listing's own
// conversion does for the kinds it reads.
const char* kindNoun(Kind kind) {
    switch (kind) {
        case Kind::ldapSyntaxes:
            return "syntax";
        case Kind::matchingRules:
            return "matching rule";
        case Kind::matchingRuleUse:
            return "matching rule use";
        case Kind::attributeTypes:
            return "attribute type";
        case Kind::objectClasses:
            return "object class";
        case Kind::dITContentRules:
            return "DIT content rule";
        case Kind::dITStructureRules:
            return "DIT structure rule";
        case Kind::nameForms:
            return "name form";
    }
    return "description";
}

}  // namespace

std::optional<FullSchema> readFullSchema(const SourceText& text, std::string& diagnostic) {
    const schemadesc::OidMacros macros(text.macros);
    std::array<DefinitionStore, kindCount> definitions;
    for (const Kind kind : schemadesc::allKinds) {
        const auto& descriptions = text.kinds[schemadesc::kindIndex(kind)];
        auto& parsed = definitions[schemadesc::kindIndex(kind)];
        std::size_t bytes = 0;
        for (const SourceDescription& description : descriptions) {
            bytes += description.text.size();
        }
        // Packed, a definition takes about as much as its description.
        parsed.reserve(descriptions.size(), bytes + bytes / 4);
        for (const SourceDescription& description : descriptions) {
            std::optional<FullDefinition> definition =
                schemadesc::parseFull(kind, description.text, macros);
            if (!definition) {
                diagnostic = description.origin + ": " + kindNoun(kind) +
                             " does not parse: " + schemadesc::excerpt(description.text);
                return std::nullopt;
            }
            parsed.add(*definition);
        }
    }
    return FullSchema(std::move(definitions), macros);
}

}  // namespace fullschema
