#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>

#include "schema/extendedarray.h"
#include "schema/flagnames.h"

// Pieces of a definition block that the three kinds share.

// "\tFlags" and one item line per named bit that is set, when `flags` is not 0.
void writeFlagBlock(std::ostream& os, std::span<const FlagName> table, std::uint32_t flags);

// `subHeader` indented once and one item line per member, when `list` is not empty.
void writeListBlock(std::ostream& os, const char* subHeader,
                    const ExtendedArray<std::string>& list);
