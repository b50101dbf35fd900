#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "schema/referencefilecache.h"
#include "schema/schema.h"
#include "support/capture.h"
#include "support/listing.h"
#include "support/tempdir.h"
#include "toollib/txtparse/textstreamparser.h"

namespace {

// What the three readers made of one file, read in the driver's order.
struct Loaded {
    Schema schema;
    bool classes = false, attributes = false, syntaxes = false;
    std::string out;  // anything the readers wrote on standard output
};

Loaded readAll(TextStreamParser& tsp) {
    Loaded loaded;
    loaded.schema.whirly = 0;
    StreamCapture out(std::cout);
    loaded.classes = loaded.schema.readClassDefs(tsp);
    loaded.attributes = loaded.schema.readAttrDefs(tsp);
    loaded.syntaxes = loaded.schema.readSyntaxDefs(tsp);
    loaded.out = out.text();
    return loaded;
}

Loaded readAll(const std::string& text) {
    TextStreamParser tsp = TextStreamParser::fromText(text);
    return readAll(tsp);
}

// A listing with every kind of line that a listing can hold.
const std::string fullListing =
    "\nClass Definitions\n"
    "Bare\n"
    "Gadget\n\tFlags\n\t\tDS_AMBIGUOUS_CONTAINMENT\n\t\tDS_AMBIGUOUS_NAMING\n"
    "\t\tDS_CONTAINER_CLASS\n\t\tDS_EFFECTIVE_CLASS\n\t\tDS_NONREMOVABLE_CLASS\n"
    "\tSuper Class\n\t\tTop\n"
    "\tContainment\n\t\tOrganization\n"
    "\tNamed By\n\t\tCN\n\t\tcn\n"
    "\tMandatory Attributes\n\t\tGadget Colour\n"
    "\tOptional Attributes\n\t\tDescription\n\t\ttitle\n"
    "\nAttribute Definitions\n"
    "Gadget Colour\n\tFlags\n\t\tDS_SINGLE_VALUED_ATTR\n\t\tDS_STRING_ATTR\n"
    "\t\tDS_HIDDEN_ATTR\n\t\tDS_PER_REPLICA\n\t\tDS_WRITE_MANAGED\n"
    "\tSyntax\n\t\tSYN_CI_STRING\n"
    "Plain\n"
    "Size\n\tSyntax\n\t\tSYNTAX_COUNT\n"
    "\nSyntax Definitions\n"
    "Colour Code\n\tFlags\n\t\tDS_STRING\n\t\tDS_SIZEABLE\n"
    "Stream\n";

}  // namespace

TEST(RefFileReader, ASectionWithoutHeaderOrWithoutLinesAfterItIsAFailure) {
    // The listing of an empty schema, a file without headers, a header that ends the file.
    for (const char* text : {"\tNONE\n", "Gadget\n\tFlags\n\t\tDS_CONTAINER_CLASS\n",
                             "Class Definitions\n\n; nothing follows\n   \n"}) {
        Loaded loaded = readAll(text);
        EXPECT_FALSE(loaded.classes || loaded.attributes || loaded.syntaxes) << text;
        EXPECT_EQ(listing(loaded.schema), "\tNONE\n");
    }

    Loaded attrsOnly = readAll("\nAttribute Definitions\nSurname\n\tSyntax\n\t\tSYN_CI_STRING\n");
    EXPECT_TRUE(!attrsOnly.classes && attrsOnly.attributes && !attrsOnly.syntaxes);
    EXPECT_EQ(listing(attrsOnly.schema),
              "\nAttribute Definitions\nSurname\n\tSyntax\n\t\tSYN_CI_STRING\n");
}

TEST(RefFileReader, SectionsAreFoundInAnyOrderAndEndAtAnotherHeader) {
    Loaded loaded = readAll(
        "Listing of SERVER1\n\nSyntax Definitions\nStream\n\tflags\n\t\tDS_STRING\n"
        "// a comment between sections\n\n"
        "Class Definitions\nQueue\n\tSuper Class\n\t\tDevice\n"
        "Attribute Definitions\nColor\n\tFlags\n\t\tDS_SINGLE_VALUED_ATTR\n");
    EXPECT_TRUE(loaded.classes && loaded.attributes && loaded.syntaxes);
    EXPECT_EQ(listing(loaded.schema),
              "\nClass Definitions\nQueue\n\tSuper Class\n\t\tDevice\n"
              "\nAttribute Definitions\nColor\n\tFlags\n\t\tDS_SINGLE_VALUED_ATTR\n"
              "\nSyntax Definitions\nStream\n\tFlags\n\t\tDS_STRING\n");

    // Only an indented line, another kind's header or the end closes a section:
    // a stray line and a second header of the same kind become definitions.
    Loaded stray = readAll(
        "Class Definitions\nQueue\nClass Definitions\nNot A Header\n"
        "Syntax Definitions\nStream\n");
    EXPECT_TRUE(stray.classes && stray.syntaxes);
    EXPECT_EQ(listing(stray.schema),
              "\nClass Definitions\nClass Definitions\nNot A Header\nQueue\n"
              "\nSyntax Definitions\nStream\n");

    Loaded indented = readAll("\nClass Definitions\n\t\tDevice\nQueue\n");
    EXPECT_TRUE(indented.classes);
    EXPECT_EQ(listing(indented.schema), "\tNONE\n");
}

TEST(RefFileReader, KeywordsFlagNamesAndSyntaxNamesIgnoreLetterCase) {
    Loaded loaded = readAll(
        "  CLASS DEFINITIONS  \nPrinter\n SUPER CLASS\n device\n\tNamed by\n\t\tcn\n"
        "\tflags\n\t\tds_container_class\n\t\tDs_Effective_Class\n\t\tDS_NO_SUCH_FLAG\n"
        "attribute definitions\nColor\n\tFLAGS\n\t\tds_sync_immediate\n"
        "\tsyntax\n\t\tsyn_boolean\n"
        "syntax definitions\nStream\n\tFlags\n\t\tds_only_digits\n");
    EXPECT_TRUE(loaded.classes && loaded.attributes && loaded.syntaxes);
    EXPECT_EQ(listing(loaded.schema),
              "\nClass Definitions\nPrinter\n\tFlags\n\t\tDS_CONTAINER_CLASS\n"
              "\t\tDS_EFFECTIVE_CLASS\n\tSuper Class\n\t\tdevice\n\tNamed By\n\t\tcn\n"
              "\nAttribute Definitions\nColor\n\tFlags\n\t\tDS_SYNC_IMMEDIATE\n"
              "\tSyntax\n\t\tSYN_BOOLEAN\n"
              "\nSyntax Definitions\nStream\n\tFlags\n\t\tDS_ONLY_DIGITS\n");
}

TEST(RefFileReader, AttributeSyntaxLinesAndTheSyntaxErrorLine) {
    Loaded loaded = readAll(
        "\nAttribute Definitions\n"
        "Early\n\t\tSYN_INTEGER\n"  // no sub-header yet: ignored
        "Twice\n\tSyntax\n\t\tSYN_CI_STRING\n\t\tSYN_INTEGER\n\t\tSYN_NOT_A_SYNTAX\n"
        "Broken\n\tSyntax\nAn error occurred reading the Syntax ID.\n");
    EXPECT_TRUE(loaded.attributes);
    ASSERT_EQ(loaded.schema.attrDef.count(), 4u);
    EXPECT_EQ(loaded.schema.attrDef[1].name, "Broken");
    EXPECT_EQ(loaded.schema.attrDef[1].syntax, 0xFFFFFFFFu);
    EXPECT_EQ(listing(loaded.schema),
              "\nAttribute Definitions\nAn error occurred reading the Syntax ID.\n"
              "Broken\nEarly\nTwice\n\tSyntax\n\t\tSYN_INTEGER\n");
}

TEST(RefFileReader, ANameLineThatEndsTheFileIsStillADefinition) {
    Loaded classes = readAll("\nClass Definitions\nFirst\n\tFlags\n\t\tDS_CONTAINER_CLASS\nLast");
    EXPECT_TRUE(classes.classes);
    EXPECT_EQ(listing(classes.schema),
              "\nClass Definitions\nFirst\n\tFlags\n\t\tDS_CONTAINER_CLASS\nLast\n");

    Loaded attributes = readAll("\nAttribute Definitions\nOnly\n");
    EXPECT_TRUE(attributes.attributes);
    EXPECT_EQ(listing(attributes.schema), "\nAttribute Definitions\nOnly\n");

    Loaded syntaxes = readAll("\nSyntax Definitions\nBoolean\n\tFlags\n\t\tDS_STRING\nStream\n\n");
    EXPECT_TRUE(syntaxes.syntaxes);
    EXPECT_EQ(listing(syntaxes.schema),
              "\nSyntax Definitions\nBoolean\n\tFlags\n\t\tDS_STRING\nStream\n");
}

TEST(RefFileReader, AClassNameLongerThanTheLineLimitBecomesTwoClasses) {
    const std::string head(78, 'N');
    Loaded loaded = readAll("\nClass Definitions\n" + head + "tail\n\tSuper Class\n\t\tTop\n");
    EXPECT_TRUE(loaded.classes);
    EXPECT_EQ(listing(loaded.schema),
              "\nClass Definitions\n" + head + "\ntail\n\tSuper Class\n\t\tTop\n");
}

TEST(RefFileReader, ClassMembersGoToTheListOfTheLastSubHeaderSeen) {
    Loaded loaded = readAll(
        "\nClass Definitions\n"
        "Alpha\n\t\tLost Member\n"  // before any sub-header: ignored without a message
        "\tMandatory Attributes\n\t\tcn\n"
        "Beta\n\t\tSurname\n"                           // continues the mandatory list
        "\tFlags\n\t\tDS_EFFECTIVE_CLASS\n\t\tTitle\n"  // not a flag name: ignored
        "Gamma\n\t\tDS_CONTAINER_CLASS\n");             // continues the flags
    EXPECT_TRUE(loaded.classes);
    EXPECT_EQ(loaded.out, "");
    EXPECT_EQ(listing(loaded.schema),
              "\nClass Definitions\n"
              "Alpha\n\tMandatory Attributes\n\t\tcn\n"
              "Beta\n\tFlags\n\t\tDS_EFFECTIVE_CLASS\n\tMandatory Attributes\n\t\tSurname\n"
              "Gamma\n\tFlags\n\t\tDS_CONTAINER_CLASS\n");

    Loaded others = readAll(
        "\nAttribute Definitions\nColor\n\tSyntax\n\t\tSYN_BOOLEAN\nSize\n\t\tSYN_INTEGER\n"
        "\nSyntax Definitions\nBoolean\n\tFlags\n\t\tDS_STRING\nStream\n\t\tDS_SIZEABLE\n");
    EXPECT_EQ(listing(others.schema),
              "\nAttribute Definitions\nColor\n\tSyntax\n\t\tSYN_BOOLEAN\n"
              "Size\n\tSyntax\n\t\tSYN_INTEGER\n"
              "\nSyntax Definitions\nBoolean\n\tFlags\n\t\tDS_STRING\n"
              "Stream\n\tFlags\n\t\tDS_SIZEABLE\n");
}

TEST(RefFileReader, AWrittenListingReadsBackToTheSameListingAndOnlyTheFirstIsRead) {
    Loaded first = readAll(fullListing);
    EXPECT_TRUE(first.classes && first.attributes && first.syntaxes);
    const std::string written = listing(first.schema);
    EXPECT_EQ(written, fullListing);
    Loaded second = readAll(written);
    EXPECT_EQ(listing(second.schema), fullListing);

    // Of two listings one after the other, the first is read.
    Loaded twice =
        readAll(fullListing + "\nClass Definitions\nSecond\n" +
                "\nAttribute Definitions\nSecond Attr\n" + "\nSyntax Definitions\nSecond Syntax\n");
    EXPECT_TRUE(twice.classes && twice.attributes && twice.syntaxes);
    EXPECT_EQ(listing(twice.schema), fullListing);

    // Flag bits without a name are not written, so they are zero after reading.
    Schema unnamed;
    unnamed.classDef.Add(ClassDef("Odd", 0x40));
    unnamed.classDef.Add(ClassDef("Auxiliary", 0x20));
    Loaded odd = readAll(listing(unnamed));
    ASSERT_EQ(odd.schema.classDef.count(), 2u);
    EXPECT_EQ(odd.schema.classDef[0].flags, 0x20u) << "DS_AUXILIARY_CLASS reads back";
    EXPECT_EQ(odd.schema.classDef[1].flags, 0u);
}

TEST(RefFileReader, CarriageReturnLineEndsReadTheSame) {
    std::string crlf;
    for (char c : fullListing) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    ScopedTempDir dir;
    TextStreamParser tsp(dir.write("dos.ref", crlf).string());
    Loaded loaded = readAll(tsp);
    EXPECT_TRUE(loaded.classes && loaded.attributes && loaded.syntaxes);
    EXPECT_EQ(listing(loaded.schema), fullListing);
}

TEST(RefFileReader, TheSpinnerTurnsOncePerDefinitionRead) {
    // fullListing holds two classes, three attributes and two syntaxes.
    TextStreamParser tsp = TextStreamParser::fromText(fullListing);
    Schema schema;
    std::string turns;
    {
        StreamCapture err(std::cerr);
        schema.readClassDefs(tsp);
        schema.readAttrDefs(tsp);
        schema.readSyntaxDefs(tsp);
        turns = err.text();
    }
    const std::string spinner = "|/-\\";
    ASSERT_EQ(turns.size(), 14u);
    std::size_t at = spinner.find(turns[0]);
    ASSERT_NE(at, std::string::npos);
    std::string wanted;
    for (int k = 0; k < 7; ++k, at = (at + 1) % 4) {
        wanted += std::string(1, spinner[at]) + "\r";
    }
    EXPECT_EQ(turns, wanted);

    Schema quiet;
    quiet.whirly = 0;
    StreamCapture err(std::cerr);
    quiet.readClassDefs(tsp);
    quiet.readAttrDefs(tsp);
    quiet.readSyntaxDefs(tsp);
    EXPECT_EQ(err.text(), "");
    EXPECT_EQ(listing(quiet), fullListing);
}

TEST(RefFileReader, DefinitionsOfEqualNameKeepTheOrderInWhichTheyWereRead) {
    Loaded loaded = readAll("\nClass Definitions\nbeta\nALPHA\nGamma\nalpha\nAlpha\n");
    EXPECT_EQ(listing(loaded.schema), "\nClass Definitions\nALPHA\nalpha\nAlpha\nbeta\nGamma\n");

    // A second read adds after the definitions already held.
    TextStreamParser more = TextStreamParser::fromText("\nClass Definitions\nAlpha\nBETA\n");
    EXPECT_TRUE(loaded.schema.readClassDefs(more));
    EXPECT_EQ(listing(loaded.schema),
              "\nClass Definitions\nALPHA\nalpha\nAlpha\nAlpha\nbeta\nBETA\nGamma\n");
}

TEST(RefFileReader, ALineDeeperThanItsSubHeaderIsAnItemWhateverItReads) {
    struct Case {
        const char* what;
        std::string text;
        std::string listing;
    };
    const std::string classes = "\nClass Definitions\n";
    const std::string attributes = "\nAttribute Definitions\n";
    const std::vector<Case> cases{
        {"sub-headers and items at one depth read as sub-headers",
         classes + "Printer\n Optional Attributes\n title\n flags\n ds_container_class\n",
         classes + "Printer\n\tFlags\n\t\tDS_CONTAINER_CLASS\n\tOptional Attributes\n\t\ttitle\n"},
        {"members named like class sub-headers",
         classes + "Odd\n\tOptional Attributes\n\t\tflags\n\t\tSuper Class\n\t\tzone\n"
                   "\tMandatory Attributes\n\t\tFLAGS\n",
         classes + "Odd\n\tMandatory Attributes\n\t\tFLAGS\n"
                   "\tOptional Attributes\n\t\tflags\n\t\tSuper Class\n\t\tzone\n"},
        {"a sub-header under Flags is an unknown flag, not a sub-header",
         classes + "Odd\n\tFlags\n\t\tOptional Attributes\n\t\tDS_CONTAINER_CLASS\n",
         classes + "Odd\n\tFlags\n\t\tDS_CONTAINER_CLASS\n"},
        {"a list opened by a deeper sub-header; a shallower one opens another",
         classes + "Odd\n\t\tNamed By\n\t\t\tflags\n\t\tcn\n\tSuper Class\n\t\tTop\n",
         classes + "Odd\n\tSuper Class\n\t\tTop\n\tNamed By\n\t\tcn\n\t\tflags\n"},
        {"the open list and its depth carry over to the next class",
         classes + "Alpha\n\tOptional Attributes\n\t\tcn\nBeta\n\t\tFlags\n\tFlags\n",
         classes + "Alpha\n\tOptional Attributes\n\t\tcn\n"
                   "Beta\n\tOptional Attributes\n\t\tFlags\n"},
        {"attribute items named syntax and flags",
         attributes + "Odd\n\tFlags\n\t\tsyntax\n\t\tDS_SINGLE_VALUED_ATTR\n"
                      "\tSyntax\n\t\tflags\n\t\tSYN_BOOLEAN\n",
         attributes + "Odd\n\tFlags\n\t\tDS_SINGLE_VALUED_ATTR\n\tSyntax\n\t\tSYN_BOOLEAN\n"},
        {"attribute sub-headers at the items' depth",
         attributes + "Odd\n Flags\n syntax\n SYN_BOOLEAN\n",
         attributes + "Odd\n\tSyntax\n\t\tSYN_BOOLEAN\n"},
        {"a piece of a long member that begins with blanks stays a member",
         classes + "Odd\n\tOptional Attributes\n\t\t" + std::string(76, 'm') + "  flags\n\t\tcn\n",
         classes + "Odd\n\tOptional Attributes\n\t\tcn\n\t\tflags\n\t\t" + std::string(76, 'm') +
             "\n"},
    };
    for (const Case& c : cases) {
        Loaded loaded = readAll(c.text);
        EXPECT_EQ(loaded.out, "") << c.what;
        EXPECT_EQ(listing(loaded.schema), c.listing) << c.what;
    }
}

TEST(RefFileReader, AFailedReaderSaysWhyEvenWhenTheSectionComesFromTheCache) {
    struct Case {
        std::string text;
        bool (Schema::*read)(TextStreamParser&);
        std::string failure;
    };
    const std::vector<Case> cases{
        {"\tNONE\n", &Schema::readClassDefs, "no \"Class Definitions\" section"},
        {"\nClass Definitions\nTop\n", &Schema::readAttrDefs,
         "no \"Attribute Definitions\" section"},
        {"\nSyntax Definitions\n; nothing follows\n\n", &Schema::readSyntaxDefs,
         "nothing follows the \"Syntax Definitions\" header"},
    };
    ScopedTempDir dir;
    for (std::size_t k = 0; k < cases.size(); ++k) {
        const Case& c = cases[k];
        const std::string file = dir.write("failing" + std::to_string(k) + ".ref", c.text).string();
        ReferenceFileCache cache;
        // A file is kept from its second reading on: the third comes from the cache.
        for (int reading = 1; reading <= 3; ++reading) {
            TextStreamParser tsp(file);
            Schema schema;
            schema.whirly = 0;
            schema.setFileCache(&cache);
            EXPECT_FALSE((schema.*c.read)(tsp));
            EXPECT_EQ(schema.readFailure(), c.failure) << reading;
        }
    }

    // The last failure stays when a later reader succeeds; none, none is told.
    TextStreamParser tsp = TextStreamParser::fromText("\nClass Definitions\nTop\n");
    Schema schema;
    schema.whirly = 0;
    EXPECT_TRUE(schema.readClassDefs(tsp));
    EXPECT_EQ(schema.readFailure(), "");
    EXPECT_FALSE(schema.readSyntaxDefs(tsp));
    EXPECT_TRUE(schema.readClassDefs(tsp));
    EXPECT_EQ(schema.readFailure(), "no \"Syntax Definitions\" section");
}
