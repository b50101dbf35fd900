// The difference report of two schemas.

#include "schema/schema.h"

namespace {

// One unique-definition section: walks `walked` (the collection of the schema
// named `walkedName`) in name order, lists the names that `other` lacks, and
// records in `diffs` what each common definition has that its namesake lacks.
// Sets `error` when anything is listed or recorded. A kind with no
// definitions on the walked side prints nothing at all.
template <class Def>
void uniqueSection(std::ostream& os, const char* header, const std::string& walkedName,
                   const ExtendedArray<Def>& walked, const ExtendedArray<Def>& other,
                   ExtendedArray<Def>& diffs, bool& error) {
    if (walked.empty()) {
        return;
    }
    bool same = true;
    os << '\n' << header << walkedName << '\n';
    std::size_t cursor = 0;  // both sides are in name order
    for (const Def& def : walked) {
        const std::size_t index = other.FindInOrder(def, cursor);
        if (index == ExtendedArray<Def>::notFound) {
            os << '\t' << def.name << '\n';
            same = false;
            error = true;
            continue;
        }
        Def record;
        record.name = def.name;
        if (def.isDifferent(other[index], record)) {
            diffs.Add(record);
            error = true;
        }
    }
    if (same) {
        os << "\tNONE\n";
    }
}

}  // namespace

int Schema::compare(const Schema& b, std::ostream& os) const {
    Schema schemaAB("AB");
    Schema schemaBA("BA");
    bool error = false;

    uniqueSection(os, "Classes unique to ", name, classDef, b.classDef, schemaAB.classDef, error);
    uniqueSection(os, "Classes unique to ", b.name, b.classDef, classDef, schemaBA.classDef, error);
    uniqueSection(os, "Attributes unique to ", name, attrDef, b.attrDef, schemaAB.attrDef, error);
    uniqueSection(os, "Attributes unique to ", b.name, b.attrDef, attrDef, schemaBA.attrDef, error);
    uniqueSection(os, "Syntaxes unique to ", name, syntaxDef, b.syntaxDef, schemaAB.syntaxDef,
                  error);
    uniqueSection(os, "Syntaxes unique to ", b.name, b.syntaxDef, syntaxDef, schemaBA.syntaxDef,
                  error);

    os << "\nDefinition differences for " << name << '\n';
    schemaAB.write(os);
    os << "\nDefinition differences for " << b.name << '\n';
    schemaBA.write(os);
    return error ? 1 : 0;
}
