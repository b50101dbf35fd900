#include "schema/extendedarray.h"

#include <gtest/gtest.h>

#include <string>

#include "schema/attrdef.h"
#include "schema/classdef.h"
#include "schema/namelist.h"
#include "schema/schema.h"

namespace {

constexpr std::size_t notFound = static_cast<std::size_t>(-1);

std::string_view nameOf(std::string_view name) {
    return name;
}
std::string_view nameOf(const AttrDef& def) {
    return def.name;
}

// The elements' names in array order, each followed by a comma.
template <class Array>
std::string joined(const Array& array) {
    std::string text;
    for (const auto& element : array) {
        text += std::string(nameOf(element)) + ",";
    }
    return text;
}

NameList listOf(std::initializer_list<const char*> names) {
    NameList list;
    for (const char* n : names) {
        list.Add(n);
    }
    return list;
}

}  // namespace

TEST(ExtendedArray, KeepsAscendingOrderAndPutsLaterEqualNamesAfterEarlierOnes) {
    ExtendedArray<AttrDef> attrs;
    EXPECT_TRUE(attrs.Add(AttrDef("cn")));
    EXPECT_TRUE(attrs.Add(AttrDef("CN")));
    EXPECT_TRUE(attrs.Add(AttrDef("Age")));
    EXPECT_EQ(joined(attrs), "Age,cn,CN,");

    NameList names = listOf({"b", "A", "zeta", "a", "B", "A_B", "AB", "Ab"});
    EXPECT_EQ(joined(names), "A,a,AB,Ab,A_B,b,B,zeta,");
}

TEST(ExtendedArray, FindReturnsTheEqualElementThatTheHalvingMeetsFirst) {
    ExtendedArray<AttrDef> attrs;
    EXPECT_EQ(attrs.Find(AttrDef("cn")), notFound);
    attrs.Add(AttrDef("cn"));
    EXPECT_EQ(attrs.Find(AttrDef("CN")), 0u);
    EXPECT_EQ(attrs.Find(AttrDef("c")), notFound);
    attrs.Add(AttrDef("CN"));
    EXPECT_EQ(attrs.Find(AttrDef("Age")), notFound);  // the halving steps below the first element
    attrs.Add(AttrDef("Age"));
    EXPECT_EQ(attrs.Find(AttrDef("Cn")), 1u);
    EXPECT_EQ(attrs.Find(AttrDef("AGE")), 0u);
    EXPECT_EQ(attrs.Find(AttrDef("zz")), notFound);
    EXPECT_EQ(attrs.Find(AttrDef("A")), notFound);

    // a, c, C, C, d: the middle element is met first, not the first equal one.
    NameList names = listOf({"d", "a", "c", "C", "C"});
    EXPECT_EQ(names.Find("c"), 2u);
    EXPECT_EQ(names.Find("D"), 4u);
    EXPECT_EQ(names.Find("b"), notFound);
}

TEST(ExtendedArray, DefinitionArraysAreEqualWhenTheyHoldTheSameNamesInTheSameOrder) {
    ExtendedArray<ClassDef> a;
    ExtendedArray<ClassDef> b;
    a.Add(ClassDef("Top", 0x01));
    a.Add(ClassDef("Device", 0));
    b.Add(ClassDef("DEVICE", 0x1F));
    ClassDef top("top", 0x04);
    top.add(MANDATORY, "cn");
    b.Add(top);
    EXPECT_TRUE(a == b && !(a != b));
    b.Add(ClassDef("TOP", 0));
    EXPECT_TRUE(!(a == b) && !(b == a) && a != b);

    ExtendedArray<ClassDef> other;
    other.Add(ClassDef("Top", 0x01));
    other.Add(ClassDef("Devices", 0));
    EXPECT_FALSE(a == other);
    EXPECT_TRUE(ExtendedArray<ClassDef>() == ExtendedArray<ClassDef>());
}

TEST(ExtendedArray, NameListsCompareWithoutRegardToCase) {
    EXPECT_TRUE(listOf({"Top", "mail"}) == listOf({"MAIL", "top"}));
    EXPECT_FALSE(listOf({"Top", "mail"}) == listOf({"MAIL", "top", "Top"}));
    EXPECT_FALSE(listOf({"Top"}) == listOf({"Tops"}));
    EXPECT_EQ(listOf({"Top", "mail"}).Find("TOP"), 1u);
}

TEST(Schema, ComparesByNameOnlyAndStartsWithProgressOn) {
    Schema a;
    EXPECT_TRUE(a.whirly == 1 && a.name.empty());
    EXPECT_EQ(a.classDef.count() + a.attrDef.count() + a.syntaxDef.count(), 0u);

    a.name = "srv1";
    a.classDef.Add(ClassDef("Top", 0));
    Schema b("SRV1");
    b.attrDef.Add(AttrDef("cn"));
    EXPECT_TRUE(a == b && !(a != b) && !(a < b) && !(b < a));
    EXPECT_EQ(a.whirly, 1);
    b.name = "srv2";
    EXPECT_TRUE(a != b && a < b && !(b < a));
}
