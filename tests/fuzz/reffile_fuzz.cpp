// Arbitrary bytes through the reference-file readers and the writer. Beyond
// running clean under the sanitizers, a listing is a fixed point: what the
// writer produced reads back to the same listing, and (names being unique)
// the schema it reads back to compares equal to the one it was written from.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

#include "schema/schema.h"
#include "support/listing.h"
#include "toollib/namecompare.h"
#include "toollib/txtparse/textstreamparser.h"

namespace {

Schema readAll(const std::string& text) {
    TextStreamParser tsp = TextStreamParser::fromText(text);
    Schema schema;
    schema.whirly = 0;
    schema.readClassDefs(tsp);
    schema.readAttrDefs(tsp);
    schema.readSyntaxDefs(tsp);
    return schema;
}

// Two definitions of one kind with the same name (letter case ignored):
// the comparison finds each by name, so it may pair a duplicate with the
// other one of its name.
template <class Def>
bool hasDuplicates(const ExtendedArray<Def>& defs) {
    for (std::size_t i = 1; i < defs.count(); ++i) {
        if (namesEqual(defs[i - 1].name, defs[i].name)) {
            return true;
        }
    }
    return false;
}

// The layout's own limits: names longer than a line piece, names with
// control characters or outer blanks, comment markers in front, and the
// section headers do not survive a listing. Names equal to sub-headers do:
// a member stands deeper than its sub-header.
bool fitsTheLayout(std::string_view name) {
    static const char* const keywords[] = {"Class Definitions", "Attribute Definitions",
                                           "Syntax Definitions"};
    if (name.empty() || name.size() > 76 || name.front() == ' ' || name.back() == ' ' ||
        name.front() == ';' || name.rfind("//", 0) == 0) {
        return false;
    }
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F) {
            return false;
        }
    }
    for (const char* keyword : keywords) {
        if (namesEqual(name, keyword)) {
            return false;
        }
    }
    return true;
}

bool fitsTheLayout(const Schema& schema) {
    for (const ClassDef& def : schema.classDef) {
        if (!fitsTheLayout(def.name)) {
            return false;
        }
        for (const auto* list :
             {&def.superClasses, &def.containment, &def.namedBy, &def.mandatory, &def.optional}) {
            for (const std::string_view item : *list) {
                if (!fitsTheLayout(item)) {
                    return false;
                }
            }
        }
    }
    for (const AttrDef& def : schema.attrDef) {
        if (!fitsTheLayout(def.name)) {
            return false;
        }
    }
    for (const SyntaxDef& def : schema.syntaxDef) {
        if (!fitsTheLayout(def.name)) {
            return false;
        }
    }
    return true;
}

[[noreturn]] void fail(const char* what, const std::string& first, const std::string& second) {
    std::cerr << what << "\n--- first\n" << first << "\n--- second\n" << second << '\n';
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Schema schema = readAll(std::string(reinterpret_cast<const char*>(data), size));
    const std::string written = listing(schema, SelectedKinds{});
    // The listing of an empty schema has no sections to read back.
    if (written == "\tNONE\n" || !fitsTheLayout(schema)) {
        return 0;
    }
    const Schema reread = readAll(written);
    const std::string rewritten = listing(reread, SelectedKinds{});
    if (rewritten != written) {
        fail("a listing does not read back to itself", written, rewritten);
    }
    if (hasDuplicates(schema.classDef) || hasDuplicates(schema.attrDef) ||
        hasDuplicates(schema.syntaxDef)) {
        return 0;
    }
    std::ostringstream report;
    if (schema.compare(reread, report) != 0) {
        fail("a schema differs from its own listing", written, report.str());
    }
    return 0;
}
