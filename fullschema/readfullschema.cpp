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
#include "toollib/schemadesc/descriptionreader.h"

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

// `descriptionsOf(kind)` gives each kind's descriptions in source order;
// `parsed(kind)` is called once they have all been parsed.
template <typename DescriptionsOf, typename Parsed>
std::optional<FullSchema> readAll(const DescriptionsOf& descriptionsOf, const Parsed& parsedAll,
                                  const std::vector<std::pair<std::string, std::string>>& macroList,
                                  std::string& diagnostic) {
    const schemadesc::OidMacros macros(macroList);
    std::array<DefinitionStore, kindCount> definitions;
    // One buffer for every description handed to the parser, and one
    // reader whose definitions keep their room from one to the next.
    std::string text;
    schemadesc::FullReader reader;
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
            if (!reader.read(kind, text, macros)) {
                diagnostic = std::string(originOf(description));
                diagnostic += ": ";
                diagnostic += kindNoun(kind);
                diagnostic += " does not parse: ";
                diagnostic += schemadesc::excerpt(text);
                return std::nullopt;
            }
            parsed.add(reader.definition(kind));
        }
        parsedAll(kind);
    }
    return FullSchema(std::move(definitions), macros);
}

}  // namespace

void CollectedText::add(std::size_t kind, std::string_view text, std::string_view origin) {
    const std::size_t size = text.size() + origin.size();
    if (text.size() > UINT32_MAX || origin.size() > UINT32_MAX) {
        throw std::bad_alloc();
    }
    if (blocks_.empty() || !blocks_.back() || used_ + size > kBlockSize) {
        // A description longer than a block gets a block of its own.
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(std::max(size, kBlockSize)));
        pending_.push_back(0);
        used_ = 0;
    }
    std::vector<Description>& descriptions = kinds_.at(kind);
    char* at = blocks_.back().get() + used_;
    descriptions.push_back(
        {at, static_cast<std::uint32_t>(text.size()), static_cast<std::uint32_t>(origin.size())});
    std::copy(text.begin(), text.end(), at);
    std::copy(origin.begin(), origin.end(), at + text.size());
    used_ += size;
    const std::size_t block = blocks_.size() - 1;
    ++pending_[block];
    std::vector<std::pair<std::size_t, std::size_t>>& runs = kindBlocks_[kind];
    if (runs.empty() || runs.back().first != block) {
        runs.emplace_back(block, 0);
    }
    ++runs.back().second;
}

void CollectedText::doneWith(std::size_t kind) {
    for (const auto& [block, count] : kindBlocks_.at(kind)) {
        pending_[block] -= count;
        if (pending_[block] == 0) {
            blocks_[block].reset();
        }
    }
    kindBlocks_[kind].clear();
    std::vector<Description>().swap(kinds_[kind]);
}

void CollectedText::addMacro(std::string name, std::string value) {
    macros_.emplace_back(std::move(name), std::move(value));
}

std::optional<FullSchema> readFullSchema(const SourceText& text, std::string& diagnostic) {
    return readAll(
        [&text](Kind kind) -> const auto& { return text.kinds[schemadesc::kindIndex(kind)]; },
        [](Kind) {}, text.macros, diagnostic);
}

std::optional<FullSchema> readFullSchema(CollectedText& text, std::string& diagnostic) {
    return readAll(
        [&text](Kind kind) -> const auto& { return text.kind(schemadesc::kindIndex(kind)); },
        [&text](Kind kind) { text.doneWith(schemadesc::kindIndex(kind)); }, text.macros(),
        diagnostic);
}

}  // namespace fullschema
