// The readers keep their room from one description to the next: whatever one
// description left in it must not show through in the next one's fields.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "toollib/schemadesc/descriptionparser.h"
#include "toollib/schemadesc/descriptionreader.h"

namespace schemadesc {
namespace {

std::vector<std::string> strings(const CStringList& list) {
    return {list.begin(), list.end()};
}

TEST(DescriptionReaders, OneReaderReadsEachTextAsAFreshParseWould) {
    const OidMacros macros({{"Site", "1.3.6.1.4.1.99"}, {"Syn", "1.3.6.1.4.1.1466.115.121.1"}});
    const std::string full =
        "( Site:1 NAME ( 'a' 'b' ) SUP top EQUALITY caseIgnoreMatch SYNTAX Syn:15{32} "
        "SINGLE-VALUE NO-USER-MODIFICATION USAGE dSAOperation )";
    const std::vector<std::string> attrs = {
        full,
        "( 1.2.3 NAME 'plain' )",
        "( 1.2.4 NAME 'c' SYNTAX 'not a syntax' )",  // refused
        "( 'quoted-oid' NAME 'd' EQUALITY Site:7 )",
        std::string("( 1.2.5 NAME 'e\0f' )", 20),  // refused: a NUL byte
        "( 1.2.6 )",
        "( 1.2.7 NAME '' )",  // refused: an empty NAME
    };
    AttrReader reader;
    for (const std::string& text : attrs) {
        SCOPED_TRACE(text);
        const auto fresh = parseAttr(text, macros);
        ASSERT_EQ(reader.read(text, macros), fresh.has_value());
        if (!fresh) {
            continue;
        }
        EXPECT_EQ(reader.oid(), fresh->oid);
        EXPECT_EQ(strings(reader.names()), fresh->names);
        EXPECT_EQ(reader.superior(), fresh->superior);
        EXPECT_EQ(reader.equality(), fresh->equality);
        EXPECT_EQ(reader.syntax(), fresh->syntax);
        EXPECT_EQ(reader.bounded(), fresh->bounded);
        EXPECT_EQ(reader.singleValue(), fresh->singleValue);
        EXPECT_EQ(reader.noUserModification(), fresh->noUserModification);
        EXPECT_EQ(reader.usage(), fresh->usage);
    }
    // What the first and fourth texts came to, so that the comparison
    // above is not of two empty parses.
    ASSERT_TRUE(reader.read(attrs[0], macros));
    EXPECT_EQ(reader.oid(), "1.3.6.1.4.1.99.1");
    EXPECT_EQ(reader.syntax(), "1.3.6.1.4.1.1466.115.121.1.15");
    EXPECT_TRUE(reader.bounded());
    ASSERT_TRUE(reader.read(attrs[3], macros));
    EXPECT_EQ(reader.oid(), "quoted-oid");
    EXPECT_EQ(reader.equality(), "1.3.6.1.4.1.99.7");
    EXPECT_EQ(reader.syntax(), "");
    EXPECT_FALSE(reader.bounded());

    const std::vector<std::string> classes = {
        "( Site:2 NAME ( 'x' 'y' ) SUP ( top $ other ) AUXILIARY MUST ( a $ b ) MAY c )",
        "( 2.5.6.0 NAME 'top' ABSTRACT MUST objectClass )",
        "( 2.5.6.1 NAME 'bad' MUST ( a $ ) )",  // refused
        "( 'quoted' )",
        "( 2.5.6.2 NAME 'structural' )",
    };
    ClassReader classReader;
    for (const std::string& text : classes) {
        SCOPED_TRACE(text);
        const auto fresh = parseClass(text, macros);
        ASSERT_EQ(classReader.read(text, macros), fresh.has_value());
        if (!fresh) {
            continue;
        }
        EXPECT_EQ(classReader.oid(), fresh->oid);
        EXPECT_EQ(strings(classReader.names()), fresh->names);
        EXPECT_EQ(classReader.kind(), fresh->kind);
        EXPECT_EQ(strings(classReader.superiors()), fresh->superiors);
        EXPECT_EQ(strings(classReader.must()), fresh->must);
        EXPECT_EQ(strings(classReader.may()), fresh->may);
    }
    ASSERT_TRUE(classReader.read(classes[0], macros));
    EXPECT_EQ(classReader.oid(), "1.3.6.1.4.1.99.2");
    EXPECT_EQ(strings(classReader.superiors()), (std::vector<std::string>{"top", "other"}));
    EXPECT_EQ(classReader.kind(), ClassKind::auxiliary);
}

}  // namespace
}  // namespace schemadesc
