#pragma once

// Reading one section of a reference file, whatever kind of definition it
// holds: the frame that the three reference-file readers share.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "schema/chunkedlist.h"
#include "schema/extendedarray.h"
#include "schema/readresult.h"
#include "schema/sectioncache.h"
#include "schema/sectionheaders.h"
#include "toollib/namecompare.h"
#include "toollib/progress.h"
#include "toollib/txtparse/textstreamparser.h"

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

// Where one section goes: the collection it is added to, whether the
// spinner turns once per definition, and the sections kept from files read
// before, if the caller keeps any.
template <class Def>
struct SectionTarget {
    ExtendedArray<Def>& collection;
    bool whirly;
    SectionCache<Def>* cache;
};

// A `Kind` reads the lines of one kind of definition:
//   using Def;                     the definition it makes
//   static const char* header;     its section header
//   static const char* stops[2];   the other two, which end its section
//   Def makeDef(std::string_view nameLine);
//   void readSubLine(Def&, std::string_view line, std::size_t indent);
//   void completeDef(Def&);        after the definition's last sub-line
//   std::vector<Def> completeAll(ChunkedList<Def>&);
//                                  the definitions in name order, equal
//                                  names in file order

namespace sectionreader {

// The headers the parser remembers as it passes them: each reader reads
// from the top of the file to its header, and together they read the file
// once.
inline const std::vector<std::string>& sectionHeaders() {
    static const std::vector<std::string> headers{classSectionHeader, attrSectionHeader,
                                                  syntaxSectionHeader};
    return headers;
}

// True when the current line ends the section: an indented line where a
// name is due, or another section's header.
template <class Kind>
bool endsSection(const TextStreamParser& tsp) {
    return tsp.wasWhite || namesEqual(tsp.lineView(), Kind::stops[0]) ||
           namesEqual(tsp.lineView(), Kind::stops[1]);
}

// Reads one definition from its name line on into `gathered`; false when
// the file ends with it. A name line that ends the file is a whole
// definition: a listing whose last definition has no sub-lines must read
// back complete.
template <class Kind>
bool readDefinition(TextStreamParser& tsp, Kind& kind, ChunkedList<typename Kind::Def>& gathered) {
    typename Kind::Def def = kind.makeDef(tsp.lineView());
    bool more = tsp.nextLine();
    while (more && tsp.wasWhite) {
        kind.readSubLine(def, tsp.lineView(), tsp.indent);
        more = tsp.nextLine();
    }
    kind.completeDef(def);
    gathered.push_back(std::move(def));
    return more;
}

// Reads the section of `Kind` into `gathered`, in file order. Definitions
// are gathered first and sorted in at the end, so that a huge file in no
// particular order does not cost quadratic time.
template <class Kind>
ReadResult readDefinitions(TextStreamParser& tsp, Kind& kind, bool whirly,
                           ChunkedList<typename Kind::Def>& gathered) {
    tsp.rememberLines(sectionHeaders());
    tsp.rewind();
    if (!tsp.getLine(Kind::header)) {
        return ReadResult::failed(std::string("no \"") + Kind::header + "\" section");
    }
    if (!tsp.nextLine()) {
        return ReadResult::failed(std::string("nothing follows the \"") + Kind::header +
                                  "\" header");
    }
    while (!endsSection<Kind>(tsp)) {
        if (whirly) {
            whirlyGig();
        }
        if (!readDefinition(tsp, kind, gathered)) {
            break;
        }
    }
    return ReadResult::succeeded();
}

// Adds a section read before to `target`; the spinner turns as often as
// reading the file would turn it.
template <class Def>
ReadResult addKept(const typename SectionCache<Def>::Section& held,
                   const SectionTarget<Def>& target) {
    for (std::size_t k = 0; target.whirly && k < held.defs.size(); ++k) {
        whirlyGig();
    }
    if (held.result.ok) {
        target.collection.AddAll(held.defs);
    }
    return held.result;
}

// Reads the section of `Kind` from `tsp` into `target`, or takes it from
// the target's cache when the file was read before. What is read before a
// failure is not added.
template <class Kind>
ReadResult readSection(TextStreamParser& tsp, Kind& kind,
                       const SectionTarget<typename Kind::Def>& target) {
    using Def = typename Kind::Def;
    std::optional<SpinnerBatch> spinning;
    if (target.whirly) {
        spinning.emplace();
    }
    std::optional<FileIdentity> id;
    if (target.cache && tsp.hasDefaultRules()) {
        id = tsp.identity();
    }
    if (id) {
        if (const typename SectionCache<Def>::Section* held = target.cache->find(*id)) {
            return addKept(*held, target);
        }
    }
    const bool keep = id && target.cache->worthKeeping(*id);
    ChunkedList<Def> gathered;
    ReadResult result = readDefinitions(tsp, kind, target.whirly, gathered);
    std::vector<Def> read = kind.completeAll(gathered);
    if (keep) {
        target.cache->keep(*id, {result, read});
    }
    if (result.ok) {
        target.collection.AddAll(std::move(read));
    }
    return result;
}

}  // namespace sectionreader
