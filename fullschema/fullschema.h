#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fullschema/definitionstore.h"
#include "toollib/schemadesc/descriptionparser.h"
#include "toollib/schemadesc/fulldefinition.h"

// A whole LDAP schema: every definition of the eight kinds with every field,
// for comparing schemas field by field and for saving one as it stands.
namespace fullschema {

using schemadesc::FullDefinition;
using schemadesc::Kind;
using schemadesc::kindCount;

// One description as a source hands it out, and where it was found
// ("core.schema:120"), so that a failure can point at it.
struct SourceDescription {
    std::string text;
    std::string origin;
};

// What a source holds: the descriptions of each kind (by kindIndex) in
// source order, and its OID macros (name, value) in source order.
struct SourceText {
    std::array<std::vector<SourceDescription>, kindCount> kinds;
    std::vector<std::pair<std::string, std::string>> macros;
};

// The same, kept as it arrives in a few large blocks rather than two
// strings a description: the texts of a large source are held only until
// they are parsed, and the fewer pieces the cheaper.
class CollectedText {
  public:
    struct Description {
        const char* text;
        std::uint32_t textLength;
        std::uint32_t originLength;  // the origin follows the text
        std::string_view textView() const { return {text, textLength}; }
        std::string_view originView() const { return {text + textLength, originLength}; }
    };

    void add(std::size_t kind, std::string_view text, std::string_view origin);
    void addMacro(std::string name, std::string value);
    // The descriptions of `kind` are no longer needed: they are dropped, and
    // every block left with none that is still needed is freed.
    void doneWith(std::size_t kind);

    const std::vector<Description>& kind(std::size_t index) const { return kinds_.at(index); }
    const std::vector<std::pair<std::string, std::string>>& macros() const { return macros_; }

  private:
    std::array<std::vector<Description>, kindCount> kinds_;
    std::vector<std::pair<std::string, std::string>> macros_;
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t used_ = 0;  // of the last block
    // By block: how many of its descriptions are still needed.
    std::vector<std::size_t> pending_;
    // By kind: the blocks its descriptions are in, and how many in each.
    std::array<std::vector<std::pair<std::size_t, std::size_t>>, kindCount> kindBlocks_;
};

class FullSchema {
  public:
    FullSchema() = default;
    // The definitions of each kind (by kindIndex) in source order. A
    // reference that names no definition of its kind by NAME is replaced by
    // its macro expansion, so that what is left names a definition by NAME
    // or by OID, or is unresolved as written.
    FullSchema(const std::array<std::vector<FullDefinition>, kindCount>& definitions,
               const schemadesc::OidMacros& macros);
    // The same, from definitions already packed.
    FullSchema(std::array<DefinitionStore, kindCount> definitions,
               const schemadesc::OidMacros& macros);

    // Handed out whole by index or in turn; read in place through view().
    const DefinitionStore& definitions(Kind kind) const;
    // Definitions of all kinds together.
    std::size_t size() const;

    // The index (in definitions(kind)) of the definition `reference` names:
    // the first in source order with that NAME (case ignored), else the
    // first with that OID (numeric exactly, descriptive case ignored); a
    // structure rule by its rule id. Nothing when none matches.
    std::optional<std::size_t> resolve(Kind kind, std::string_view reference) const;

    static constexpr std::uint32_t noDefinition = std::numeric_limits<std::uint32_t>::max();
    // What resolve gives for each reference of definition `index` of the
    // kind (noDefinition for none, and for an absent one), worked out once.
    // A list has a place for each member, any other field one place whether
    // present or not, in this order: attribute types SUP, EQUALITY,
    // ORDERING, SUBSTR, SYNTAX; classes SUP, MUST, MAY; content rules AUX,
    // MUST, MAY, NOT; structure rules FORM, SUP; name forms OC, MUST, MAY;
    // matching rules SYNTAX; matching rule uses APPLIES.
    std::span<const std::uint32_t> resolvedReferences(Kind kind, std::size_t index) const;

  private:
    struct Index;
    void build(const schemadesc::OidMacros& macros);

    std::array<DefinitionStore, kindCount> definitions_;
    // Look-up tables, built once (shared so that copies stay cheap).
    std::shared_ptr<const Index> index_;
};

// Parses every description of `text` into a schema; nothing, and a line
// "ORIGIN: attribute type does not parse: EXCERPT" in `diagnostic`, for the
// first description that does not parse.
std::optional<FullSchema> readFullSchema(const SourceText& text, std::string& diagnostic);
// The same; each kind's texts are freed once that kind is parsed, so that a
// large source's texts and its definitions do not all live together.
std::optional<FullSchema> readFullSchema(CollectedText& text, std::string& diagnostic);

}  // namespace fullschema
