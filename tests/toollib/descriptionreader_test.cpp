// The readers keep their room from one description to the next: whatever one
// description left in it must not show through in the next one's fields.

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "toollib/schemadesc/descriptionparser.h"
#include "toollib/schemadesc/descriptionreader.h"
#include "toollib/schemadesc/fulldefinition.h"

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

// Every field of a whole definition, in one line.
std::string dump(const FullDefinition& d) {
    std::ostringstream text;
    text << d.oid << '|' << d.desc.value_or("-") << '|' << d.equality << '|' << d.ordering << '|'
         << d.substr << '|' << d.syntax << '{' << d.syntaxLength << "}|" << d.usage << '|'
         << d.classKind << '|' << d.objectClass << '|' << d.form << '|' << d.obsolete
         << d.singleValue << d.collective << d.noUserModification;
    for (const auto* list :
         {&d.names, &d.superiors, &d.must, &d.may, &d.aux, &d.notAllowed, &d.applies}) {
        text << '|';
        for (const std::string& item : *list) {
            text << item << ',';
        }
    }
    for (const Extension& extension : d.extensions) {
        text << '|' << extension.name << '=';
        for (const std::string& value : extension.values) {
            text << value << ',';
        }
    }
    return text.str();
}

TEST(DescriptionReaders, OneWholeReaderReadsEachTextAsAFreshParseWould) {
    const OidMacros macros({{"Site", "1.3.6.1.4.1.99"}, {"Other", "1.2"}});
    const std::vector<std::pair<Kind, std::string>> texts = {
        {Kind::attributeTypes,
         "( Site:1 NAME ( 'a' 'b' ) DESC 'd' OBSOLETE SUP top EQUALITY caseIgnoreMatch "
         "ORDERING o SUBSTR s SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{32} SINGLE-VALUE "
         "COLLECTIVE NO-USER-MODIFICATION USAGE dSAOperation X-ORIGIN ( 'x' 'y' ) )"},
        {Kind::attributeTypes, "( 1.2.3 NAME 'plain' )"},
        {Kind::attributeTypes, "( 1.2.4 NAME 'c' SYNTAX 'not a syntax' )"},  // refused
        {Kind::objectClasses,
         "( 2.5.6.9 NAME 'x' SUP ( top $ y ) AUXILIARY MUST a MAY ( b $ c ) )"},
        {Kind::objectClasses, "( 2.5.6.10 NAME 'z' )"},
        {Kind::nameForms, "( 1.2.9 NAME 'f' OC x MUST cn X-A 'v' )"},
        {Kind::nameForms, "( 1.2.10 NAME 'g' OC x MUST sn )"},
        {Kind::dITStructureRules, "( 2 NAME 'r' FORM f SUP ( 1 3 ) )"},
        {Kind::dITStructureRules, "( 4 FORM g )"},
        {Kind::dITContentRules, "( 2.5.6.9 AUX q MUST a MAY b NOT c )"},
        {Kind::dITContentRules, "( 2.5.6.10 )"},
        {Kind::matchingRuleUse, "( 2.5.13.2 APPLIES ( a $ b ) )"},
        {Kind::matchingRuleUse, "( 2.5.13.3 APPLIES c )"},
    };
    FullReader reader;
    int parsed = 0;
    for (const auto& [kind, text] : texts) {
        SCOPED_TRACE(text);
        const auto fresh = parseFull(kind, text, macros);
        ASSERT_EQ(reader.read(kind, text, macros), fresh.has_value());
        if (fresh) {
            EXPECT_EQ(dump(reader.definition(kind)), dump(*fresh));
            ++parsed;
        }
    }
    EXPECT_EQ(parsed, 12);
    ASSERT_TRUE(reader.read(Kind::attributeTypes, texts[0].second, macros));
    EXPECT_EQ(dump(reader.definition(Kind::attributeTypes)),
              "1.3.6.1.4.1.99.1|d|caseIgnoreMatch|o|s|1.3.6.1.4.1.1466.115.121.1.15{32}|"
              "dSAOperation|STRUCTURAL|||1111|a,b,|top,||||||X-ORIGIN=x,y,");
}

}  // namespace
}  // namespace schemadesc
