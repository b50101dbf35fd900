// A listing is a reference file: whatever the schema and whichever kinds are
// selected, the listing reads back to the schema it was written from, and
// that writes the same bytes again.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "dscontext/dsclient.h"
#include "schema/schema.h"
#include "support/listing.h"
#include "toollib/txtparse/textstreamparser.h"

namespace {

// The selected kinds of `tsp`, as a run reads them; false when a reader fails.
bool readSelected(TextStreamParser& tsp, const SelectedKinds& selected, Schema& schema) {
    schema.whirly = 0;
    return (!selected.classes || schema.readClassDefs(tsp)) &&
           (!selected.attributes || schema.readAttrDefs(tsp)) &&
           (!selected.syntaxes || schema.readSyntaxDefs(tsp));
}

Schema fromExample(const char* file, const SelectedKinds& selected = {}) {
    TextStreamParser tsp(std::string(TAVLER_EXAMPLES_DIR) + "/" + file);
    Schema schema(file);
    EXPECT_TRUE(readSelected(tsp, selected, schema)) << file;
    return schema;
}

// Members named like every sub-header in every list, and definitions named
// like sub-headers.
Schema keywordNames() {
    const std::vector<const char*> keywords{
        "Super Class",         "Containment", "Named By", "Mandatory Attributes",
        "Optional Attributes", "flags",       "Syntax",   "cn"};
    Schema schema("keywords");
    ClassDef odd("Odd", DS_CONTAINER_CLASS | DS_EFFECTIVE_CLASS);
    for (ClassType type : {SUPERCLASSES, CONTAINMENT, NAMEDBY, MANDATORY, OPT}) {
        for (const char* keyword : keywords) {
            odd.add(type, keyword);
        }
    }
    schema.classDef.Add(odd);
    ClassDef flags("Flags", 0x04);
    flags.add(OPT, "Flags");
    schema.classDef.Add(flags);
    schema.attrDef.Add(AttrDef(3, DS_SINGLE_VALUED_ATTR, "flags"));
    schema.attrDef.Add(AttrDef(3, DS_SINGLE_VALUED_ATTR, "Syntax"));
    schema.syntaxDef.Add(SyntaxDef("Flags", DS_STRING));
    return schema;
}

// `schema` with only the `selected` kinds.
Schema only(Schema schema, const SelectedKinds& selected) {
    if (!selected.classes) {
        schema.classDef = {};
    }
    if (!selected.attributes) {
        schema.attrDef = {};
    }
    if (!selected.syntaxes) {
        schema.syntaxDef = {};
    }
    return schema;
}

}  // namespace

TEST(RoundTrip, EveryListingReadsBackToItsSchemaAndWritesTheSameBytes) {
    const std::vector<Schema> schemas{
        fromExample("base.ref"), fromExample("site.ref"), keywordNames(),
        fromExample("base.ref", {true, true, false}),  // no syntaxes
    };
    for (const Schema& schema : schemas) {
        for (int bits = 0; bits < 8; ++bits) {
            const SelectedKinds selected{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0};
            const Schema expected = only(schema, selected);
            const std::string written = listing(schema, selected);
            const std::string context = schema.name + " kinds " + std::to_string(bits);
            if (expected.classDef.empty() && expected.attrDef.empty() &&
                expected.syntaxDef.empty()) {
                EXPECT_EQ(written, "\tNONE\n") << context;
                continue;
            }
            TextStreamParser tsp = TextStreamParser::fromText(written);
            Schema reread("reread");
            ASSERT_TRUE(readSelected(tsp, selected, reread)) << context << reread.readFailure();
            std::ostringstream report;
            EXPECT_EQ(expected.compare(reread, report), 0) << context << report.str();
            EXPECT_EQ(listing(reread, selected), written) << context;
        }
    }
}
