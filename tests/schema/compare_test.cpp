#include <gtest/gtest.h>

#include <string>

#include "dscontext/dsclient.h"
#include "schema/schema.h"
#include "support/capture.h"
#include "support/listing.h"

namespace {

struct Report {
    int result;
    std::string text;
};

Report compared(const Schema& a, const Schema& b) {
    StreamCapture out(std::cout);
    const int result = a.compare(b);
    return {result, out.text()};
}

ClassDef queue(std::initializer_list<const char*> superClasses) {
    ClassDef def("Queue", DS_CONTAINER_CLASS | DS_EFFECTIVE_CLASS);
    for (const char* name : superClasses) {
        def.add(SUPERCLASSES, name);
    }
    def.add(MANDATORY, "Queue Directory");
    return def;
}

// Classes, attributes and syntaxes that the examples below share.
Schema sample(const std::string& name) {
    Schema schema(name);
    schema.classDef.Add(queue({"Device"}));
    schema.classDef.Add(ClassDef("Top", 0x04));
    schema.attrDef.Add(AttrDef(3, DS_SINGLE_VALUED_ATTR, "Color"));
    schema.attrDef.Add(AttrDef(8, 0x00, "Size"));
    schema.syntaxDef.Add(SyntaxDef("Boolean", 0x0A));
    schema.syntaxDef.Add(SyntaxDef("Case Ignore String", 0x19));
    return schema;
}

const std::string noUniqueDefinitions =
    "\nClasses unique to A\n\tNONE\n"
    "\nClasses unique to B\n\tNONE\n"
    "\nAttributes unique to A\n\tNONE\n"
    "\nAttributes unique to B\n\tNONE\n"
    "\nSyntaxes unique to A\n\tNONE\n"
    "\nSyntaxes unique to B\n\tNONE\n";

}  // namespace

TEST(Compare, IdenticalSchemasReportNoDifference) {
    const Schema a = sample("A");
    const Schema b = sample("B");
    Report report = compared(a, b);
    EXPECT_EQ(report.result, 0);
    EXPECT_EQ(report.text, noUniqueDefinitions +
                               "\nDefinition differences for A\n\tNONE\n"
                               "\nDefinition differences for B\n\tNONE\n");
}

TEST(Compare, ListsUniqueNamesAndWhatEachCommonDefinitionHasInAddition) {
    Schema a = sample("A");
    Schema b = sample("B");
    a.classDef = ExtendedArray<ClassDef>();
    a.classDef.Add(queue({"Device", "Resource"}));
    a.classDef.Add(ClassDef("Top", 0x04));
    a.classDef.Add(ClassDef("Printer", DS_CONTAINER_CLASS));
    a.attrDef = ExtendedArray<AttrDef>();
    a.attrDef.Add(AttrDef(3, 0x41, "Color"));
    a.attrDef.Add(AttrDef(8, 0x00, "Size"));
    const std::string listingA = listing(a);
    const std::string listingB = listing(b);

    Report report = compared(a, b);
    EXPECT_EQ(report.result, 1);
    EXPECT_EQ(report.text,
              "\nClasses unique to A\n\tPrinter\n"
              "\nClasses unique to B\n\tNONE\n"
              "\nAttributes unique to A\n\tNONE\n"
              "\nAttributes unique to B\n\tNONE\n"
              "\nSyntaxes unique to A\n\tNONE\n"
              "\nSyntaxes unique to B\n\tNONE\n"
              "\nDefinition differences for A\n"
              "\nClass Definitions\nQueue\n\tSuper Class\n\t\tResource\n"
              "\nAttribute Definitions\nColor\n\tFlags\n\t\tDS_SYNC_IMMEDIATE\n"
              "\nDefinition differences for B\n\tNONE\n");
    EXPECT_EQ(listing(a), listingA);
    EXPECT_EQ(listing(b), listingB);
}

TEST(Compare, KindsWithoutDefinitionsPrintNoUniqueSection) {
    Schema a("A");
    Schema b("B");
    const std::string differencesNone =
        "\nDefinition differences for A\n\tNONE\n"
        "\nDefinition differences for B\n\tNONE\n";
    EXPECT_EQ(compared(a, b).result, 0);
    EXPECT_EQ(compared(a, b).text, differencesNone);

    // Attributes loaded on both sides, but classes on B's side only.
    a.attrDef.Add(AttrDef("Color"));
    b.attrDef.Add(AttrDef("color"));
    b.classDef.Add(ClassDef("Top", 0));
    b.classDef.Add(ClassDef("Printer", 0));
    Report report = compared(a, b);
    EXPECT_EQ(report.result, 1);
    EXPECT_EQ(report.text,
              "\nClasses unique to B\n\tPrinter\n\tTop\n"
              "\nAttributes unique to A\n\tNONE\n"
              "\nAttributes unique to B\n\tNONE\n" +
                  differencesNone);

    Report reversed = compared(b, a);
    EXPECT_EQ(reversed.result, 1);
    EXPECT_EQ(reversed.text,
              "\nClasses unique to B\n\tPrinter\n\tTop\n"
              "\nAttributes unique to B\n\tNONE\n"
              "\nAttributes unique to A\n\tNONE\n"
              "\nDefinition differences for B\n\tNONE\n"
              "\nDefinition differences for A\n\tNONE\n");
}

TEST(Compare, NamesDifferingOnlyInCaseAreTheSameDefinition) {
    Schema a("A");
    ClassDef printer("Printer", DS_CONTAINER_CLASS);
    printer.add(MANDATORY, "Queue");
    printer.add(MANDATORY, "cn");
    printer.add(OPT, "Location");
    a.classDef.Add(printer);
    a.syntaxDef.Add(SyntaxDef("stream", DS_STRING));
    Schema b("B");
    ClassDef upper("PRINTER", DS_CONTAINER_CLASS | DS_EFFECTIVE_CLASS);
    upper.add(MANDATORY, "CN");
    upper.add(MANDATORY, "QUEUE");
    b.classDef.Add(upper);
    b.syntaxDef.Add(SyntaxDef("STREAM", DS_STRING));

    Report report = compared(a, b);
    EXPECT_EQ(report.result, 1);
    EXPECT_EQ(report.text,
              "\nClasses unique to A\n\tNONE\n"
              "\nClasses unique to B\n\tNONE\n"
              "\nSyntaxes unique to A\n\tNONE\n"
              "\nSyntaxes unique to B\n\tNONE\n"
              "\nDefinition differences for A\n"
              "\nClass Definitions\nPrinter\n\tOptional Attributes\n\t\tLocation\n"
              "\nDefinition differences for B\n"
              "\nClass Definitions\nPRINTER\n\tFlags\n\t\tDS_EFFECTIVE_CLASS\n");
}

TEST(Compare, ADifferentSyntaxShowsInBothDifferenceSections) {
    Schema a = sample("A");
    Schema b = sample("B");
    b.attrDef = ExtendedArray<AttrDef>();
    b.attrDef.Add(AttrDef(7, DS_SINGLE_VALUED_ATTR, "Color"));
    b.attrDef.Add(AttrDef(QX_NO_SYNTAX, DS_SIZED_ATTR, "Size"));
    b.syntaxDef.Add(SyntaxDef("Octet", 0));
    Report report = compared(a, b);
    EXPECT_EQ(report.result, 1);
    EXPECT_EQ(report.text,
              "\nClasses unique to A\n\tNONE\n"
              "\nClasses unique to B\n\tNONE\n"
              "\nAttributes unique to A\n\tNONE\n"
              "\nAttributes unique to B\n\tNONE\n"
              "\nSyntaxes unique to A\n\tNONE\n"
              "\nSyntaxes unique to B\n\tOctet\n"
              "\nDefinition differences for A\n"
              "\nAttribute Definitions\n"
              "Color\n\tSyntax\n\t\tSYN_CI_STRING\n"
              "Size\n\tSyntax\n\t\tSYN_INTEGER\n"
              "\nDefinition differences for B\n"
              "\nAttribute Definitions\n"
              "Color\n\tSyntax\n\t\tSYN_BOOLEAN\n"
              "Size\n\tFlags\n\t\tDS_SIZED_ATTR\n");
}

TEST(Compare, ResultIsOneOnlyWhenSomethingIsListedOrRecorded) {
    // A difference recorded on one side only: the other side stays NONE.
    Schema c = sample("A");
    Schema d = sample("B");
    d.syntaxDef = ExtendedArray<SyntaxDef>();
    d.syntaxDef.Add(SyntaxDef("Boolean", 0x0A));
    d.syntaxDef.Add(SyntaxDef("Case Ignore String", 0x8019));
    Report report = compared(c, d);
    EXPECT_EQ(report.result, 1);
    EXPECT_EQ(report.text, noUniqueDefinitions +
                               "\nDefinition differences for A\n\tNONE\n"
                               "\nDefinition differences for B\n"
                               "\nSyntax Definitions\nCase Ignore String\n\tFlags\n");
}

TEST(Compare, DuplicateNamesOnOneSideAreEachComparedWithTheirNamesake) {
    Schema a("A");
    a.classDef.Add(ClassDef("Dup", 0x09));
    a.classDef.Add(ClassDef("DUP", DS_EFFECTIVE_CLASS));
    a.classDef.Add(ClassDef("Extra", 0));
    a.classDef.Add(ClassDef("extra", 0));
    Schema b("B");
    b.classDef.Add(ClassDef("dup", 0x05));  // the halving pairs it with DUP
    Report report = compared(a, b);
    EXPECT_EQ(report.result, 1);
    EXPECT_EQ(report.text,
              "\nClasses unique to A\n\tExtra\n\textra\n"
              "\nClasses unique to B\n\tNONE\n"
              "\nDefinition differences for A\n"
              "\nClass Definitions\n"
              "Dup\n\tFlags\n\t\tDS_AMBIGUOUS_NAMING\n"
              "DUP\n\tFlags\n\t\tDS_EFFECTIVE_CLASS\n"
              "\nDefinition differences for B\n"
              "\nClass Definitions\ndup\n\tFlags\n\t\tDS_CONTAINER_CLASS\n"
              "\t\tDS_NONREMOVABLE_CLASS\n");
}
