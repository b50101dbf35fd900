#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>

#include "schema/flagnames.h"
#include "schema/namelist.h"

// Pieces of a definition block that the three kinds share. A block is put
// together in a string and written at once: one stream operation per
// definition rather than one per line and piece.

// "\tFlags" and one item line per named bit that is set, when `flags` is not 0.
void writeFlagBlock(std::string& block, std::span<const FlagName> table, std::uint32_t flags);

// `subHeader` indented once and one item line per member, when `list` is not empty.
void writeListBlock(std::string& block, const char* subHeader, const NameList& list);

// An empty string to put one block together in, kept from block to block.
std::string& blockBuffer();

// Writes `block` on `os` at once.
void writeBlock(std::ostream& os, const std::string& block);
