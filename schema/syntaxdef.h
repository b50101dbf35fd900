#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

// One syntax definition: a name and 16 flag bits, no syntax id of its own.
class SyntaxDef {
  public:
    SyntaxDef() = default;
    SyntaxDef(std::string newname, std::uint16_t newflags);

    // Replaces the flags.
    void add(std::uint16_t newflags) { flags = newflags; }

    bool operator==(const SyntaxDef& b) const;
    bool operator!=(const SyntaxDef& b) const { return !(*this == b); }
    bool operator<(const SyntaxDef& b) const;

    // Writes the syntax block of a schema listing.
    void print(std::ostream& os) const;
    void print() const;

    // Records in `newsyntax` the flag bits this syntax has and `b` lacks; true
    // when there are any. Definitions of different names get a message and false.
    bool isDifferent(const SyntaxDef& b, SyntaxDef& newsyntax) const;

    std::string name;
    std::uint16_t flags = 0;
};

// Writes the syntax's name only, with no line end.
std::ostream& operator<<(std::ostream& os, const SyntaxDef& syntaxdef);
