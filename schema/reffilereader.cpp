// The three readers of a schema reference file: each finds its own section
// and reads definition name lines and their indented sub-lines.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "schema/classmembers.h"
#include "schema/flagnames.h"
#include "schema/referencefilecache.h"
#include "schema/schema.h"
#include "schema/sectionreader.h"

namespace {

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

// The lines of the class section.
class ClassSection {
  public:
    using Def = ClassDef;
    static constexpr const char* header = classSectionHeader;
    static constexpr std::array<const char*, 2> stops{attrSectionHeader, syntaxSectionHeader};

    static ClassDef makeDef(std::string_view line) { return {std::string(line), 0}; }

    void readSubLine(ClassDef& classdef, std::string_view line, std::size_t indent) {
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
    }

    void completeDef(ClassDef& classdef) { members.endClass(classdef); }

    std::vector<ClassDef> completeAll(ChunkedList<ClassDef>& classes) {
        return members.placeInOrder(classes);
    }

  private:
    // Members seen before the section's first sub-header have no list and
    // are passed over.
    OpenList<ClassType> openList;
    // Each list of a class in one piece, after the classes are in order:
    // the same lists as adding members one by one, without growing each
    // list member by member.
    ClassMembers members;
};

// The lines of the attribute section.
class AttrSection {
  public:
    using Def = AttrDef;
    static constexpr const char* header = attrSectionHeader;
    static constexpr std::array<const char*, 2> stops{classSectionHeader, syntaxSectionHeader};

    static AttrDef makeDef(std::string_view line) { return AttrDef(std::string(line)); }

    void readSubLine(AttrDef& attrdef, std::string_view line, std::size_t indent) {
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
    }

    static void completeDef(AttrDef&) {}

    static std::vector<AttrDef> completeAll(ChunkedList<AttrDef>& defs) {
        return defs.takeInNameOrder();
    }

  private:
    enum class AttrList { flags, syntax };
    OpenList<AttrList> openList;
};

// The lines of the syntax section.
class SyntaxSection {
  public:
    using Def = SyntaxDef;
    static constexpr const char* header = syntaxSectionHeader;
    static constexpr std::array<const char*, 2> stops{attrSectionHeader, classSectionHeader};

    static SyntaxDef makeDef(std::string_view line) { return {std::string(line), 0}; }

    void readSubLine(SyntaxDef& syntaxdef, std::string_view line, std::size_t indent) {
        if (!openList.holds(indent) && namesEqual(line, flagsSubHeader)) {
            openList.open(SyntaxList::flags, indent);
        } else if (openList.current()) {
            if (auto bit = flagBitByName(syntaxFlagNames(), line)) {
                syntaxdef.flags = static_cast<std::uint16_t>(syntaxdef.flags | *bit);
            }
        }
    }

    static void completeDef(SyntaxDef&) {}

    static std::vector<SyntaxDef> completeAll(ChunkedList<SyntaxDef>& defs) {
        return defs.takeInNameOrder();
    }

  private:
    enum class SyntaxList { flags };
    OpenList<SyntaxList> openList;
};

// Reads the section of `Kind` from `tsp` into `collection`, keeping why it
// failed in `failure`; the result of a reader.
template <class Kind>
bool readKind(TextStreamParser& tsp, const Schema& schema, ReferenceFileCache* cache,
              ExtendedArray<typename Kind::Def>& collection, std::string& failure) {
    Kind kind;
    SectionCache<typename Kind::Def>* sections =
        cache ? &cache->sections<typename Kind::Def>() : nullptr;
    ReadResult result =
        sectionreader::readSection(tsp, kind, {collection, schema.whirly != 0, sections});
    if (!result.ok) {
        failure = std::move(result.failure);
    }
    return result.ok;
}

}  // namespace

bool Schema::readClassDefs(TextStreamParser& tsp) {
    return readKind<ClassSection>(tsp, *this, fileCache, classDef, failure);
}

bool Schema::readAttrDefs(TextStreamParser& tsp) {
    return readKind<AttrSection>(tsp, *this, fileCache, attrDef, failure);
}

bool Schema::readSyntaxDefs(TextStreamParser& tsp) {
    return readKind<SyntaxSection>(tsp, *this, fileCache, syntaxDef, failure);
}
