#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fullschema/fullschema.h"

// What definitions take from their supertypes and superclasses.
namespace fullschema {

// The fields an attribute type takes from its supertype when it has none.
enum class Inherited { syntax, equality, ordering, substr };

const std::string& ownValue(const FullDefinition& attribute, Inherited field);
std::string_view ownValue(const DefinitionView& attribute, Inherited field);

// Where an attribute type's effective value of a field comes from. Eight
// bytes: a comparison holds one for each field of each attribute type of
// both schemas, 6 MB for two of a hundred thousand types.
struct Source {
    static constexpr std::uint32_t none = FullSchema::noDefinition;
    // The attribute type whose own value it is; none when no type on the
    // chain has one.
    std::uint32_t index = none;
    // False when the supertype chain reaches a definition the schema does
    // not hold, or runs in a circle: the value cannot be known.
    bool known = true;
};

// The source of `field` for every attribute type of `schema`, by index.
// Each chain is walked once, however many types share it.
std::vector<Source> effectiveSources(const FullSchema& schema, Inherited field);

// What each attribute type of `schema` holds itself, by index: a bit for
// each Inherited field it has a value of (1 << field) and one for a SUP
// (ownSuperior). Read once, for the walks of every field.
inline constexpr std::uint8_t ownSuperior = 1U << 4U;
std::vector<std::uint8_t> ownFields(const FullSchema& schema);
// effectiveSources, from ownFields(schema).
std::vector<Source> effectiveSources(const FullSchema& schema, Inherited field,
                                     const std::vector<std::uint8_t>& own);

// The superclasses of object classes, through every level.
class SuperclassWalk {
  public:
    explicit SuperclassWalk(const FullSchema& schema);

    // Every superclass of class `start` that the schema holds, each once,
    // not `start` itself; until the next call, held() tells them.
    const std::vector<std::size_t>& from(std::size_t start);
    bool held(std::size_t index) const { return marks_[index] == stamp_; }

  private:
    const FullSchema& schema_;
    // A class is marked with the current stamp once seen, so that the marks
    // need no clearing between walks.
    std::vector<std::uint32_t> marks_;
    std::uint32_t stamp_ = 0;
    std::vector<std::size_t> found_;
    std::vector<std::size_t> pending_;
};

}  // namespace fullschema
