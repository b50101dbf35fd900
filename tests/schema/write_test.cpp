#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dscontext/dsclient.h"
#include "schema/schema.h"
#include "support/listing.h"

namespace {

// A syntax flag bit that no name of a listing stands for.
constexpr std::uint16_t unnamedSyntaxBit = 0x8000;

}  // namespace

TEST(SchemaWriter, OneDefinitionOfEachKindGivesTheThreeSections) {
    Schema schema;
    ClassDef gadget("Gadget", DS_CONTAINER_CLASS | DS_EFFECTIVE_CLASS);
    gadget.add(MANDATORY, "Gadget Colour");
    schema.classDef.Add(gadget);
    schema.attrDef.Add(AttrDef(3, DS_SINGLE_VALUED_ATTR, "Gadget Colour"));
    schema.syntaxDef.Add(SyntaxDef("Colour Code", 0x0011));
    EXPECT_EQ(listing(schema),
              "\n"
              "Class Definitions\n"
              "Gadget\n"
              "\tFlags\n"
              "\t\tDS_CONTAINER_CLASS\n"
              "\t\tDS_EFFECTIVE_CLASS\n"
              "\tMandatory Attributes\n"
              "\t\tGadget Colour\n"
              "\n"
              "Attribute Definitions\n"
              "Gadget Colour\n"
              "\tFlags\n"
              "\t\tDS_SINGLE_VALUED_ATTR\n"
              "\tSyntax\n"
              "\t\tSYN_CI_STRING\n"
              "\n"
              "Syntax Definitions\n"
              "Colour Code\n"
              "\tFlags\n"
              "\t\tDS_STRING\n"
              "\t\tDS_IGNORE_CASE\n");
}

TEST(SchemaWriter, EmptyKindsAreLeftOutWholeAndAnEmptySchemaIsNone) {
    Schema schema;
    EXPECT_EQ(listing(schema), "\tNONE\n");

    schema.syntaxDef.Add(SyntaxDef("Stream", 0));
    schema.syntaxDef.Add(SyntaxDef("Boolean", 0x03FF));
    schema.syntaxDef.Add(SyntaxDef("Counter", unnamedSyntaxBit));
    EXPECT_EQ(listing(schema),
              "\nSyntax Definitions\nBoolean\n\tFlags\n"
              "\t\tDS_STRING\n\t\tDS_SINGLE_VALUED\n\t\tDS_SUPPORTS_ORDER\n\t\tDS_SUPPORTS_EQUAL\n"
              "\t\tDS_IGNORE_CASE\n\t\tDS_IGNORE_SPACE\n\t\tDS_IGNORE_DASH\n\t\tDS_ONLY_DIGITS\n"
              "\t\tDS_ONLY_PRINTABLE\n\t\tDS_SIZEABLE\n"
              "Counter\n\tFlags\n"
              "Stream\n");
}

TEST(SchemaWriter, ClassBlocksNameTheirFlagsInListingOrderAndSortWithoutRegardToCase) {
    Schema schema;
    schema.classDef.Add(ClassDef("beta", 0x3F));
    schema.classDef.Add(ClassDef("Alpha", 0x40));
    schema.classDef.Add(ClassDef("Bare", 0));
    ClassDef lists("Lists", 0x10);
    lists.add(OPT, "title");
    lists.add(OPT, "Description");
    lists.add(SUPERCLASSES, "Top");
    lists.add(NAMEDBY, "CN");
    lists.add(NAMEDBY, "cn");
    lists.add(CONTAINMENT, "Organization");
    lists.add(MANDATORY, "Surname");
    schema.classDef.Add(lists);
    schema.classDef.Add(ClassDef("ALPHA 2", 0));
    EXPECT_EQ(listing(schema),
              "\nClass Definitions\n"
              "Alpha\n\tFlags\n"
              "ALPHA 2\n"
              "Bare\n"
              "beta\n\tFlags\n\t\tDS_AMBIGUOUS_CONTAINMENT\n\t\tDS_AMBIGUOUS_NAMING\n"
              "\t\tDS_AUXILIARY_CLASS\n"
              "\t\tDS_CONTAINER_CLASS\n\t\tDS_EFFECTIVE_CLASS\n\t\tDS_NONREMOVABLE_CLASS\n"
              "Lists\n\tFlags\n\t\tDS_AMBIGUOUS_CONTAINMENT\n"
              "\tSuper Class\n\t\tTop\n"
              "\tContainment\n\t\tOrganization\n"
              "\tNamed By\n\t\tCN\n\t\tcn\n"
              "\tMandatory Attributes\n\t\tSurname\n"
              "\tOptional Attributes\n\t\tDescription\n\t\ttitle\n");
}

TEST(SchemaWriter, AttributeFlagsFollowListingOrderAndUnknownSyntaxIdsGiveTheErrorLine) {
    Schema schema;
    schema.attrDef.Add(AttrDef(QX_NO_SYNTAX, 0x0730, "A Flags"));
    schema.attrDef.Add(AttrDef(37, 0, "B Count"));
    schema.attrDef.Add(AttrDef(28, 0, "C Gap"));
    schema.attrDef.Add(AttrDef(100, 0x0800, "D Far"));
    schema.attrDef.Add(AttrDef(27, 0x000F, "E Last"));
    schema.attrDef.Add(AttrDef(36, 0x00C0, "F Gap"));
    EXPECT_EQ(listing(schema),
              "\nAttribute Definitions\n"
              "A Flags\n\tFlags\n\t\tDS_STRING_ATTR\n\t\tDS_HIDDEN_ATTR\n\t\tDS_SERVER_READ\n"
              "\t\tDS_PER_REPLICA\n\t\tDS_WRITE_MANAGED\n"
              "B Count\n\tSyntax\n\t\tSYNTAX_COUNT\n"
              "C Gap\n\tSyntax\nAn error occurred reading the Syntax ID.\n"
              "D Far\n\tFlags\n\tSyntax\nAn error occurred reading the Syntax ID.\n"
              "E Last\n\tFlags\n\t\tDS_SINGLE_VALUED_ATTR\n\t\tDS_SIZED_ATTR\n"
              "\t\tDS_NONREMOVABLE_ATTR\n\t\tDS_READ_ONLY_ATTR\n\tSyntax\n\t\tSYN_INTERVAL\n"
              "F Gap\n\tFlags\n\t\tDS_SYNC_IMMEDIATE\n\t\tDS_PUBLIC_READ\n"
              "\tSyntax\nAn error occurred reading the Syntax ID.\n");
}

TEST(SchemaWriter, AListingGivesEachSelectedEmptyKindItsSectionWhenAnotherKindHasDefinitions) {
    Schema schema;
    EXPECT_EQ(listing(schema, {}), "\tNONE\n");
    schema.classDef.Add(ClassDef("Top", 0));
    schema.attrDef.Add(AttrDef(QX_NO_SYNTAX, 0, "cn"));
    const std::string classes = "\nClass Definitions\nTop\n";
    const std::string attributes = "\nAttribute Definitions\ncn\n";
    const std::string noSyntaxes = "\nSyntax Definitions\n\tNONE\n";
    struct Case {
        SelectedKinds selected;
        std::string listing;
    };
    for (const Case& c : std::vector<Case>{
             {{true, true, true}, classes + attributes + noSyntaxes},
             {{true, false, false}, classes},
             {{false, true, true}, attributes + noSyntaxes},
             {{false, false, true}, "\tNONE\n"},
             {{false, false, false}, "\tNONE\n"},
         }) {
        EXPECT_EQ(listing(schema, c.selected), c.listing);
    }
    // The difference sections of a report keep leaving empty kinds out.
    EXPECT_EQ(listing(schema), classes + attributes);

    schema.syntaxDef.Add(SyntaxDef("Stream", 0));
    EXPECT_EQ(listing(schema, {}), listing(schema));
}
