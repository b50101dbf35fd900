// Whole definitions: every field of every kind, as the comparison of whole
// schemas reads them, and the descriptions that must not parse at all.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "toollib/schemadesc/descriptionparser.h"
#include "toollib/schemadesc/fulldefinition.h"

namespace schemadesc {
namespace {

using Texts = std::vector<std::string>;

const OidMacros& testMacros() {
    static const OidMacros macros({{"Site", "1.3.6.1.4.1.99"},
                                   {"Syn", "1.3.6.1.4.1.1466.115.121.1"},
                                   {"Rules", "Site:9"},
                                   {"Site", "2.2.2"}});
    return macros;
}

std::string shown(const std::vector<Extension>& extensions) {
    std::string text;
    for (const Extension& e : extensions) {
        text += e.name + "=";
        for (const std::string& value : e.values) {
            text += "[" + value + "]";
        }
        text += " ";
    }
    return text;
}

void expectSame(const FullDefinition& got, const FullDefinition& want) {
    EXPECT_EQ(got.oid, want.oid);
    EXPECT_EQ(got.names, want.names);
    EXPECT_EQ(got.desc, want.desc);
    EXPECT_EQ(got.obsolete, want.obsolete);
    EXPECT_EQ(got.superiors, want.superiors);
    EXPECT_EQ(got.equality, want.equality);
    EXPECT_EQ(got.ordering, want.ordering);
    EXPECT_EQ(got.substr, want.substr);
    EXPECT_EQ(got.syntax, want.syntax);
    EXPECT_EQ(got.syntaxLength, want.syntaxLength);
    EXPECT_EQ(got.singleValue, want.singleValue);
    EXPECT_EQ(got.collective, want.collective);
    EXPECT_EQ(got.noUserModification, want.noUserModification);
    EXPECT_EQ(got.usage, want.usage);
    EXPECT_EQ(got.classKind, want.classKind);
    EXPECT_EQ(got.must, want.must);
    EXPECT_EQ(got.may, want.may);
    EXPECT_EQ(got.aux, want.aux);
    EXPECT_EQ(got.notAllowed, want.notAllowed);
    EXPECT_EQ(got.applies, want.applies);
    EXPECT_EQ(got.objectClass, want.objectClass);
    EXPECT_EQ(got.form, want.form);
    EXPECT_EQ(shown(got.extensions), shown(want.extensions));
}

struct Case {
    Kind kind;
    std::string attribute;  // the subschema attribute of the kind
    std::string text;
    FullDefinition want;
};

FullDefinition syntaxCase() {
    FullDefinition d;
    d.oid = "1.3.6.1.4.1.1466.115.121.1.15";
    d.desc = "Directory String";
    d.extensions = {{"X-NOT-HUMAN-READABLE", {"FALSE"}}, {"X-ORIGIN", {"RFC 4517", "site"}}};
    return d;
}

FullDefinition matchingRuleCase() {
    FullDefinition d;
    d.oid = "1.3.6.1.4.1.99.9.1";
    d.names = {"siteMatch", "sm"};
    d.desc = "";
    d.obsolete = true;
    d.syntax = "1.3.6.1.4.1.1466.115.121.1.15";
    d.extensions = {{"X-A", {"v"}}};
    return d;
}

FullDefinition ruleUseCase() {
    FullDefinition d;
    d.oid = "2.5.13.2";
    d.names = {"caseIgnoreMatch"};
    d.applies = {"cn", "sn", "Site:7"};
    return d;
}

FullDefinition attributeCase() {
    FullDefinition d;
    d.oid = "1.3.6.1.4.1.99.2.1";
    d.names = {"fullAttr", "fa"};
    d.desc = "every field";
    d.obsolete = true;
    d.superiors = {"name"};
    d.equality = "1.3.6.1.4.1.99.9.1";
    d.ordering = "caseIgnoreOrderingMatch";
    d.substr = "2.2.2.3";
    d.syntax = "1.3.6.1.4.1.1466.115.121.1.15";
    d.syntaxLength = 64;
    d.singleValue = true;
    d.collective = true;
    d.noUserModification = true;
    d.usage = "dSAOperation";
    d.extensions = {{"X-ORIGIN", {"test"}}, {"X-MORE", {"a", "b", "c"}}};
    return d;
}

FullDefinition quotedAttributeCase() {
    FullDefinition d;
    d.oid = "1.2.3.4";
    d.names = {"quoted"};
    d.syntax = "1.3.6.1.4.1.1466.115.121.1.15";
    d.usage = "distributedOperation";
    return d;
}

FullDefinition classCase() {
    FullDefinition d;
    d.oid = "1.3.6.1.4.1.99.3.1";
    d.names = {"fullClass"};
    d.desc = "c";
    d.obsolete = true;
    d.superiors = {"top", "Site:3.0"};
    d.classKind = "AUXILIARY";
    d.must = {"cn", "sn"};
    d.may = {"description"};
    d.extensions = {{"X-ORIGIN", {"x", "y", "z"}}};
    return d;
}

FullDefinition plainClassCase() {
    FullDefinition d;
    d.names = {"noOid"};
    return d;
}

FullDefinition contentRuleCase() {
    FullDefinition d;
    d.oid = "1.3.6.1.4.1.99.3.1";
    d.names = {"fullRule"};
    d.desc = "r";
    d.obsolete = true;
    d.aux = {"a1", "a2"};
    d.must = {"cn"};
    d.may = {"sn", "Site:9"};
    d.notAllowed = {"description"};
    d.extensions = {{"X-E", {"e"}}};
    return d;
}

FullDefinition structureRuleCase() {
    FullDefinition d;
    d.oid = "7";
    d.names = {"sr"};
    d.desc = "d";
    d.obsolete = true;
    d.superiors = {"1", "20"};
    d.form = "fullForm";
    d.extensions = {{"X-S", {"s", "t"}}};
    return d;
}

FullDefinition nameFormCase() {
    FullDefinition d;
    d.oid = "1.3.6.1.4.1.99.4.1";
    d.names = {"fullForm"};
    d.desc = "nf";
    d.obsolete = true;
    d.objectClass = "fullClass";
    d.must = {"cn"};
    d.may = {"sn", "o"};
    d.extensions = {{"X-N", {"p", "q"}}};
    return d;
}

TEST(ParseFull, EveryFieldOfEveryKind) {
    FullDefinition abstractClass;
    abstractClass.oid = "2.5.6.0";
    abstractClass.names = {"top"};
    abstractClass.classKind = "ABSTRACT";
    abstractClass.must = {"objectClass"};
    FullDefinition singleSup;
    singleSup.oid = "8";
    singleSup.form = "f";
    singleSup.superiors = {"3"};

    const std::vector<Case> cases = {
        {Kind::ldapSyntaxes, "ldapSyntaxes",
         "( Syn:15 DESC 'Directory String' X-NOT-HUMAN-READABLE 'FALSE' "
         "X-ORIGIN ( 'RFC 4517' 'site' ) )",
         syntaxCase()},
        {Kind::matchingRules, "matchingRules",
         "( Rules:1 NAME ( 'siteMatch' 'sm' ) DESC '' OBSOLETE "
         "SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 X-A 'v' )",
         matchingRuleCase()},
        {Kind::matchingRuleUse, "matchingRuleUse",
         "( 2.5.13.2 NAME 'caseIgnoreMatch' APPLIES ( cn $ sn $ Site:7 ) )", ruleUseCase()},
        {Kind::attributeTypes, "attributeTypes",
         "( Site:2.1 NAME ( 'fullAttr' 'fa' ) DESC 'every field' OBSOLETE SUP name "
         "EQUALITY Rules:1 ORDERING caseIgnoreOrderingMatch SUBSTR 2.2.2.3 SYNTAX Syn:15{64} "
         "SINGLE-VALUE COLLECTIVE NO-USER-MODIFICATION USAGE dSAOperation X-ORIGIN 'test' "
         "X-MORE ( 'a' 'b' 'c' ) )",
         attributeCase()},
        {Kind::attributeTypes, "attributeTypes",
         "( '1.2.3.4' NAME 'quoted' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{0} "
         "USAGE distributedOperation )",
         quotedAttributeCase()},
        {Kind::objectClasses, "objectClasses",
         "( Site:3.1 NAME 'fullClass' DESC 'c' OBSOLETE SUP ( top $ Site:3.0 ) AUXILIARY "
         "MUST ( cn $ sn ) MAY description X-ORIGIN ( 'x' 'y' 'z' ) )",
         classCase()},
        {Kind::objectClasses, "objectClasses", "( 2.5.6.0 NAME 'top' ABSTRACT MUST objectClass )",
         abstractClass},
        {Kind::objectClasses, "objectClasses", "( NAME 'noOid' )", plainClassCase()},
        {Kind::dITContentRules, "dITContentRules",
         "( Site:3.1 NAME 'fullRule' DESC 'r' OBSOLETE AUX ( a1 $ a2 ) MUST cn "
         "MAY ( sn $ Site:9 ) NOT description X-E 'e' )",
         contentRuleCase()},
        {Kind::dITStructureRules, "dITStructureRules",
         "( 7 NAME 'sr' DESC 'd' OBSOLETE FORM fullForm SUP ( 1 20 ) X-S ( 's' 't' ) )",
         structureRuleCase()},
        {Kind::dITStructureRules, "dITStructureRules", "( 8 FORM f SUP 3 )", singleSup},
        {Kind::nameForms, "nameForms",
         "( Site:4.1 NAME 'fullForm' DESC 'nf' OBSOLETE OC fullClass MUST cn "
         "MAY ( sn $ o ) X-N ( 'p' 'q' ) )",
         nameFormCase()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(kindName(c.kind), c.attribute);
        const auto got = parseFull(c.kind, c.text, testMacros());
        ASSERT_TRUE(got.has_value());
        expectSame(*got, c.want);
    }
}

TEST(ParseFull, TextsThatDoNotParse) {
    struct Bad {
        Kind kind;
        std::string text;
        const char* why;
    };
    const std::vector<Bad> cases = {
        {Kind::ldapSyntaxes, std::string("( 1.2.3 DESC 'a\0b' )", 20), "a NUL byte"},
        {Kind::ldapSyntaxes, "( '' DESC 'x' )", "an empty quoted OID"},
        {Kind::ldapSyntaxes, "", "nothing at all"},
        {Kind::ldapSyntaxes, "( 1.2.3 NAME '' )", "an empty NAME"},
        {Kind::matchingRules, "( 1.2.3 NAME 'm' )", "a matching rule without SYNTAX"},
        {Kind::matchingRules, "( 1.2.3 NAME 'm' SYNTAX NoSuch:1 )", "a syntax that is no OID"},
        {Kind::matchingRuleUse, "( 1.2.3 NAME 'u' )", "a rule use without APPLIES"},
        {Kind::attributeTypes, "( 1.2.3 NAME 'a' NAME 'b' )", "a repeated field"},
        {Kind::attributeTypes, "( DESC 'nameless' )", "neither OID nor NAME"},
        {Kind::attributeTypes, "( 1.2.3 NAME 'a' SYNTAX NoSuch:15 )", "an unexpanded syntax"},
        {Kind::attributeTypes, "( 1.2.3 NAME 'a' SYNTAX 1.2.3{x} )", "a bound that is no number"},
        {Kind::objectClasses, "( 2.1 NAME '' )", "an empty NAME"},
        {Kind::objectClasses, "( 2.1 NAME 'c' ABSTRACT AUXILIARY )", "two kinds"},
        {Kind::objectClasses, "( 2.1 NAME 'c' x-origin 'a' )", "a lower-case extension"},
        {Kind::objectClasses, "( 2.1 NAME 'c' MUST ( 'cn' ) )", "a quoted member"},
        {Kind::dITContentRules, "( 2.1 NAME 'r' NOT cn NOT sn )", "a repeated NOT"},
        {Kind::dITStructureRules, "( 1 NAME 'r' )", "a structure rule without FORM"},
        {Kind::dITStructureRules, "( 1 FORM f SUP ( ) )", "an empty SUP list"},
        {Kind::dITStructureRules, "( 1 FORM f SUP x )", "a SUP that is no rule id"},
        {Kind::dITStructureRules, "( 1 FORM f SUP 2 SUP 3 )", "SUP twice"},
        {Kind::dITStructureRules, "( 4294967297 FORM f )", "a rule id too large for a number"},
        {Kind::dITStructureRules, "( 77777777777777777777 FORM f )", "a rule id that wraps"},
        {Kind::nameForms, "( 1.2.3 NAME 'f' MUST cn )", "a name form without OC"},
        {Kind::nameForms, "( NoSuch:1 NAME 'f' OC c MUST cn )", "an OID that is no number"},
    };
    for (const Bad& c : cases) {
        EXPECT_FALSE(parseFull(c.kind, c.text, testMacros()).has_value())
            << kindName(c.kind) << ": " << c.why;
    }
}

}  // namespace
}  // namespace schemadesc
