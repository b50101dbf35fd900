#include <algorithm>
#include <array>
#include <cstdint>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
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

// Below this many descriptions a kind is parsed on the calling thread alone:
// a thread of its own would cost more than it saves.
constexpr std::size_t kSplitAt = 4096;

template <typename Descriptions>
std::size_t textBytes(const Descriptions& descriptions, std::size_t begin, std::size_t end) {
    std::size_t bytes = 0;
    for (std::size_t at = begin; at < end; ++at) {
        bytes += textOf(descriptions[at]).size();
    }
    return bytes;
}

// Parses descriptions [begin, end) of `kind` into `into`; the index of the
// first that does not parse, or `end`.
template <typename Descriptions>
std::size_t parseRange(Kind kind, const Descriptions& descriptions, std::size_t begin,
                       std::size_t end, const schemadesc::OidMacros& macros,
                       DefinitionStore& into) {
    // One buffer for every description handed to the parser, and one
    // reader whose definitions keep their room from one to the next.
    std::string text;
    schemadesc::FullReader reader;
    for (std::size_t at = begin; at < end; ++at) {
        text.assign(textOf(descriptions[at]));
        if (!reader.read(kind, text, macros)) {
            return at;
        }
        into.add(reader.definition(kind));
    }
    return end;
}

// Parses a kind of many descriptions in two halves at once, the second on a
// thread of its own, and joins them in source order: parsing through libldap
// is most of the work of reading a large schema, and each description is
// parsed alone. Only the parse is shared: its result, and which description
// a failure names (the first in source order), are those of one thread.
template <typename Descriptions>
std::size_t parseInHalves(Kind kind, const Descriptions& descriptions,
                          const schemadesc::OidMacros& macros, DefinitionStore& into) {
    const std::size_t count = descriptions.size();
    const std::size_t middle = count / 2;
    DefinitionStore tail;
    tail.reserve(count - middle, textBytes(descriptions, middle, count));
    std::size_t tailFailed = count;
    std::exception_ptr tailThrew;
    const auto parseTail = [&] {
        try {
            tailFailed = parseRange(kind, descriptions, middle, count, macros, tail);
        } catch (...) {
            tailThrew = std::current_exception();
        }
    };
    std::size_t headFailed = middle;
    {
        std::jthread worker;
        try {
            worker = std::jthread(parseTail);
        } catch (const std::system_error&) {
            // No thread to be had: the halves one after the other.
        }
        headFailed = parseRange(kind, descriptions, 0, middle, macros, into);
        if (!worker.joinable()) {
            parseTail();
        }
    }
    if (headFailed != middle) {
        return headFailed;
    }
    if (tailThrew) {
        std::rethrow_exception(tailThrew);
    }
    if (tailFailed != count) {
        return tailFailed;
    }
    into.append(std::move(tail));
    return count;
}

// `descriptionsOf(kind)` gives each kind's descriptions in source order;
// `parsed(kind)` is called once they have all been parsed.
template <typename DescriptionsOf, typename Parsed>
std::optional<FullSchema> readAll(const DescriptionsOf& descriptionsOf, const Parsed& parsedAll,
                                  const std::vector<std::pair<std::string, std::string>>& macroList,
                                  std::string& diagnostic) {
    const schemadesc::OidMacros macros(macroList);
    std::array<DefinitionStore, kindCount> definitions;
    for (const Kind kind : schemadesc::allKinds) {
        const auto& descriptions = descriptionsOf(kind);
        const std::size_t count = descriptions.size();
        auto& parsed = definitions[schemadesc::kindIndex(kind)];
        if (count < kSplitAt) {
            // Packed, a definition takes a little less than its description.
            parsed.reserve(count, textBytes(descriptions, 0, count));
        } else {
            parsed.reserve(count, textBytes(descriptions, 0, count / 2));
        }
        const std::size_t failed = count < kSplitAt
                                       ? parseRange(kind, descriptions, 0, count, macros, parsed)
                                       : parseInHalves(kind, descriptions, macros, parsed);
        if (failed != count) {
            const std::string text(textOf(descriptions[failed]));
            diagnostic = std::string(originOf(descriptions[failed]));
            diagnostic += ": ";
            diagnostic += kindNoun(kind);
            diagnostic += " does not parse: ";
            diagnostic += schemadesc::excerpt(text);
            return std::nullopt;
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
