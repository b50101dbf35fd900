#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "schema/attrdef.h"
#include "schema/classdef.h"
#include "schema/syntaxdef.h"
#include "support/capture.h"

namespace {

template <class Def>
std::string printed(const Def& def) {
    StreamCapture out(std::cout);
    def.print();
    return out.text();
}

// A class with one member in each of its five lists.
ClassDef fullClass(const std::string& name, std::uint32_t flags) {
    ClassDef def(name, flags);
    def.add(SUPERCLASSES, "Top");
    def.add(CONTAINMENT, "Organization");
    def.add(NAMEDBY, "CN");
    def.add(MANDATORY, "Surname");
    def.add(OPT, "Title");
    return def;
}

}  // namespace

TEST(Definitions, NamesDecideEqualityAndOrderWithoutRegardToCase) {
    ClassDef top("Top", 0x01);
    top.add(MANDATORY, "Object Class");
    const ClassDef upper("TOP", 0x1F);
    EXPECT_TRUE(top == upper);
    EXPECT_FALSE(top != upper);
    EXPECT_FALSE(top < upper);
    EXPECT_FALSE(upper < top);
    EXPECT_TRUE(ClassDef("AB", 0) < ClassDef("A_B", 0));  // '_' is above every capital
    EXPECT_TRUE(ClassDef("Alias", 0) < ClassDef("ALIASES", 0));
    EXPECT_TRUE(ClassDef("Alias", 0) != ClassDef("ALIASES", 0));

    EXPECT_TRUE(AttrDef(3, 0x01, "Surname") == AttrDef("SURNAME"));
    EXPECT_FALSE(AttrDef("surname") < AttrDef("SURNAME"));
    EXPECT_TRUE(AttrDef("cn") < AttrDef("CO"));
    EXPECT_TRUE(SyntaxDef("Case Ignore", 0x10) == SyntaxDef("CASE IGNORE", 0));
    EXPECT_TRUE(SyntaxDef("Boolean", 0) < SyntaxDef("case ignore", 0));
    EXPECT_TRUE(SyntaxDef("Boolean", 0) != SyntaxDef("Booleans", 0));

    std::ostringstream os;
    os << top << '|' << AttrDef("cn") << '|' << SyntaxDef("Boolean", 2);
    EXPECT_EQ(os.str(), "Top|cn|Boolean");
}

TEST(ClassDef, AddFillsTheSelectedListInOrderAndReplacesFlags) {
    ClassDef def("Gadget", 0);
    def.add(CONTAINMENT, "b");
    def.add(CONTAINMENT, "A");
    def.add(CONTAINMENT, "a");
    EXPECT_EQ(std::vector<std::string>(def.containment.begin(), def.containment.end()),
              (std::vector<std::string>{"A", "a", "b"}));
    EXPECT_EQ(def.superClasses.count() + def.namedBy.count() + def.mandatory.count() +
                  def.optional.count(),
              0u);

    def.add(0x01);
    def.add(0x04);
    EXPECT_EQ(def.flags, 0x04u);

    EXPECT_EQ(printed(fullClass("Person", 0)),
              "Person\n"
              "\tSuper Class\n\t\tTop\n"
              "\tContainment\n\t\tOrganization\n"
              "\tNamed By\n\t\tCN\n"
              "\tMandatory Attributes\n\t\tSurname\n"
              "\tOptional Attributes\n\t\tTitle\n");
}

TEST(ClassDef, AddingUnderFlagsReportsAnErrorAndChangesNothing) {
    ClassDef def = fullClass("Person", 0x03);
    const std::string before = printed(def);
    StreamCapture out(std::cout);
    def.add(FLAGS, "DS_CONTAINER_CLASS");
    def.add(static_cast<ClassType>(6), "Extra");
    EXPECT_EQ(out.text(),
              "Error occurred adding a class definition!\n"
              "Error occurred adding a class definition!\n");
    EXPECT_EQ(def.flags, 0x03u);
    EXPECT_EQ(def.superClasses.count() + def.containment.count() + def.namedBy.count() +
                  def.mandatory.count() + def.optional.count(),
              5u);
    EXPECT_EQ(printed(def), before);
}

TEST(AttrDef, NoSyntaxUntilOneIsSetAndSettersReplace) {
    const AttrDef none;
    EXPECT_EQ(none.syntax, 0xFFFFFFFFu);
    EXPECT_EQ(none.flags, 0u);
    EXPECT_TRUE(none.name.empty());

    AttrDef cn("CN");
    EXPECT_EQ(cn.syntax, 0xFFFFFFFFu);
    EXPECT_EQ(cn.flags, 0u);
    EXPECT_EQ(printed(cn), "CN\n");
    cn.addSyntax(0);
    EXPECT_EQ(cn.syntax, 0u);
    EXPECT_EQ(printed(cn), "CN\n\tSyntax\n\t\tSYN_UNKNOWN\n");
    cn.addFlags(0x01);
    cn.addFlags(0x08);
    EXPECT_EQ(cn.flags, 0x08u);

    const AttrDef full(9, 0x41, "Photo");  // syntax, flags, name
    EXPECT_EQ(full.name, "Photo");
    EXPECT_EQ(full.flags, 0x41u);
    EXPECT_EQ(full.syntax, 9u);
}

TEST(Definitions, CopiesKeepUnnamedBitsAndShareNothingWithTheirSource) {
    ClassDef cls = fullClass("Person", 0x80000020);
    ClassDef clsCopy = cls;
    clsCopy.add(MANDATORY, "Given Name");
    clsCopy.name = "Other";
    EXPECT_EQ(clsCopy.flags, 0x80000020u);
    EXPECT_EQ(cls.mandatory.count(), 1u);
    EXPECT_EQ(cls.name, "Person");

    AttrDef attr(5, 0x800, "Phone");
    AttrDef attrCopy;
    attrCopy = attr;
    attr.addSyntax(6);
    EXPECT_EQ(attrCopy.flags, 0x800u);
    EXPECT_EQ(attrCopy.syntax, 5u);

    SyntaxDef syn("Stream", 0x8400);
    const SyntaxDef synCopy = syn;
    syn.add(0);
    EXPECT_EQ(synCopy.flags, 0x8400u);
    EXPECT_EQ(synCopy.name, "Stream");
}

TEST(ClassDifference, RecordsOnlyTheFlagsAndMembersThatTheOtherClassLacks) {
    const ClassDef a = fullClass("Person", 0x01);
    ClassDef same = fullClass("PERSON", 0x01);
    ClassDef record("Person", 0);
    EXPECT_FALSE(a.isDifferent(same, record));
    EXPECT_EQ(printed(record), "Person\n");

    ClassDef more("person", 0x23);  // adds DS_EFFECTIVE_CLASS and the unnamed bit 0x20
    more.add(SUPERCLASSES, "TOP");
    more.add(CONTAINMENT, "organization");
    more.add(NAMEDBY, "cn");
    more.add(OPT, "Surname");
    more.add(OPT, "title");
    EXPECT_FALSE(a.isDifferent(more, record) && false);
    ClassDef forA("Person", 0);
    EXPECT_TRUE(a.isDifferent(more, forA));
    EXPECT_EQ(forA.flags, 0u);
    EXPECT_EQ(printed(forA), "Person\n\tMandatory Attributes\n\t\tSurname\n");

    ClassDef forMore("person", 0);
    EXPECT_TRUE(more.isDifferent(a, forMore));
    EXPECT_EQ(forMore.flags, 0x22u);
    EXPECT_EQ(printed(forMore),
              "person\n\tFlags\n\t\tDS_EFFECTIVE_CLASS\n\tOptional Attributes\n\t\tSurname\n");

    ClassDef onlyUnnamed("Person", 0x21);
    ClassDef forUnnamed("Person", 0);
    EXPECT_TRUE(onlyUnnamed.isDifferent(ClassDef("Person", 0x01), forUnnamed));
    EXPECT_EQ(forUnnamed.flags, 0x20u);
    EXPECT_EQ(printed(forUnnamed), "Person\n\tFlags\n");
}

TEST(AttrDifference, FlagsAreOneSidedAndASyntaxDifferenceShowsInBothDirections) {
    const AttrDef single(3, 0x01, "Color");
    const AttrDef more(3, 0x41, "COLOR");
    AttrDef record("Color");
    EXPECT_FALSE(single.isDifferent(more, record));
    EXPECT_EQ(printed(record), "Color\n");
    EXPECT_TRUE(more.isDifferent(single, record));
    EXPECT_EQ(printed(record), "Color\n\tFlags\n\t\tDS_SYNC_IMMEDIATE\n");

    const AttrDef integer(8, 0x01, "Color");
    AttrDef forString("Color");
    AttrDef forInteger("Color");
    EXPECT_TRUE(single.isDifferent(integer, forString));
    EXPECT_TRUE(integer.isDifferent(single, forInteger));
    EXPECT_EQ(printed(forString), "Color\n\tSyntax\n\t\tSYN_CI_STRING\n");
    EXPECT_EQ(printed(forInteger), "Color\n\tSyntax\n\t\tSYN_INTEGER\n");

    const AttrDef noSyntax(0xFFFFFFFF, 0x05, "Color");
    AttrDef forNone("Color");
    AttrDef forSome("Color");
    EXPECT_TRUE(noSyntax.isDifferent(single, forNone));
    EXPECT_EQ(forNone.syntax, 0xFFFFFFFFu);
    EXPECT_EQ(printed(forNone), "Color\n\tFlags\n\t\tDS_NONREMOVABLE_ATTR\n");
    EXPECT_TRUE(single.isDifferent(noSyntax, forSome));
    EXPECT_EQ(printed(forSome), "Color\n\tSyntax\n\t\tSYN_CI_STRING\n");
}

TEST(SyntaxDifference, RecordsTheExtraFlagsOverSixteenBits) {
    const SyntaxDef a("Case Ignore", 0x8011);
    SyntaxDef record("Case Ignore", 0);
    EXPECT_FALSE(a.isDifferent(SyntaxDef("CASE IGNORE", 0xFFFF), record));
    EXPECT_EQ(record.flags, 0u);
    EXPECT_TRUE(a.isDifferent(SyntaxDef("case ignore", 0x0001), record));
    EXPECT_EQ(record.flags, 0x8010u);
    EXPECT_EQ(printed(record), "Case Ignore\n\tFlags\n\t\tDS_IGNORE_CASE\n");
}

TEST(Difference, DefinitionsOfDifferentNamesAreNotCompared) {
    StreamCapture out(std::cout);
    ClassDef classRecord("Queue", 0x02);
    classRecord.add(OPT, "Kept");
    EXPECT_FALSE(fullClass("Queue", 0x1F).isDifferent(ClassDef("Printer", 0), classRecord));
    AttrDef attrRecord(7, 0x04, "Color");
    EXPECT_FALSE(AttrDef(3, 1, "Color").isDifferent(AttrDef("Colour"), attrRecord));
    SyntaxDef syntaxRecord("Stream", 0x01);
    EXPECT_FALSE(SyntaxDef("Stream", 0xFF).isDifferent(SyntaxDef("Streams", 0), syntaxRecord));
    EXPECT_EQ(out.text(),
              "Cannot compare class definitions of different names.\n"
              "Cannot compare attribute definitions of different names.\n"
              "Cannot compare syntax definitions of different names.\n");

    EXPECT_EQ(classRecord.flags, 0x02u);
    EXPECT_EQ(classRecord.superClasses.count() + classRecord.containment.count() +
                  classRecord.namedBy.count() + classRecord.mandatory.count(),
              0u);
    EXPECT_EQ(classRecord.optional.count(), 1u);
    EXPECT_EQ(attrRecord.flags, 0x04u);
    EXPECT_EQ(attrRecord.syntax, 7u);
    EXPECT_EQ(syntaxRecord.flags, 0x01u);
}
