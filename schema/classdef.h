#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

#include "schema/namelist.h"

// Selects the list of a ClassDef that a name goes to. The values 0 to 4 are
// also the order in which the five lists are read and written; FLAGS names
// the flags sub-section of a reference file and has no list.
enum ClassType {
    SUPERCLASSES = 0,
    CONTAINMENT = 1,
    NAMEDBY = 2,
    MANDATORY = 3,
    OPT = 4,
    FLAGS = 5
};

// One object-class definition, identified and ordered by its name alone.
class ClassDef {
  public:
    ClassDef() = default;
    ClassDef(std::string newname, std::uint32_t newflag);

    // Replaces the flags (no bitwise OR).
    void add(std::uint32_t newflags) { flags = newflags; }
    // Inserts `value` in order into the list that `type` selects. Any other
    // type adds nothing and writes "Error occurred adding a class definition!".
    void add(ClassType type, std::string_view value);

    // The list that `type` selects, or nullptr for a type without a list.
    NameList* list(ClassType type);
    const NameList* list(ClassType type) const;
    // The five lists, in the order of their types.
    std::array<const NameList*, 5> lists() const;

    bool operator==(const ClassDef& b) const;
    bool operator!=(const ClassDef& b) const { return !(*this == b); }
    bool operator<(const ClassDef& b) const;

    // Writes the class block of a schema listing.
    void print(std::ostream& os) const;
    void print() const;

    // Records in `newclass` the flag bits and list members that this class has
    // and `b` lacks; true when anything was recorded. Definitions of different
    // names are not compared: a message is written and the result is false.
    bool isDifferent(const ClassDef& b, ClassDef& newclass) const;

    std::string name;
    std::uint32_t flags = 0;
    NameList superClasses;
    NameList containment;
    NameList namedBy;
    NameList mandatory;
    NameList optional;
};

// Writes the class's name only, with no line end.
std::ostream& operator<<(std::ostream& os, const ClassDef& classdef);

// The sub-header under which the list of `type` is written ("Super Class",
// ...) or, for FLAGS, "Flags"; the reader matches them without regard to case.
const char* classSubHeader(ClassType type);
