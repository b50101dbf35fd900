// The three readers of a schema reference file: each finds its own section
// and reads definition name lines and their indented sub-lines.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "schema/chunkedlist.h"
#include "schema/classmembers.h"
#include "schema/flagnames.h"
#include "schema/schema.h"
#include "schema/sectioncache.h"
#include "schema/sectionheaders.h"
#include "toollib/namecompare.h"
#include "toollib/progress.h"
#include "toollib/txtparse/textstreamparser.h"

namespace {

// Each reader reads from the top of the file to its header; the parser
// remembers all three headers as it passes them, so that together the
// readers read the file once.
const std::vector<std::string>& sectionHeaders() {
    static const std::vector<std::string> headers{classSectionHeader, attrSectionHeader,
                                                  syntaxSectionHeader};
    return headers;
}

// The class sub-header that `line` is, if it is one.
std::optional<ClassType> classSubHeaderOf(std::string_view line) {
    static const auto subHeaders = [] {
        std::array<std::string_view, FLAGS + 1> names{};
        for (std::size_t type = 0; type < names.size(); ++type) {
            names[type] = classSubHeader(static_cast<ClassType>(type));
        }
        return names;
    }();
    for (int type = SUPERCLASSES; type <= FLAGS; ++type) {
        if (namesEqual(line, subHeaders[static_cast<std::size_t>(type)])) {
            return static_cast<ClassType>(type);
        }
    }
    return std::nullopt;
}

// The list that the last sub-header opened, and how deep that sub-header
// stood. It stays open across definition names, as members of a class may
// continue the list of the class before.
template <class List>
class OpenList {
  public:
    // True when a line `indent` deep is an item of the open list whatever it
    // reads: a member may be named like a sub-header ("flags" is an attribute
    // of some schemas), and its listing writes it deeper than the sub-header.
    bool holds(std::size_t indent) const { return list && indent > depth; }
    void open(List which, std::size_t indent) {
        list = which;
        depth = indent;
    }
    const std::optional<List>& current() const { return list; }

  private:
    std::optional<List> list;
    std::size_t depth = 0;
};

// Reads the section under `header` up to either of the stop headers, an
// indented line where a name is due, or the end of the file, into
// `collection`. `makeDef` builds a definition from its name line,
// `readSubLine` applies one indented line, with its depth, to it,
// `completeDef` is called after its last one, and `completeAll` takes the
// definitions gathered in file order once the section has been read and
// gives them in name order, equal names in file order. On failure `failure`
// says why, for the message that names the file.
template <class Def, class MakeDef, class ReadSubLine, class CompleteDef, class CompleteAll>
bool readSection(TextStreamParser& tsp, bool whirly, const char* header, const char* stop1,
                 const char* stop2, MakeDef makeDef, ReadSubLine readSubLine,
                 CompleteDef completeDef, CompleteAll completeAll, ExtendedArray<Def>& collection,
                 std::string& failure) {
    std::optional<SpinnerBatch> spinning;
    if (whirly) {
        spinning.emplace();
    }
    static SectionCache<Def> cache;
    const std::optional<FileIdentity> id = tsp.hasDefaultRules() ? tsp.identity() : std::nullopt;
    if (id) {
        if (const typename SectionCache<Def>::Section* held = cache.find(*id)) {
            // The spinner turns as often as reading the file would turn it.
            for (std::size_t k = 0; whirly && k < held->defs.size(); ++k) {
                whirlyGig();
            }
            if (held->found) {
                collection.AddAll(held->defs);
            } else {
                failure = held->failure;
            }
            return held->found;
        }
    }
    const bool keep = id && cache.worthKeeping(*id);

    // Definitions are gathered first and sorted in at the end, so that a huge
    // file in no particular order does not cost quadratic time.
    ChunkedList<Def> gathered;
    const auto finish = [&](std::string why) {
        const bool found = why.empty();
        std::vector<Def> read = completeAll(gathered);
        if (keep) {
            cache.keep(*id, {found, read, why});
        }
        if (found) {
            collection.AddAll(std::move(read));
        } else {
            failure = std::move(why);
        }
        return found;
    };
    tsp.rememberLines(sectionHeaders());
    tsp.rewind();
    if (!tsp.getLine(header)) {
        return finish(std::string("no \"") + header + "\" section");
    }
    if (!tsp.nextLine()) {
        return finish(std::string("nothing follows the \"") + header + "\" header");
    }
    for (;;) {
        if (tsp.wasWhite || namesEqual(tsp.lineView(), stop1) ||
            namesEqual(tsp.lineView(), stop2)) {
            return finish({});
        }
        if (whirly) {
            whirlyGig();
        }
        Def def = makeDef(tsp.lineView());
        // A name line that ends the file is a whole definition: a listing whose
        // last definition has no sub-lines must read back complete.
        bool more = tsp.nextLine();
        while (more && tsp.wasWhite) {
            readSubLine(def, tsp.lineView(), tsp.indent);
            more = tsp.nextLine();
        }
        completeDef(def);
        gathered.push_back(std::move(def));
        if (!more) {
            return finish({});
        }
    }
}

}  // namespace

bool Schema::readClassDefs(TextStreamParser& tsp) {
    // Members seen before the section's first sub-header have no list and are
    // passed over.
    OpenList<ClassType> openList;
    // Each list of a class in one piece, after the classes are in order: the
    // same lists as adding members one by one, without growing each list
    // member by member.
    ClassMembers members;
    return readSection(
        tsp, whirly != 0, classSectionHeader, attrSectionHeader, syntaxSectionHeader,
        [](std::string_view line) { return ClassDef(std::string(line), 0); },
        [&openList, &members](ClassDef& classdef, std::string_view line, std::size_t indent) {
            if (!openList.holds(indent)) {
                if (const std::optional<ClassType> subHeader = classSubHeaderOf(line)) {
                    openList.open(*subHeader, indent);
                    return;
                }
            }
            const std::optional<ClassType>& classtype = openList.current();
            if (!classtype) {
                return;
            }
            if (*classtype == FLAGS) {
                if (auto bit = flagBitByName(classFlagNames(), line)) {
                    classdef.flags |= *bit;
                }
                return;
            }
            members.add(*classtype, line);
        },
        [&members](ClassDef& classdef) { members.endClass(classdef); },
        [&members](ChunkedList<ClassDef>& classes) { return members.placeInOrder(classes); },
        classDef, failure);
}

bool Schema::readAttrDefs(TextStreamParser& tsp) {
    enum class AttrList { flags, syntax };
    OpenList<AttrList> openList;
    return readSection(
        tsp, whirly != 0, attrSectionHeader, classSectionHeader, syntaxSectionHeader,
        [](std::string_view line) { return AttrDef(std::string(line)); },
        [&openList](AttrDef& attrdef, std::string_view line, std::size_t indent) {
            if (!openList.holds(indent)) {
                if (namesEqual(line, flagsSubHeader)) {
                    openList.open(AttrList::flags, indent);
                    return;
                }
                if (namesEqual(line, syntaxSubHeader)) {
                    openList.open(AttrList::syntax, indent);
                    return;
                }
            }
            if (openList.current() == AttrList::flags) {
                if (auto bit = flagBitByName(attrFlagNames(), line)) {
                    attrdef.flags |= *bit;
                }
            } else if (openList.current() == AttrList::syntax) {
                if (auto id = syntaxIdByName(line)) {
                    attrdef.syntax = *id;
                }
            }
        },
        [](AttrDef&) {}, [](ChunkedList<AttrDef>& defs) { return defs.takeInNameOrder(); }, attrDef,
        failure);
}

bool Schema::readSyntaxDefs(TextStreamParser& tsp) {
    enum class SyntaxList { flags };
    OpenList<SyntaxList> openList;
    return readSection(
        tsp, whirly != 0, syntaxSectionHeader, attrSectionHeader, classSectionHeader,
        [](std::string_view line) { return SyntaxDef(std::string(line), 0); },
        [&openList](SyntaxDef& syntaxdef, std::string_view line, std::size_t indent) {
            if (!openList.holds(indent) && namesEqual(line, flagsSubHeader)) {
                openList.open(SyntaxList::flags, indent);
            } else if (openList.current()) {
                if (auto bit = flagBitByName(syntaxFlagNames(), line)) {
                    syntaxdef.flags = static_cast<std::uint16_t>(syntaxdef.flags | *bit);
                }
            }
        },
        [](SyntaxDef&) {}, [](ChunkedList<SyntaxDef>& defs) { return defs.takeInNameOrder(); },
        syntaxDef, failure);
}
