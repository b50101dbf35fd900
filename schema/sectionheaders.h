#pragma once

#include <array>

// The fixed texts of a reference file: the listing writes them, and the
// reference-file reader looks for them (letter case ignored), so each is
// written down here once.

// The headers of the three sections, each on a line of its own.
inline constexpr const char* classSectionHeader = "Class Definitions";
inline constexpr const char* attrSectionHeader = "Attribute Definitions";
inline constexpr const char* syntaxSectionHeader = "Syntax Definitions";

// The sub-headers under a definition's name, indented once: the flags of
// every kind, an attribute's syntax, and a class's five lists in the order
// a listing writes them.
inline constexpr const char* flagsSubHeader = "Flags";
inline constexpr const char* syntaxSubHeader = "Syntax";
inline constexpr std::array<const char*, 5> classListSubHeaders{
    "Super Class", "Containment", "Named By", "Mandatory Attributes", "Optional Attributes",
};
