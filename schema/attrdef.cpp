#include "schema/attrdef.h"

#include <iostream>

#include "schema/flagnames.h"
#include "schema/listingblocks.h"
#include "schema/sectionheaders.h"
#include "toollib/namecompare.h"

AttrDef::AttrDef(std::string newname) : name(std::move(newname)) {}

AttrDef::AttrDef(std::uint32_t newsyntax, std::uint32_t newflag, std::string newname)
    : name(std::move(newname)), flags(newflag), syntax(newsyntax) {}

bool AttrDef::operator==(const AttrDef& b) const {
    return namesEqual(name, b.name);
}

bool AttrDef::operator<(const AttrDef& b) const {
    return compareNames(name, b.name) < 0;
}

void AttrDef::print(std::ostream& os) const {
    std::string& block = blockBuffer();
    block += name;
    block += '\n';
    writeFlagBlock(block, attrFlagNames(), flags);
    if (syntax != noSyntax) {
        block += '\t';
        block += syntaxSubHeader;
        block += '\n';
        if (const char* syntaxName = syntaxIdName(syntax)) {
            block += "\t\t";
            block += syntaxName;
            block += '\n';
        } else {
            block += "An error occurred reading the Syntax ID.\n";
        }
    }
    writeBlock(os, block);
}

void AttrDef::print() const {
    print(std::cout);
}

bool AttrDef::isDifferent(const AttrDef& b, AttrDef& newattr) const {
    if (*this != b) {
        std::cout << "Cannot compare attribute definitions of different names.\n";
        return false;
    }
    bool dflag = false;
    const std::uint32_t extraFlags = flags & ~b.flags;
    if (extraFlags != 0) {
        newattr.addFlags(extraFlags);
        dflag = true;
    }
    if (syntax != b.syntax) {
        newattr.addSyntax(syntax);
        dflag = true;
    }
    return dflag;
}

std::ostream& operator<<(std::ostream& os, const AttrDef& attrdef) {
    return os << attrdef.name;
}
