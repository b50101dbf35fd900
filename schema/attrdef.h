#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

// One attribute definition, identified and ordered by its name alone.
class AttrDef {
  public:
    // The syntax value that means no syntax is recorded.
    static constexpr std::uint32_t noSyntax = 0xFFFFFFFF;

    AttrDef() = default;
    explicit AttrDef(std::string newname);
    // Note the order: syntax, flags, name.
    AttrDef(std::uint32_t newsyntax, std::uint32_t newflag, std::string newname);

    // Both replace the value held before.
    void addFlags(std::uint32_t newFlags) { flags = newFlags; }
    void addSyntax(std::uint32_t newSyntax) { syntax = newSyntax; }

    bool operator==(const AttrDef& b) const;
    bool operator!=(const AttrDef& b) const { return !(*this == b); }
    bool operator<(const AttrDef& b) const;

    // Writes the attribute block of a schema listing.
    void print(std::ostream& os) const;
    void print() const;

    // Records in `newattr` the flag bits this attribute has and `b` lacks, and
    // this attribute's syntax when the two differ; true when anything was
    // recorded. Definitions of different names get a message and false.
    bool isDifferent(const AttrDef& b, AttrDef& newattr) const;

    std::string name;
    std::uint32_t flags = 0;
    std::uint32_t syntax = noSyntax;
};

// Writes the attribute's name only, with no line end.
std::ostream& operator<<(std::ostream& os, const AttrDef& attrdef);
