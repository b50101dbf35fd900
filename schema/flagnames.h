#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

// The names under which flag bits and syntax ids appear in a schema listing.
// Each table is in the order in which a listing writes its names.

struct FlagName {
    std::uint32_t bit;
    std::string_view text;
};

std::span<const FlagName> classFlagNames();
std::span<const FlagName> attrFlagNames();
std::span<const FlagName> syntaxFlagNames();

// The bit named `text` (letter case ignored) in `table`, if it has one.
std::optional<std::uint32_t> flagBitByName(std::span<const FlagName> table, std::string_view text);

// The name of syntax id `id`, or nullptr for an id without a name.
const char* syntaxIdName(std::uint32_t id);

// The syntax id named `text` (letter case ignored), if there is one.
std::optional<std::uint32_t> syntaxIdByName(std::string_view text);
