#pragma once

#include <cstdint>
#include <iostream>
#include <string>

#include "schema/attrdef.h"
#include "schema/classdef.h"
#include "schema/extendedarray.h"
#include "schema/syntaxdef.h"

class DSContext;
class ReferenceFileCache;
class TextStreamParser;

// The kinds of definition that a run reads and lists.
struct SelectedKinds {
    bool classes = true;
    bool attributes = true;
    bool syntaxes = true;
};

// One whole directory schema: the class, attribute and syntax definitions of
// one source, each kind in its own sorted collection.
class Schema {
  public:
    Schema() = default;
    explicit Schema(std::string schemaName) : name(std::move(schemaName)) {}

    // Schemas compare by name only.
    bool operator==(const Schema& b) const;
    bool operator!=(const Schema& b) const { return !(*this == b); }
    bool operator<(const Schema& b) const;

    // Writes each non-empty kind after a blank line and its header, or the
    // single line "\tNONE" when all are empty: the difference sections of a
    // report.
    void write(std::ostream& stream) const;
    // Writes the listing of the `selected` kinds, which must read back as a
    // reference file: as above, but a selected kind without definitions is
    // its header and the line "\tNONE" when another selected kind has some,
    // so that each of its readers finds its section. Kinds not selected are
    // left out.
    void write(std::ostream& stream, const SelectedKinds& selected) const;

    // Read one section of a schema reference file (the listing layout). Each
    // rewinds the parser first, so they may be called in any order. False when
    // the section header is missing or is the last line of the file; the
    // definitions read before a failure stay in the schema.
    bool readClassDefs(TextStreamParser& tsp);
    bool readAttrDefs(TextStreamParser& tsp);
    bool readSyntaxDefs(TextStreamParser& tsp);
    // Why the last reader of this schema that returned false failed: from a
    // file, "no \"Class Definitions\" section" or "nothing follows the
    // \"Class Definitions\" header"; from a server, the library's own text
    // or else the line written. Empty when none failed.
    const std::string& readFailure() const { return failure; }
    // The file readers take a section from `cache` when its file was read
    // before, and keep what they read there; nullptr (the default) reads
    // every file anew. The cache must outlive the reading.
    void setFileCache(ReferenceFileCache* cache) { fileCache = cache; }

    // Read every definition of one kind from the directory server of
    // `connHandle`, through `dsContext`, which the caller has directed to that
    // connection. 1 on success; 0 after any failure, with one line on standard
    // output that says which (a library call and its code, or an answer from
    // another server than the one asked). The definitions read before a
    // failure stay in the schema.
    int readClassDefs(std::uint32_t connHandle, DSContext& dsContext);
    int readAttrDefs(std::uint32_t connHandle, DSContext& dsContext);
    int readSyntaxDefs(std::uint32_t connHandle, DSContext& dsContext);

    // Writes the difference report of this schema against `b` and returns 1
    // when it lists any unique or differing definition, else 0.
    int compare(const Schema& b, std::ostream& os = std::cout) const;

    std::uint8_t whirly = 1;  // turn the spinner once per definition read
    std::string name;
    ExtendedArray<ClassDef> classDef;
    ExtendedArray<AttrDef> attrDef;
    ExtendedArray<SyntaxDef> syntaxDef;

  private:
    std::string failure;
    ReferenceFileCache* fileCache = nullptr;
};
