#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <new>
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

namespace {

constexpr std::size_t kBlockSize = std::size_t{1} << 22U;

std::string_view textOf(const SourceDescription& description) {
    return description.text;
}
std::string_view originOf(const SourceDescription& description) {
    return description.origin;
}
std::string_view textOf(const CollectedText::Description& description) {
    return description.textView();
}
std::string_view originOf(const CollectedText::Description& description) {
    return description.originView();
}

// `descriptionsOf(kind)` gives each kind's descriptions in source order.
template <typename DescriptionsOf>
std::optional<FullSchema> readAll(const DescriptionsOf& descriptionsOf,
                                  const std::vector<std::pair<std::string, std::string>>& macroList,
                                  std::string& diagnostic) {
    const schemadesc::OidMacros macros(macroList);
    std::array<DefinitionStore, kindCount> definitions;
    // One buffer for every description handed to the parser.
    std::string text;
    for (const Kind kind : schemadesc::allKinds) {
        const auto& descriptions = descriptionsOf(kind);
        auto& parsed = definitions[schemadesc::kindIndex(kind)];
        // Packed, a definition takes a little less than its description.
        std::size_t bytes = 0;
        for (const auto& description : descriptions) {
            bytes += textOf(description).size();
        }
        parsed.reserve(descriptions.size(), bytes);
        for (const auto& description : descriptions) {
            text.assign(textOf(description));
            std::optional<FullDefinition> definition = schemadesc::parseFull(kind, text, macros);
            if (!definition) {
                diagnostic = std::string(originOf(description));
                diagnostic += ": ";
                diagnostic += kindNoun(kind);
                diagnostic += " does not parse: ";
                diagnostic += schemadesc::excerpt(text);
                return std::nullopt;
            }
            parsed.add(*definition);
        }
    }
    return FullSchema(std::move(definitions), macros);
}

}  // namespace

void CollectedText::add(std::size_t kind, std::string_view text, std::string_view origin) {
    const std::size_t size = text.size() + origin.size();
    if (text.size() > UINT32_MAX || origin.size() > UINT32_MAX) {
        throw std::bad_alloc();
    }
    if (blocks_.empty() || used_ + size > kBlockSize) {
        // A description longer than a block gets a block of its own.
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(std::max(size, kBlockSize)));
        used_ = 0;
    }
    char* at = blocks_.back().get() + used_;
    std::copy(text.begin(), text.end(), at);
    std::copy(origin.begin(), origin.end(), at + text.size());
    used_ += size;
    kinds_.at(kind).push_back(
        {at, static_cast<std::uint32_t>(text.size()), static_cast<std::uint32_t>(origin.size())});
}

void CollectedText::addMacro(std::string name, std::string value) {
    macros_.emplace_back(std::move(name), std::move(value));
}

std::optional<FullSchema> readFullSchema(const SourceText& text, std::string& diagnostic) {
    return readAll(
        [&text](Kind kind) -> const auto& { return text.kinds[schemadesc::kindIndex(kind)]; },
        text.macros, diagnostic);
}

std::optional<FullSchema> readFullSchema(const CollectedText& text, std::string& diagnostic) {
    return readAll(
        [&text](Kind kind) -> const auto& { return text.kind(schemadesc::kindIndex(kind)); },
        text.macros(), diagnostic);
}

}  // namespace fullschema
