#include "dsclient/conversion.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dscontext/dsclient.h"

namespace dsclient {
namespace {

using Names = std::vector<std::string>;

const std::string kPrefix = "1.3.6.1.4.1.1466.115.121.1.";

std::vector<Description> described(const Names& texts) {
    std::vector<Description> result;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        result.push_back({texts[i], "t.schema:" + std::to_string(i + 1)});
    }
    return result;
}

const ClassDefinition* findClass(const SchemaContent& content, const std::string& name) {
    for (const ClassDefinition& definition : content.classes.definitions) {
        if (definition.name == name) {
            return &definition;
        }
    }
    return nullptr;
}

TEST(Conversion, SyntaxOidsMapToIds) {
    struct Case {
        std::string syntax;
        std::string equality;
        std::uint32_t id;
    };
    const std::vector<Case> cases = {
        {kPrefix + "12", "", 1},
        {kPrefix + "34", "", 1},
        {kPrefix + "15", "", 3},
        {kPrefix + "15", "caseExactMatch", 2},
        {kPrefix + "15", "CASEEXACTMATCH", 2},
        {kPrefix + "15", "2.5.13.5", 2},
        {kPrefix + "15", "caseIgnoreMatch", 3},
        {kPrefix + "26", "", 2},
        {kPrefix + "26", "caseIgnoreIA5Match", 3},
        {kPrefix + "26", "caseignoreia5match", 3},
        {kPrefix + "26", "1.3.6.1.4.1.1466.109.114.2", 3},
        {kPrefix + "26", "caseExactIA5Match", 2},
        {kPrefix + "44", "", 4},
        {kPrefix + "11", "", 4},
        {kPrefix + "36", "", 5},
        {kPrefix + "7", "", 7},
        {kPrefix + "27", "", 8},
        {kPrefix + "40", "", 9},
        {kPrefix + "5", "", 9},
        {kPrefix + "28", "", 9},
        {kPrefix + "8", "", 9},
        {kPrefix + "9", "", 9},
        {kPrefix + "10", "", 9},
        {"1.3.6.1.1.16.1", "", 9},
        {"1.2.840.113556.1.4.906", "", 8},
        {"1.2.840.113556.1.4.905", "", 3},
        {"1.2.840.113556.1.4.1362", "", 2},
        {"1.2.840.113556.1.4.907", "", 9},
        {"1.2.840.113556.1.4.903", "", 9},
        {"1.2.840.113556.1.4.904", "", 9},
        {kPrefix + "50", "", 10},
        {kPrefix + "22", "", 11},
        {kPrefix + "39", "", 14},
        {kPrefix + "41", "", 18},
        {kPrefix + "38", "", 20},
        {kPrefix + "24", "", 24},
        {kPrefix + "53", "", 24},
        // Everything else, including near misses of the list.
        {kPrefix + "1", "", 0},
        {kPrefix + "150", "", 0},
        {kPrefix + "2", "caseExactMatch", 0},
        {"1.3.6.1.4.1.1466.115.121.15", "", 0},
        {"1.3.6.1.1.16.10", "", 0},
        {"1.2.840.113556.1.4.90", "", 0},
        {"2.5.5.5", "", 0},
    };
    for (const Case& c : cases) {
        std::string text = "( 1.1 NAME 'a' SYNTAX " + c.syntax;
        if (!c.equality.empty()) {
            text += " EQUALITY " + c.equality;
        }
        Descriptions in;
        in.attributeTypes = described({text + " )"});
        const SchemaContent out = convertDescriptions(in);
        ASSERT_EQ(out.attrs.code, 0) << text;
        ASSERT_EQ(out.attrs.definitions.size(), 1u);
        EXPECT_EQ(out.attrs.definitions[0].syntaxId, c.id) << text;
    }
}

// Each case converts `attrs` and checks the last one.
TEST(Conversion, AttributeFlagsAndEffectiveSyntax) {
    const std::string ds = kPrefix + "15";
    const std::string ia5 = kPrefix + "26";
    struct Case {
        const char* what;
        Names attrs;
        std::uint32_t flags;
        std::uint32_t syntaxId;
    };
    const std::vector<Case> cases = {
        {"plain", {"( 1.1 NAME 'a' SYNTAX " + kPrefix + "27 )"}, 0, 8},
        {"single",
         {"( 1.1 NAME 'a' SYNTAX " + kPrefix + "27 SINGLE-VALUE )"},
         DS_SINGLE_VALUED_ATTR,
         8},
        {"bound", {"( 1.1 NAME 'a' SYNTAX " + kPrefix + "27{4} )"}, DS_SIZED_ATTR, 8},
        {"zero bound", {"( 1.1 NAME 'a' SYNTAX " + kPrefix + "27{0} )"}, 0, 8},
        {"empty bound", {"( 1.1 NAME 'a' SYNTAX " + kPrefix + "27{} )"}, 0, 8},
        {"read only",
         {"( 1.1 NAME 'a' SYNTAX " + kPrefix + "27 NO-USER-MODIFICATION )"},
         DS_READ_ONLY_ATTR,
         8},
        {"user usage", {"( 1.1 NAME 'a' SYNTAX " + kPrefix + "27 USAGE userApplications )"}, 0, 8},
        {"directory operation",
         {"( 1.1 NAME 'a' SYNTAX " + kPrefix + "27 USAGE directoryOperation )"},
         DS_HIDDEN_ATTR,
         8},
        {"distributed operation",
         {"( 1.1 NAME 'a' SYNTAX " + kPrefix + "27 USAGE distributedOperation )"},
         DS_HIDDEN_ATTR,
         8},
        {"dsa operation",
         {"( 1.1 NAME 'a' SYNTAX " + kPrefix + "27 USAGE dSAOperation )"},
         DS_HIDDEN_ATTR | DS_PER_REPLICA,
         8},
        {"string 2", {"( 1.1 NAME 'a' SYNTAX " + ia5 + " )"}, DS_STRING_ATTR, 2},
        {"string 3", {"( 1.1 NAME 'a' SYNTAX " + ds + " )"}, DS_STRING_ATTR, 3},
        {"string 4", {"( 1.1 NAME 'a' SYNTAX " + kPrefix + "44 )"}, DS_STRING_ATTR, 4},
        {"string 5", {"( 1.1 NAME 'a' SYNTAX " + kPrefix + "36 )"}, DS_STRING_ATTR, 5},
        {"string 10", {"( 1.1 NAME 'a' SYNTAX " + kPrefix + "50 )"}, DS_STRING_ATTR, 10},
        {"no syntax", {"( 1.1 NAME 'a' )"}, 0, QX_NO_SYNTAX},
        {"syntax of the sup",
         {"( 1.1 NAME 'top' SYNTAX " + ds + "{32} )", "( 1.2 NAME 'mid' SUP top )",
          "( 1.3 NAME 'a' SUP mid )"},
         DS_SIZED_ATTR | DS_STRING_ATTR,
         3},
        {"own syntax before the sup's",
         {"( 1.1 NAME 'top' SYNTAX " + ds + "{32} )",
          "( 1.3 NAME 'a' SUP top SYNTAX " + kPrefix + "27 )"},
         0,
         8},
        {"equality of the sup",
         {"( 1.1 NAME 'top' EQUALITY caseExactMatch )",
          "( 1.3 NAME 'a' SUP top SYNTAX " + ds + " )"},
         DS_STRING_ATTR,
         2},
        {"own equality before the sup's",
         {"( 1.1 NAME 'top' EQUALITY caseExactMatch SYNTAX " + ds + " )",
          "( 1.3 NAME 'a' SUP top EQUALITY caseIgnoreMatch )"},
         DS_STRING_ATTR,
         3},
        {"sup not defined", {"( 1.3 NAME 'a' SUP nowhere )"}, 0, QX_NO_SYNTAX},
        {"sup chain loops",
         {"( 1.1 NAME 'b' SUP a )", "( 1.2 NAME 'c' SUP b )", "( 1.3 NAME 'a' SUP c )"},
         0,
         QX_NO_SYNTAX},
        {"loop above a syntax",
         {"( 1.1 NAME 'b' SUP a SYNTAX " + ds + " )", "( 1.3 NAME 'a' SUP b )"},
         DS_STRING_ATTR,
         3},
        {"sup by alias and by oid",
         {"( 1.1 NAME ( 'first' 'second' ) SYNTAX " + kPrefix + "27 )",
          "( 1.2 NAME 'mid' SUP 1.1 )", "( 1.3 NAME 'a' SUP SECOND )"},
         0,
         8},
        {"flags are not inherited",
         {"( 1.1 NAME 'top' SYNTAX " + kPrefix +
              "27 SINGLE-VALUE NO-USER-MODIFICATION USAGE dSAOperation )",
          "( 1.3 NAME 'a' SUP top )"},
         0,
         8},
    };
    for (const Case& c : cases) {
        Descriptions in;
        in.attributeTypes = described(c.attrs);
        const SchemaContent out = convertDescriptions(in);
        ASSERT_EQ(out.attrs.code, 0) << c.what << ": " << out.attrs.diagnostic;
        ASSERT_EQ(out.attrs.definitions.size(), c.attrs.size()) << c.what;
        const AttrDefinition& last = out.attrs.definitions.back();
        EXPECT_EQ(last.name, "a") << c.what;
        EXPECT_EQ(last.flags, c.flags) << c.what;
        EXPECT_EQ(last.syntaxId, c.syntaxId) << c.what;
    }
}

TEST(Conversion, NamesAndKindFlags) {
    Descriptions in;
    in.objectClasses = described({
        "( 2.1 NAME ( 'first' 'second' ) STRUCTURAL )",
        "( 2.2 NAME 'plain' )",
        "( 2.3 NAME 'aux' AUXILIARY )",
        "( 2.4 NAME 'abs' ABSTRACT )",
        "( 2.5 )",
        "( '2.6' NAME ( ) )",
        "( Macro:7 )",
        "( 2.8 NAME 'trailing' ) text after the end",
    });
    in.attributeTypes = described({"( 1.9 )", "( 'Macro:10' DESC 'x' )"});
    in.ldapSyntaxes = described({
        "( 1.3.6.1.4.1.1466.115.121.1.15 NAME 'ds' DESC 'Directory String' )",
        "( 3.2 X-NOT-HUMAN-READABLE 'TRUE' )",
        "( 3.3 X-NOT-HUMAN-READABLE 'true' )",
        "( 3.4 X-not-human-readable ( 'FALSE' 'TRUE' ) )",
        "( 3.5 X-NOT-HUMAN-READABLE 'FALSE' )",
        "( Macro:6 )",
    });
    in.oidMacros = {{"Macro", "9.9"}, {"Macro", "8.8"}};
    const SchemaContent out = convertDescriptions(in);
    ASSERT_EQ(out.classes.code, 0) << out.classes.diagnostic;
    const std::vector<std::pair<std::string, std::uint32_t>> classes = {
        {"first", DS_EFFECTIVE_CLASS}, {"plain", DS_EFFECTIVE_CLASS},
        {"aux", DS_AUXILIARY_CLASS},   {"abs", 0},
        {"2.5", DS_EFFECTIVE_CLASS},   {"2.6", DS_EFFECTIVE_CLASS},
        {"9.9.7", DS_EFFECTIVE_CLASS}, {"trailing", DS_EFFECTIVE_CLASS},
    };
    ASSERT_EQ(out.classes.definitions.size(), classes.size());
    for (std::size_t i = 0; i < classes.size(); ++i) {
        EXPECT_EQ(out.classes.definitions[i].name, classes[i].first);
        EXPECT_EQ(out.classes.definitions[i].flags, classes[i].second) << classes[i].first;
    }
    ASSERT_EQ(out.attrs.code, 0) << out.attrs.diagnostic;
    ASSERT_EQ(out.attrs.definitions.size(), 2u);
    EXPECT_EQ(out.attrs.definitions[0].name, "1.9");
    EXPECT_EQ(out.attrs.definitions[1].name, "9.9.10");
    ASSERT_EQ(out.syntaxes.code, 0) << out.syntaxes.diagnostic;
    const std::vector<std::pair<std::string, std::uint16_t>> syntaxes = {
        {kPrefix + "15", DS_STRING}, {"3.2", 0},           {"3.3", 0}, {"3.4", 0},
        {"3.5", DS_STRING},          {"9.9.6", DS_STRING},
    };
    ASSERT_EQ(out.syntaxes.definitions.size(), syntaxes.size());
    for (std::size_t i = 0; i < syntaxes.size(); ++i) {
        EXPECT_EQ(out.syntaxes.definitions[i].name, syntaxes[i].first);
        EXPECT_EQ(out.syntaxes.definitions[i].flags, syntaxes[i].second) << syntaxes[i].first;
    }
}

TEST(Conversion, ReferencesResolveByNameThenOid) {
    Descriptions in;
    in.attributeTypes = described({
        "( 1.1 NAME ( 'commonName' 'cn' ) )", "( 1.2 NAME 'sn' )", "( 1.3 )",
        "( Attrs:4 NAME 'macroed' )",
        "( 1.5 NAME 'CN' )",  // a later definition of a taken name
    });
    in.objectClasses = described({
        "( 2.1 NAME 'top' ABSTRACT )",
        "( 2.2 NAME ( 'person' 'human' ) SUP TOP MUST ( CN $ commonName $ 1.2 ) MAY ( 1.3 $ "
        "Attrs:4 $ 1.1.4 $ missing ) )",
        "( 2.3 NAME 'child' SUP ( Human $ 2.1 $ nothing ) )",
        "( 2.4 NAME 'top' )",
    });
    in.oidMacros = {{"Attrs", "1.1"}};
    const SchemaContent out = convertDescriptions(in);
    ASSERT_EQ(out.classes.code, 0) << out.classes.diagnostic;
    const ClassDefinition* person = findClass(out, "person");
    ASSERT_NE(person, nullptr);
    EXPECT_EQ(person->lists[0], (Names{"top"}));
    EXPECT_EQ(person->lists[3], (Names{"commonName", "commonName", "sn"}));
    EXPECT_EQ(person->lists[4], (Names{"1.3", "macroed", "macroed", "missing"}));
    const ClassDefinition* child = findClass(out, "child");
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->lists[0], (Names{"person", "top", "nothing"}));
    // Both definitions named "top" are listed; references go to the first.
    ASSERT_EQ(out.classes.definitions.size(), 4u);
    EXPECT_EQ(out.classes.definitions[3].name, "top");
    EXPECT_EQ(out.classes.definitions[3].flags, static_cast<std::uint32_t>(DS_EFFECTIVE_CLASS));
}

TEST(Conversion, OidMacrosExpandWhereTheServerExpandsThem) {
    Descriptions in;
    in.oidMacros = {
        {"Root", "1.2.840"}, {"Syn", "Root:5"},    {"DS", "1.3.6.1.4.1.1466.115.121.1.15"},
        {"Eq", "2.5.13.5"},  {"LoopA", "LoopB:1"}, {"LoopB", "LoopA:1"},
        {"root", "7.7"},
    };
    in.attributeTypes = described({
        "( Syn:1 NAME 'a' SYNTAX DS EQUALITY Eq )",
        "( Syn:2 NAME 'b' SUP 1.2.840.5.1 )",
        "( root:3 NAME 'c' SUP Syn:1 )",
        "( 1.4 NAME 'd' SYNTAX LoopA:2 )",
    });
    const SchemaContent out = convertDescriptions(in);
    // A looping macro leaves a SYNTAX that is no OID: that attribute fails.
    EXPECT_EQ(out.attrs.code, QXERR_CANNOT_PARSE);
    EXPECT_EQ(out.attrs.diagnostic,
              "t.schema:4: attribute type does not parse: ( 1.4 NAME 'd' SYNTAX LoopA:2 )");
    in.attributeTypes.pop_back();
    const SchemaContent fixed = convertDescriptions(in);
    ASSERT_EQ(fixed.attrs.code, 0) << fixed.attrs.diagnostic;
    ASSERT_EQ(fixed.attrs.definitions.size(), 3u);
    EXPECT_EQ(fixed.attrs.definitions[0].syntaxId, 2u);  // caseExactMatch by OID
    EXPECT_EQ(fixed.attrs.definitions[1].syntaxId, 2u);  // SUP by expanded OID
    EXPECT_EQ(fixed.attrs.definitions[2].syntaxId, 2u);  // SUP written as a macro
}

TEST(Conversion, NameFormsAndStructureRules) {
    Descriptions in;
    in.objectClasses = described({
        "( 2.1 NAME 'country' )",
        "( 2.2 NAME 'organization' )",
        "( 2.3 NAME 'person' )",
        "( 2.4 NAME 'loner' )",
    });
    in.attributeTypes = described({"( 1.1 NAME ( 'cn' 'commonName' ) )", "( 1.2 NAME 'o' )"});
    in.nameForms = described({
        "( 3.1 NAME 'countryForm' OC country MUST c )",
        "( 3.2 NAME 'orgForm' OC Organization MUST o MAY ( cn $ O ) )",
        "( 3.3 NAME 'personForm' OC 2.3 MUST commonName MAY cn )",
        "( 3.4 NAME 'orgByCn' OC organization MUST cn )",
        "( 3.5 NAME 'ghostForm' OC ghost MUST cn )",
    });
    in.structureRules = described({
        "( 1 NAME 'countryRule' FORM countryForm )",
        "( 2 FORM orgForm SUP ( 1 2 ) )",
        "( 3 FORM 3.3 SUP 2 )",
        "( 4 FORM personForm SUP ( 3 9 5 ) )",
        "( 5 FORM ghostForm )",
        "( 1 FORM personForm )",  // a later rule of a taken id counts for nothing
        "( 6 FORM noSuchForm SUP 1 )",
    });
    const SchemaContent out = convertDescriptions(in);
    ASSERT_EQ(out.classes.code, 0) << out.classes.diagnostic;
    struct Expected {
        std::string name;
        std::uint32_t flags;
        Names containment;
        Names namedBy;
    };
    const std::vector<Expected> expected = {
        {"country", DS_EFFECTIVE_CLASS | DS_CONTAINER_CLASS, {}, {"c"}},
        {"organization",
         DS_EFFECTIVE_CLASS | DS_CONTAINER_CLASS,
         {"country", "organization"},
         {"o", "cn"}},
        {"person",
         DS_EFFECTIVE_CLASS | DS_CONTAINER_CLASS,
         {"organization", "person", "ghost"},
         {"cn"}},
        {"loner", DS_EFFECTIVE_CLASS, {}, {}},
    };
    ASSERT_EQ(out.classes.definitions.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const ClassDefinition& got = out.classes.definitions[i];
        EXPECT_EQ(got.name, expected[i].name);
        EXPECT_EQ(got.flags, expected[i].flags) << got.name;
        EXPECT_EQ(got.lists[1], expected[i].containment) << got.name;
        EXPECT_EQ(got.lists[2], expected[i].namedBy) << got.name;
    }
}

TEST(Conversion, UnparsableDescriptionsFailTheirKindOnly) {
    enum Kind { kClass, kAttr, kSyntax, kForm, kRule };
    struct Case {
        Kind kind;
        std::string text;
        std::string message;  // the diagnostic after "t.schema:1: "
    };
    const std::string longName(80, 'x');
    const std::vector<Case> cases = {
        {kClass, "( 2.1 NAME 'a' NAME 'b' )",
         "object class does not parse: ( 2.1 NAME 'a' NAME 'b' )"},
        {kClass, "( 2.1 AUXILIARY STRUCTURAL )", ""},
        {kClass, "( 2.1 NAME 'a' x-lower 'b' )", ""},
        {kClass, "( 2.1 NAME 'a' MUST ( 'cn' $ sn ) )", ""},
        {kClass, "( DESC 'neither oid nor name' )", ""},
        {kClass, "( 2.1 NAME '' )", ""},
        {kClass, "( 2.1 NAME 'a'", ""},
        {kClass, "", "object class does not parse: "},
        {kClass, std::string("( 2.1 NAME 'a' )\0 MUST x", 24), ""},
        {kAttr, "( 1.1 NAME 'a' SYNTAX notAnOid )", ""},
        {kAttr, "( 1.1 NAME 'a' SYNTAX 1.2.3{abc} )", ""},
        {kAttr, "( DESC 'nothing' )", ""},
        {kAttr, "( 1.1 NAME '" + longName + "' SINGLE-VALUE SINGLE-VALUE )",
         "attribute type does not parse: ( 1.1 NAME '" + longName.substr(0, 48) + " ..."},
        {kAttr, "( 1.1\n\tNAME 'a'\n\tSUP 'b' )",
         "attribute type does not parse: ( 1.1 NAME 'a' SUP 'b' )"},
        {kSyntax, "( mySyntax DESC 'x' )", "syntax does not parse: ( mySyntax DESC 'x' )"},
        {kSyntax, "( '1.2' DESC 'x' )", ""},
        {kForm, "( 3.1 NAME 'f' OC person )",
         "name form does not parse: ( 3.1 NAME 'f' OC person )"},
        {kForm, "( noMacro:1 NAME 'f' OC person MUST cn )", ""},
        {kRule, "( 1 FORM f SUP x )", "DIT structure rule does not parse: ( 1 FORM f SUP x )"},
        {kRule, "( 1 FORM f SUP 2 SUP 3 )", ""},
        {kRule, "( 1 FORM f SUP ( 2 3 )", ""},
        {kRule, "( 1 FORM f SUP )", ""},
        {kRule, "( 1 )", ""},
    };
    for (const Case& c : cases) {
        Descriptions in;
        in.objectClasses = described({"( 2.9 NAME 'fine' )"});
        in.attributeTypes = described({"( 1.9 NAME 'fine' )"});
        in.ldapSyntaxes = described({"( 3.9 )"});
        const std::vector<Description> bad = {{c.text, "t.schema:1"}};
        switch (c.kind) {
            case kClass:
                in.objectClasses.insert(in.objectClasses.begin(), bad.front());
                break;
            case kAttr:
                in.attributeTypes.insert(in.attributeTypes.begin(), bad.front());
                break;
            case kSyntax:
                in.ldapSyntaxes.insert(in.ldapSyntaxes.begin(), bad.front());
                break;
            case kForm:
                in.nameForms = bad;
                break;
            case kRule:
                in.structureRules = bad;
                break;
        }
        const SchemaContent out = convertDescriptions(in);
        const bool classFails = c.kind == kClass || c.kind == kForm || c.kind == kRule;
        EXPECT_EQ(out.classes.code, classFails ? QXERR_CANNOT_PARSE : 0) << c.text;
        EXPECT_EQ(out.attrs.code, c.kind == kAttr ? QXERR_CANNOT_PARSE : 0) << c.text;
        EXPECT_EQ(out.syntaxes.code, c.kind == kSyntax ? QXERR_CANNOT_PARSE : 0) << c.text;
        EXPECT_EQ(out.classes.definitions.size(), classFails ? 0u : 1u) << c.text;
        EXPECT_EQ(out.attrs.definitions.size(), c.kind == kAttr ? 0u : 1u) << c.text;
        EXPECT_EQ(out.syntaxes.definitions.size(), c.kind == kSyntax ? 0u : 1u) << c.text;
        const std::string& diagnostic = classFails        ? out.classes.diagnostic
                                        : c.kind == kAttr ? out.attrs.diagnostic
                                                          : out.syntaxes.diagnostic;
        EXPECT_EQ(diagnostic.rfind("t.schema:1: ", 0), 0u) << diagnostic;
        EXPECT_EQ(diagnostic.find('\n'), std::string::npos) << diagnostic;
        if (!c.message.empty()) {
            EXPECT_EQ(diagnostic, "t.schema:1: " + c.message);
        }
    }
}

TEST(Conversion, FirstFailureOfAKindIsReportedAndEntriesCarryOver) {
    Descriptions in;
    in.attributeTypes = {{"( 1.1 NAME 'a' )", "a.schema:1"},
                         {"( 1.2 NAME 'b' NAME 'c' )", "a.schema:2"},
                         {"( 1.3 bad )", "b.schema:9"}};
    in.entries = {"cn=core,cn=schema,cn=config"};
    const SchemaContent out = convertDescriptions(in);
    EXPECT_EQ(out.attrs.code, QXERR_CANNOT_PARSE);
    EXPECT_EQ(out.attrs.diagnostic.rfind("a.schema:2: ", 0), 0u) << out.attrs.diagnostic;
    EXPECT_EQ(out.entries, in.entries);
}

}  // namespace
}  // namespace dsclient
