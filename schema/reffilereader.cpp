// The three readers of a schema reference file: each finds its own section
// and reads definition name lines and their indented sub-lines.

#include <optional>
#include <string_view>
#include <vector>

#include "schema/flagnames.h"
#include "schema/schema.h"
#include "toollib/namecompare.h"
#include "toollib/progress.h"
#include "toollib/txtparse/textstreamparser.h"

namespace {

constexpr const char* classHeader = "Class Definitions";
constexpr const char* attrHeader = "Attribute Definitions";
constexpr const char* syntaxHeader = "Syntax Definitions";

// Reads the section under `header` up to either of the stop headers, an
// indented line where a name is due, or the end of the file, into
// `collection`. `makeDef` builds a definition from its name line and
// `readSubLine` applies one indented line to it.
template <class Def, class MakeDef, class ReadSubLine>
bool readSection(TextStreamParser& tsp, bool whirly, const char* header, const char* stop1,
                 const char* stop2, MakeDef makeDef, ReadSubLine readSubLine,
                 ExtendedArray<Def>& collection) {
    // Definitions are gathered first and sorted in at the end, so that a huge
    // file in no particular order does not cost quadratic time.
    std::vector<Def> read;
    const auto finish = [&collection, &read] {
        collection.AddAll(std::move(read));
        return true;
    };
    tsp.rewind();
    if (!tsp.getLine(header) || !tsp.getLine()) {
        return false;
    }
    for (;;) {
        if (tsp.wasWhite || namesEqual(tsp.line, stop1) || namesEqual(tsp.line, stop2)) {
            return finish();
        }
        if (whirly) {
            whirlyGig();
        }
        Def def = makeDef(tsp.line);
        // A name line that ends the file is a whole definition: a listing whose
        // last definition has no sub-lines must read back complete.
        bool more = tsp.getLine();
        while (more && tsp.wasWhite) {
            readSubLine(def, tsp.line);
            more = tsp.getLine();
        }
        read.push_back(std::move(def));
        if (!more) {
            return finish();
        }
    }
}

}  // namespace

bool Schema::readClassDefs(TextStreamParser& tsp) {
    // Members seen before any sub-header have no list to go to and are passed over.
    std::optional<ClassType> classtype;
    return readSection(
        tsp, whirly != 0, classHeader, attrHeader, syntaxHeader,
        [](const std::string& line) { return ClassDef(line, 0); },
        [&classtype](ClassDef& classdef, const std::string& line) {
            for (int type = SUPERCLASSES; type <= FLAGS; ++type) {
                if (namesEqual(line, classSubHeader(static_cast<ClassType>(type)))) {
                    classtype = static_cast<ClassType>(type);
                    return;
                }
            }
            if (!classtype) {
                return;
            }
            if (*classtype == FLAGS) {
                if (auto bit = flagBitByName(classFlagNames(), line)) {
                    classdef.flags |= *bit;
                }
                return;
            }
            classdef.add(*classtype, line);
        },
        classDef);
}

bool Schema::readAttrDefs(TextStreamParser& tsp) {
    enum class AttrType { none, flags, syntax };
    AttrType attrtype = AttrType::none;
    return readSection(
        tsp, whirly != 0, attrHeader, classHeader, syntaxHeader,
        [](const std::string& line) { return AttrDef(line); },
        [&attrtype](AttrDef& attrdef, const std::string& line) {
            if (namesEqual(line, "flags")) {
                attrtype = AttrType::flags;
            } else if (namesEqual(line, "syntax")) {
                attrtype = AttrType::syntax;
            } else if (attrtype == AttrType::flags) {
                if (auto bit = flagBitByName(attrFlagNames(), line)) {
                    attrdef.flags |= *bit;
                }
            } else if (attrtype == AttrType::syntax) {
                if (auto id = syntaxIdByName(line)) {
                    attrdef.syntax = *id;
                }
            }
        },
        attrDef);
}

bool Schema::readSyntaxDefs(TextStreamParser& tsp) {
    bool inFlags = false;
    return readSection(
        tsp, whirly != 0, syntaxHeader, attrHeader, classHeader,
        [](const std::string& line) { return SyntaxDef(line, 0); },
        [&inFlags](SyntaxDef& syntaxdef, const std::string& line) {
            if (namesEqual(line, "flags")) {
                inFlags = true;
            } else if (inFlags) {
                if (auto bit = flagBitByName(syntaxFlagNames(), line)) {
                    syntaxdef.flags = static_cast<std::uint16_t>(syntaxdef.flags | *bit);
                }
            }
        },
        syntaxDef);
}
