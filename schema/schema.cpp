#include "schema/schema.h"

#include "schema/sectionheaders.h"
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
    defs.walk([&stream](const Def& def) { def.print(stream); });
    return true;
}

}  // namespace

void Schema::write(std::ostream& stream) const {
    bool differences = writeSection(stream, classSectionHeader, classDef);
    differences = writeSection(stream, attrSectionHeader, attrDef) || differences;
    differences = writeSection(stream, syntaxSectionHeader, syntaxDef) || differences;
    if (!differences) {
        stream << "\tNONE\n";
    }
}

void Schema::write(std::ostream& stream, const SelectedKinds& selected) const {
    const bool hasClasses = selected.classes && !classDef.empty();
    const bool hasAttributes = selected.attributes && !attrDef.empty();
    const bool hasSyntaxes = selected.syntaxes && !syntaxDef.empty();
    if (!hasClasses && !hasAttributes && !hasSyntaxes) {
        stream << "\tNONE\n";
        return;
    }
    // A reader takes a header followed by an indented line for an empty
    // section, where a missing header would fail it.
    const auto section = [&stream](bool chosen, const char* header, const auto& defs) {
        if (chosen && !writeSection(stream, header, defs)) {
            stream << '\n' << header << "\n\tNONE\n";
        }
    };
    section(selected.classes, classSectionHeader, classDef);
    section(selected.attributes, attrSectionHeader, attrDef);
    section(selected.syntaxes, syntaxSectionHeader, syntaxDef);
}
