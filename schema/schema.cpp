#include "schema/schema.h"

#include "toollib/namecompare.h"

bool Schema::operator==(const Schema& b) const {
    return namesEqual(name, b.name);
}

bool Schema::operator<(const Schema& b) const {
    return compareNames(name, b.name) < 0;
}

namespace {

template <class Def>
bool writeSection(std::ostream& stream, const char* header, const ExtendedArray<Def>& defs) {
    if (defs.empty()) {
        return false;
    }
    stream << '\n' << header << '\n';
    for (const Def& def : defs) {
        def.print(stream);
    }
    return true;
}

}  // namespace

void Schema::write(std::ostream& stream) const {
    bool differences = writeSection(stream, "Class Definitions", classDef);
    differences = writeSection(stream, "Attribute Definitions", attrDef) || differences;
    differences = writeSection(stream, "Syntax Definitions", syntaxDef) || differences;
    if (!differences) {
        stream << "\tNONE\n";
    }
}
