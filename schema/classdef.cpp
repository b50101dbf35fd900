#include "schema/classdef.h"

#include <array>
#include <iostream>
#include <utility>

#include "schema/listingblocks.h"
#include "schema/sectionheaders.h"
#include "toollib/namecompare.h"

namespace {

constexpr std::array<ClassType, 5> listTypes{SUPERCLASSES, CONTAINMENT, NAMEDBY, MANDATORY, OPT};

}  // namespace

const char* classSubHeader(ClassType type) {
    if (type == FLAGS) {
        return flagsSubHeader;
    }
    return classListSubHeaders.at(static_cast<std::size_t>(type));
}

ClassDef::ClassDef(std::string newname, std::uint32_t newflag)
    : name(std::move(newname)), flags(newflag) {}

NameList* ClassDef::list(ClassType type) {
    return const_cast<NameList*>(std::as_const(*this).list(type));
}

const NameList* ClassDef::list(ClassType type) const {
    switch (type) {
        case SUPERCLASSES:
            return &superClasses;
        case CONTAINMENT:
            return &containment;
        case NAMEDBY:
            return &namedBy;
        case MANDATORY:
            return &mandatory;
        case OPT:
            return &optional;
        default:
            return nullptr;
    }
}

void ClassDef::add(ClassType type, std::string_view value) {
    NameList* target = list(type);
    if (target == nullptr) {
        std::cout << "Error occurred adding a class definition!\n";
        return;
    }
    target->Add(value);
}

bool ClassDef::operator==(const ClassDef& b) const {
    return namesEqual(name, b.name);
}

bool ClassDef::operator<(const ClassDef& b) const {
    return compareNames(name, b.name) < 0;
}

std::array<const NameList*, 5> ClassDef::lists() const {
    return {&superClasses, &containment, &namedBy, &mandatory, &optional};
}

void ClassDef::print(std::ostream& os) const {
    std::string& block = blockBuffer();
    block += name;
    block += '\n';
    writeFlagBlock(block, classFlagNames(), flags);
    for (ClassType type : listTypes) {
        writeListBlock(block, classSubHeader(type), *list(type));
    }
    writeBlock(os, block);
}

void ClassDef::print() const {
    print(std::cout);
}

bool ClassDef::isDifferent(const ClassDef& b, ClassDef& newclass) const {
    if (*this != b) {
        std::cout << "Cannot compare class definitions of different names.\n";
        return false;
    }
    bool dflag = false;
    const std::uint32_t extraFlags = flags & ~b.flags;
    if (extraFlags != 0) {
        newclass.add(extraFlags);
        dflag = true;
    }
    for (ClassType type : listTypes) {
        list(type)->forEachNotIn(*b.list(type), [&](std::string_view member) {
            newclass.add(type, member);
            dflag = true;
        });
    }
    return dflag;
}

std::ostream& operator<<(std::ostream& os, const ClassDef& classdef) {
    return os << classdef.name;
}
