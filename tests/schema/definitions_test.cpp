#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "dscontext/dsclient.h"
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
    const ClassDef top = fullClass("Top", 0x01);
    const ClassDef upper("TOP", 0x1F);
    EXPECT_TRUE(top == upper && !(top != upper) && !(top < upper) && !(upper < top));
    EXPECT_TRUE(ClassDef("AB", 0) < ClassDef("A_B", 0));  // '_' is above every capital
    EXPECT_TRUE(ClassDef("Alias", 0) < ClassDef("ALIASES", 0));
    EXPECT_TRUE(ClassDef("Alias", 0) != ClassDef("ALIASES", 0));

    EXPECT_TRUE(AttrDef(3, DS_SINGLE_VALUED_ATTR, "Surname") == AttrDef("SURNAME"));
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
    def.add(0x01);
    def.add(0x04);
    EXPECT_EQ(printed(def),
              "Gadget\n\tFlags\n\t\tDS_NONREMOVABLE_CLASS\n\tContainment\n\t\tA\n\t\ta\n\t\tb\n");

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
    EXPECT_EQ(printed(def), before);
}

TEST(AttrDef, NoSyntaxUntilOneIsSetAndSettersReplace) {
    const AttrDef none;
    EXPECT_TRUE(none.syntax == 0xFFFFFFFFu && none.flags == 0 && none.name.empty());
    AttrDef cn("CN");
    EXPECT_EQ(printed(cn), "CN\n");
    cn.addSyntax(0);
    cn.addFlags(0x01);
    cn.addFlags(0x08);
    EXPECT_EQ(printed(cn), "CN\n\tFlags\n\t\tDS_READ_ONLY_ATTR\n\tSyntax\n\t\tSYN_UNKNOWN\n");

    const AttrDef full(9, 0x41, "Photo");  // syntax, flags, name
    EXPECT_TRUE(full.name == "Photo" && full.flags == 0x41 && full.syntax == 9);
}

TEST(Definitions, CopiesKeepUnnamedBitsAndShareNothingWithTheirSource) {
    ClassDef cls = fullClass("Person", 0x80000040);
    ClassDef clsCopy = cls;
    clsCopy.add(MANDATORY, "Given Name");
    clsCopy.name = "Other";
    EXPECT_EQ(clsCopy.flags, 0x80000040u);
    EXPECT_EQ(printed(cls), printed(fullClass("Person", 0x40)));

    AttrDef attr(5, 0x800, "Phone");
    AttrDef attrCopy;
    attrCopy = attr;
    attr.addSyntax(6);
    EXPECT_TRUE(attrCopy.flags == 0x800 && attrCopy.syntax == 5);

    SyntaxDef syn("Stream", 0x8400);
    const SyntaxDef synCopy = syn;
    syn.add(0);
    EXPECT_TRUE(synCopy.flags == 0x8400 && synCopy.name == "Stream");
}

TEST(ClassDefDifference, RecordsOnlyTheFlagsAndMembersThatTheOtherClassLacks) {
    const ClassDef a = fullClass("Person", 0x01);
    ClassDef same = fullClass("PERSON", 0x01);
    ClassDef record("Person", 0);
    EXPECT_FALSE(a.isDifferent(same, record));
    EXPECT_EQ(printed(record), "Person\n");

    ClassDef more("person", 0x43);  // adds DS_EFFECTIVE_CLASS and the unnamed bit 0x40
    more.add(SUPERCLASSES, "TOP");
    more.add(CONTAINMENT, "organization");
    more.add(NAMEDBY, "cn");
    more.add(OPT, "Surname");
    more.add(OPT, "title");
    ClassDef forA("Person", 0);
    EXPECT_TRUE(a.isDifferent(more, forA));
    EXPECT_EQ(printed(forA), "Person\n\tMandatory Attributes\n\t\tSurname\n");

    ClassDef forMore("person", 0);
    EXPECT_TRUE(more.isDifferent(a, forMore));
    EXPECT_EQ(forMore.flags, 0x42u);
    EXPECT_EQ(printed(forMore),
              "person\n\tFlags\n\t\tDS_EFFECTIVE_CLASS\n\tOptional Attributes\n\t\tSurname\n");

    ClassDef onlyUnnamed("Person", 0x41);
    ClassDef forUnnamed("Person", 0);
    EXPECT_TRUE(onlyUnnamed.isDifferent(ClassDef("Person", DS_CONTAINER_CLASS), forUnnamed));
    EXPECT_EQ(forUnnamed.flags, 0x40u);
    EXPECT_EQ(printed(forUnnamed), "Person\n\tFlags\n");
}

TEST(AttrDefDifference, FlagsAreOneSidedAndASyntaxDifferenceShowsInBothDirections) {
    const AttrDef single(3, DS_SINGLE_VALUED_ATTR, "Color");
    const AttrDef more(3, 0x41, "COLOR");
    AttrDef record("Color");
    EXPECT_FALSE(single.isDifferent(more, record));
    EXPECT_EQ(printed(record), "Color\n");
    EXPECT_TRUE(more.isDifferent(single, record));
    EXPECT_EQ(printed(record), "Color\n\tFlags\n\t\tDS_SYNC_IMMEDIATE\n");

    const AttrDef integer(8, DS_SINGLE_VALUED_ATTR, "Color");
    AttrDef forString("Color");
    AttrDef forInteger("Color");
    EXPECT_TRUE(single.isDifferent(integer, forString));
    EXPECT_TRUE(integer.isDifferent(single, forInteger));
    EXPECT_EQ(printed(forString), "Color\n\tSyntax\n\t\tSYN_CI_STRING\n");
    EXPECT_EQ(printed(forInteger), "Color\n\tSyntax\n\t\tSYN_INTEGER\n");

    const AttrDef noSyntax(QX_NO_SYNTAX, DS_SINGLE_VALUED_ATTR, "Color");
    AttrDef forNone("Color");
    AttrDef forSome("Color");
    EXPECT_TRUE(noSyntax.isDifferent(single, forNone));
    EXPECT_EQ(forNone.syntax, 0xFFFFFFFFu);
    EXPECT_EQ(printed(forNone), "Color\n");
    EXPECT_TRUE(single.isDifferent(noSyntax, forSome));
    EXPECT_EQ(printed(forSome), "Color\n\tSyntax\n\t\tSYN_CI_STRING\n");
}

TEST(SyntaxDefDifference, RecordsTheExtraFlagsOverSixteenBits) {
    const SyntaxDef a("Case Ignore", 0x8011);
    SyntaxDef record("Case Ignore", 0);
    EXPECT_FALSE(a.isDifferent(SyntaxDef("CASE IGNORE", 0xFFFF), record));
    EXPECT_EQ(record.flags, 0u);
    EXPECT_TRUE(a.isDifferent(SyntaxDef("case ignore", DS_STRING), record));
    EXPECT_EQ(record.flags, 0x8010u);
    EXPECT_EQ(printed(record), "Case Ignore\n\tFlags\n\t\tDS_IGNORE_CASE\n");
}

TEST(DefDifference, DefinitionsOfDifferentNamesAreNotCompared) {
    ClassDef classRecord = fullClass("Queue", 0x02);
    const std::string classBefore = printed(classRecord);
    StreamCapture out(std::cout);
    EXPECT_FALSE(fullClass("Queue", 0x1F).isDifferent(ClassDef("Printer", 0), classRecord));
    AttrDef attrRecord(7, 0x04, "Color");
    EXPECT_FALSE(AttrDef(3, 1, "Color").isDifferent(AttrDef("Colour"), attrRecord));
    SyntaxDef syntaxRecord("Stream", DS_STRING);
    EXPECT_FALSE(SyntaxDef("Stream", 0xFF).isDifferent(SyntaxDef("Streams", 0), syntaxRecord));
    EXPECT_EQ(out.text(),
              "Cannot compare class definitions of different names.\n"
              "Cannot compare attribute definitions of different names.\n"
              "Cannot compare syntax definitions of different names.\n");

    EXPECT_EQ(printed(classRecord), classBefore);
    EXPECT_TRUE(attrRecord.flags == 0x04 && attrRecord.syntax == 7 && syntaxRecord.flags == 0x01);
}
