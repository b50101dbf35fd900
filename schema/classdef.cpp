#include "schema/classdef.h"

#include <array>
#include <iostream>
#include <utility>

#include "schema/listingblocks.h"
#include "toollib/namecompare.h"

namespace {

constexpr std::array<const char*, 6> subHeaders{
    "Super Class",          "Containment",         "Named By",
    "Mandatory Attributes", "Optional Attributes", "Flags",
};

constexpr std::array<ClassType, 5> listTypes{SUPERCLASSES, CONTAINMENT, NAMEDBY, MANDATORY, OPT};

}  // namespace

const char* classSubHeader(ClassType type) {
    return subHeaders.at(static_cast<std::size_t>(type));
}

ClassDef::ClassDef(std::string newname, std::uint32_t newflag)
    : name(std::move(newname)), flags(newflag) {}

ExtendedArray<std::string>* ClassDef::list(ClassType type) {
    return const_cast<ExtendedArray<std::string>*>(std::as_const(*this).list(type));
}

const ExtendedArray<std::string>* ClassDef::list(ClassType type) const {
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
    ExtendedArray<std::string>* target = list(type);
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

void ClassDef::prefetch() const {
    for (ClassType type : listTypes) {
        list(type)->prefetch();
    }
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
        const ExtendedArray<std::string>& others = *b.list(type);
        if (list(type)->sameBytes(others)) {
            continue;
        }
        std::size_t cursor = 0;  // both lists are in name order
        for (const std::string_view member : *list(type)) {
            if (others.FindInOrder(member, cursor) == ExtendedArray<std::string>::notFound) {
                newclass.add(type, member);
                dflag = true;
            }
        }
    }
    return dflag;
}

std::ostream& operator<<(std::ostream& os, const ClassDef& classdef) {
    return os << classdef.name;
}
