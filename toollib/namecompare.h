#pragma once

#include <string_view>

// The one name comparison of the program. Definition names, list members,
// keywords of reference files and command-line words all compare through it:
// bytes are compared as unsigned values after folding a-z to A-Z, and a name
// that is a prefix of the other sorts first.

// Upper-cases the letters a-z only, whatever the locale.
char foldName(char c);

// Negative, zero or positive as `a` sorts before, equal to or after `b`.
int compareNames(std::string_view a, std::string_view b);

// True when the two names are equal without regard to letter case.
bool namesEqual(std::string_view a, std::string_view b);

// True when `text` contains `part` anywhere, without regard to letter case.
bool containsName(std::string_view text, std::string_view part);
