#include "dsclient/conversion.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
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

// The syntax id of the one attribute `description` describes.
std::uint32_t syntaxIdOf(const std::string& description) {
    Descriptions in;
    in.attributeTypes = described({description});
    const SchemaContent out = convertDescriptions(in);
    EXPECT_EQ(out.attrs.code, 0) << description;
    return out.attrs.definitions.empty() ? QX_NO_SYNTAX : out.attrs.definitions[0].syntaxId;
}

TEST(Conversion, StandardAttributesGetTheSyntaxOfTheirKind) {
    struct Case {
        std::string description;
        std::uint32_t id;
    };
    const std::vector<Case> cases = {
        {"( 2.5.4.49 NAME 'distinguishedName' EQUALITY distinguishedNameMatch SYNTAX " + kPrefix +
             "12 )",
         SYN_DIST_NAME},
        {"( 2.5.4.41 NAME 'name' EQUALITY caseIgnoreMatch SYNTAX " + kPrefix + "15{32768} )",
         SYN_CI_STRING},
        {"( 1.3.6.1.4.1.4203.1.3.5 NAME 'exactName' EQUALITY caseExactMatch SYNTAX " + kPrefix +
             "15 )",
         SYN_CE_STRING},
        {"( 2.5.4.3 NAME 'cn' EQUALITY 2.5.13.5 SYNTAX " + kPrefix + "15 )", SYN_CE_STRING},
        {"( 0.9.2342.19200300.100.1.25 NAME 'dc' EQUALITY caseIgnoreIA5Match SYNTAX " + kPrefix +
             "26 SINGLE-VALUE )",
         SYN_CI_STRING},
        {"( 1.3.6.1.1.1.1.3 NAME 'homeDirectory' EQUALITY caseExactIA5Match SYNTAX " + kPrefix +
             "26 SINGLE-VALUE )",
         SYN_CE_STRING},
        {"( 2.5.4.6 NAME 'c' SYNTAX " + kPrefix + "11 SINGLE-VALUE )", SYN_PR_STRING},
        {"( 2.5.4.24 NAME 'x121Address' EQUALITY numericStringMatch SYNTAX " + kPrefix + "36 )",
         SYN_NU_STRING},
        {"( 2.5.4.20 NAME 'telephoneNumber' SYNTAX " + kPrefix + "50 )", SYN_TEL_NUMBER},
        {"( 2.5.4.23 NAME 'facsimileTelephoneNumber' SYNTAX " + kPrefix + "22 )", SYN_FAX_NUMBER},
        {"( 2.5.4.35 NAME 'userPassword' EQUALITY octetStringMatch SYNTAX " + kPrefix + "40 )",
         SYN_OCTET_STRING},
        {"( 2.5.4.36 NAME 'userCertificate' SYNTAX " + kPrefix + "8 )", SYN_OCTET_STRING},
        {"( 1.3.6.1.1.16.4 NAME 'entryUUID' SYNTAX 1.3.6.1.1.16.1 SINGLE-VALUE )",
         SYN_OCTET_STRING},
        {"( 1.3.6.1.1.1.1.0 NAME 'uidNumber' EQUALITY integerMatch SYNTAX " + kPrefix +
             "27 SINGLE-VALUE )",
         SYN_INTEGER},
        {"( 2.5.4.16 NAME 'postalAddress' SYNTAX " + kPrefix + "41 )", SYN_PO_ADDRESS},
        {"( 2.5.4.0 NAME 'objectClass' EQUALITY objectIdentifierMatch SYNTAX " + kPrefix + "38 )",
         SYN_CLASS_NAME},
        {"( 2.5.18.1 NAME 'createTimestamp' SYNTAX " + kPrefix + "24 SINGLE-VALUE )", SYN_TIME},
        {"( 1.3.6.1.4.1.1466.101.120.16 NAME 'ldapSyntaxes' SYNTAX " + kPrefix + "54 )",
         SYN_UNKNOWN},
        {"( 1.2.840.113556.1.4.96 NAME 'pwdLastSet' SYNTAX 1.2.840.113556.1.4.906 )", SYN_INTEGER},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(syntaxIdOf(c.description), c.id) << c.description;
    }
}

// Every syntax the conversion knows, grouped by the id it gets: each maps to
// that id, and near misses of them to SYN_UNKNOWN.
TEST(Conversion, KnownSyntaxesMapToValidIdsAndOthersToUnknown) {
    const std::vector<std::pair<std::uint32_t, Names>> known = {
        {SYN_DIST_NAME, {kPrefix + "12", kPrefix + "34"}},
        {SYN_CE_STRING, {kPrefix + "26", "1.2.840.113556.1.4.1362"}},
        {SYN_CI_STRING, {kPrefix + "15", "1.2.840.113556.1.4.905"}},
        {SYN_PR_STRING, {kPrefix + "44", kPrefix + "11"}},
        {SYN_NU_STRING, {kPrefix + "36"}},
        {SYN_BOOLEAN, {kPrefix + "7"}},
        {SYN_INTEGER, {kPrefix + "27", "1.2.840.113556.1.4.906"}},
        {SYN_OCTET_STRING,
         {kPrefix + "40", kPrefix + "5", kPrefix + "28", kPrefix + "8", kPrefix + "9",
          kPrefix + "10", "1.3.6.1.1.16.1", "1.2.840.113556.1.4.907", "1.2.840.113556.1.4.903",
          "1.2.840.113556.1.4.904"}},
        {SYN_TEL_NUMBER, {kPrefix + "50"}},
        {SYN_FAX_NUMBER, {kPrefix + "22"}},
        {SYN_EMAIL_ADDRESS, {kPrefix + "39"}},
        {SYN_PO_ADDRESS, {kPrefix + "41"}},
        {SYN_CLASS_NAME, {kPrefix + "38"}},
        {SYN_TIME, {kPrefix + "24", kPrefix + "53"}},
    };
    for (const auto& [id, syntaxes] : known) {
        ASSERT_LT(id, SYNTAX_COUNT);
        for (const std::string& syntax : syntaxes) {
            EXPECT_EQ(syntaxIdOf("( 1.1 NAME 'a' SYNTAX " + syntax + " )"), id) << syntax;
        }
    }
    const Names unknown = {
        kPrefix + "1",     kPrefix + "150",         "1.3.6.1.4.1.1466.115.121.15",
        "1.3.6.1.1.16.10", "1.2.840.113556.1.4.90", "2.5.5.5"};
    for (const std::string& syntax : unknown) {
        EXPECT_EQ(syntaxIdOf("( 1.1 NAME 'a' SYNTAX " + syntax + " )"), SYN_UNKNOWN) << syntax;
    }
    // The matching rule makes a string of the other kind only for the two
    // string syntaxes, in any letter case.
    EXPECT_EQ(syntaxIdOf("( 1.1 NAME 'a' SYNTAX " + kPrefix + "15 EQUALITY CASEEXACTMATCH )"),
              SYN_CE_STRING);
    EXPECT_EQ(
        syntaxIdOf("( 1.1 NAME 'a' SYNTAX " + kPrefix + "26 EQUALITY 1.3.6.1.4.1.1466.109.114.2 )"),
        SYN_CI_STRING);
    EXPECT_EQ(syntaxIdOf("( 1.1 NAME 'a' SYNTAX " + kPrefix + "2 EQUALITY caseExactMatch )"),
              SYN_UNKNOWN);
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
    EXPECT_EQ(person->lists[SUPERCLASSES].names(), (Names{"top"}));
    EXPECT_EQ(person->lists[MANDATORY].names(), (Names{"commonName", "commonName", "sn"}));
    EXPECT_EQ(person->lists[OPT].names(), (Names{"1.3", "macroed", "macroed", "missing"}));
    const ClassDefinition* child = findClass(out, "child");
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->lists[SUPERCLASSES].names(), (Names{"person", "top", "nothing"}));
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
        EXPECT_EQ(got.lists[CONTAINMENT].names(), expected[i].containment) << got.name;
        EXPECT_EQ(got.lists[NAMEDBY].names(), expected[i].namedBy) << got.name;
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

// Many definitions, so that references resolve through full tables and the
// classes near both ends of the list are converted like those between:
// every reference form, and each definition keeps its own name afterwards.
TEST(Conversion, ManyReferencesResolveAndDefinitionsKeepTheirNames) {
    constexpr std::size_t kClasses = 150;
    const auto attrName = [](std::size_t i) {
        return i % 7 == 0 ? "1.1." + std::to_string(i) : "attr" + std::to_string(i);
    };
    const auto upper = [](std::string text) {
        for (char& c : text) {
            c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        }
        return text;
    };
    Names attrs;
    for (std::size_t i = 0; i < 3 * kClasses; ++i) {
        const std::string oid = "1.1." + std::to_string(i);
        attrs.push_back(i % 7 == 0 ? "( " + oid + " )"
                                   : "( " + oid + " NAME '" + attrName(i) + "' )");
    }
    Names classes;
    for (std::size_t j = 0; j < kClasses; ++j) {
        // The last class refers back to the first, the others to the one before.
        const std::size_t superior = j == 0 ? kClasses - 1 : j - 1;
        std::string text = "( 2.2." + std::to_string(j) + " NAME 'class" + std::to_string(j) +
                           "' SUP CLASS" + std::to_string(superior);
        text += " MUST ( " + upper(attrName(3 * j)) + " $ 1.1." + std::to_string(3 * j + 1) + " )";
        text += " MAY ( A:" + std::to_string(3 * j + 2) + " $ missing" + std::to_string(j) + " ) )";
        classes.push_back(text);
    }
    Descriptions in;
    in.attributeTypes = described(attrs);
    in.objectClasses = described(classes);
    in.oidMacros = {{"A", "1.1"}};
    const SchemaContent out = convertDescriptions(std::move(in));
    ASSERT_EQ(out.attrs.code, 0) << out.attrs.diagnostic;
    ASSERT_EQ(out.classes.code, 0) << out.classes.diagnostic;
    ASSERT_EQ(out.attrs.definitions.size(), 3 * kClasses);
    for (std::size_t i = 0; i < out.attrs.definitions.size(); ++i) {
        EXPECT_EQ(out.attrs.definitions[i].name, attrName(i));
    }
    ASSERT_EQ(out.classes.definitions.size(), kClasses);
    for (std::size_t j = 0; j < kClasses; ++j) {
        const ClassDefinition& definition = out.classes.definitions[j];
        const std::size_t superior = j == 0 ? kClasses - 1 : j - 1;
        EXPECT_EQ(definition.name, "class" + std::to_string(j));
        EXPECT_EQ(definition.lists[SUPERCLASSES].names(),
                  (Names{"class" + std::to_string(superior)}));
        EXPECT_EQ(definition.lists[MANDATORY].names(),
                  (Names{attrName(3 * j), attrName(3 * j + 1)}));
        EXPECT_EQ(definition.lists[OPT].names(),
                  (Names{attrName(3 * j + 2), "missing" + std::to_string(j)}));
    }
}

}  // namespace
}  // namespace dsclient
