#include "schema/syntaxdef.h"

#include <iostream>

#include "schema/flagnames.h"
#include "schema/listingblocks.h"
#include "toollib/namecompare.h"

SyntaxDef::SyntaxDef(std::string newname, std::uint16_t newflags)
    : name(std::move(newname)), flags(newflags) {}

bool SyntaxDef::operator==(const SyntaxDef& b) const {
    return namesEqual(name, b.name);
}

bool SyntaxDef::operator<(const SyntaxDef& b) const {
    return compareNames(name, b.name) < 0;
}

void SyntaxDef::print(std::ostream& os) const {
    std::string& block = blockBuffer();
    block += name;
    block += '\n';
    writeFlagBlock(block, syntaxFlagNames(), flags);
    writeBlock(os, block);
}

void SyntaxDef::print() const {
    print(std::cout);
}

bool SyntaxDef::isDifferent(const SyntaxDef& b, SyntaxDef& newsyntax) const {
    if (*this != b) {
        std::cout << "Cannot compare syntax definitions of different names.\n";
        return false;
    }
    const auto extraFlags = static_cast<std::uint16_t>(flags & ~b.flags);
    if (extraFlags == 0) {
        return false;
    }
    newsyntax.add(extraFlags);
    return true;
}

std::ostream& operator<<(std::ostream& os, const SyntaxDef& syntaxdef) {
    return os << syntaxdef.name;
}
