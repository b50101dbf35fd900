#include "fullschema/comparison.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "sampleschema.h"

using fullschema::Change;
using fullschema::Comparison;
using fullschema::Difference;
using fullschema::FullDefinition;
using fullschema::Kind;
using fullschema::Severity;
using fullschema::Value;

namespace {

using Edit = std::function<void(FullDefinition&)>;

Comparison compared(const sample::Definitions& a, const sample::Definitions& b,
                    bool strict = false) {
    return fullschema::compareSchemas(sample::schema(a), sample::schema(b), strict);
}

// "attributeTypes cn SUP breaking", one line per difference.
std::string summary(const Comparison& comparison) {
    std::string text;
    for (const Difference& difference : comparison.differences) {
        text += std::to_string(schemadesc::kindIndex(difference.kind)) + " " + difference.name +
                " " +
                (difference.change == Change::onlyInA   ? "onlyInA"
                 : difference.change == Change::onlyInB ? "onlyInB"
                                                        : difference.field) +
                " " + std::string(fullschema::severityName(difference.severity)) + "\n";
    }
    return text;
}

Value list(std::vector<std::string> members) {
    return Value::ofList(std::move(members));
}

const Severity breaking = Severity::breaking;
const Severity compatible = Severity::compatible;
const Severity cosmetic = Severity::cosmetic;

}  // namespace

// Each row changes one field of one definition, in B (or in A, to clear or
// remove what B then lacks), and is found as that one difference.
TEST(Comparison, EachChangeHasItsSeverity) {
    struct Row {  // NOLINT(clang-analyzer-optin.performance.Padding): read as a table
        Kind kind;
        const char* name;
        Edit inA;
        Edit inB;
        const char* field;
        Severity severity;
        bool strict = false;
    };
    const auto add = [](std::vector<std::string> FullDefinition::*member, const char* value) {
        return [member, value](FullDefinition& d) { (d.*member).push_back(value); };
    };
    const auto drop = [](std::vector<std::string> FullDefinition::*member) {
        return [member](FullDefinition& d) { (d.*member).pop_back(); };
    };
    const Edit none;
    const Kind at = Kind::attributeTypes;
    const Kind oc = Kind::objectClasses;
    const Kind cr = Kind::dITContentRules;
    const Kind nf = Kind::nameForms;
    const Row rows[] = {
        {at, "cn", none, [](auto& d) { d.oid = "1.2.3"; }, "OID", breaking},
        {at, "cn", none, drop(&FullDefinition::names), "NAME", breaking},
        {at, "cn", none, add(&FullDefinition::names, "cName"), "NAME", compatible},
        {at, "cn", none,
         [](auto& d) {
             d.names = {"commonName", "CN"};
         },
         "NAME", cosmetic, true},
        {at, "cn", none, [](auto& d) { d.desc = "common"; }, "DESC", cosmetic, true},
        {at, "description", none, [](auto& d) { d.extensions[0].values = {"RFC 2256"}; },
         "X-ORIGIN", cosmetic, true},
        {Kind::ldapSyntaxes, sample::ia5String.c_str(), none, [](auto& d) { d.desc = "IA5"; },
         "DESC", cosmetic, true},
        {at, "cn", none, [](auto& d) { d.obsolete = true; }, "OBSOLETE", compatible},
        {oc, "person", [](auto& d) { d.obsolete = true; }, none, "OBSOLETE", compatible},
        {at, "title", none, [](auto& d) { d.superiors = {"cn"}; }, "SUP", breaking},
        {at, "cn", none, [](auto& d) { d.usage = "dSAOperation"; }, "USAGE", breaking},
        {at, "cn", none, [](auto& d) { d.collective = true; }, "COLLECTIVE", breaking},
        {at, "name", none, [](auto& d) { d.syntax = sample::ia5String; }, "SYNTAX", breaking},
        {at, "objectClass", none, [](auto& d) { d.syntaxLength = 64; }, "SYNTAX", breaking},
        {at, "description", none, [](auto& d) { d.syntaxLength = 512; }, "SYNTAX", breaking},
        {at, "description", none, [](auto& d) { d.syntaxLength = 0; }, "SYNTAX", compatible},
        {at, "description", none, [](auto& d) { d.syntaxLength = 4096; }, "SYNTAX", compatible},
        {at, "description", none, [](auto& d) { d.equality = "caseExactMatch"; }, "EQUALITY",
         breaking},
        {at, "description", none, [](auto& d) { d.equality.clear(); }, "EQUALITY", breaking},
        {at, "description", none, [](auto& d) { d.ordering = "2.5.13.3"; }, "ORDERING", compatible},
        {at, "name", none, [](auto& d) { d.substr.clear(); }, "SUBSTR", breaking},
        {at, "cn", none, [](auto& d) { d.singleValue = true; }, "SINGLE-VALUE", breaking},
        {at, "cn", [](auto& d) { d.singleValue = true; }, none, "SINGLE-VALUE", compatible},
        {at, "cn", none, [](auto& d) { d.noUserModification = true; }, "NO-USER-MODIFICATION",
         breaking},
        {at, "cn", [](auto& d) { d.noUserModification = true; }, none, "NO-USER-MODIFICATION",
         compatible},
        {oc, "organizationalPerson", none, [](auto& d) { d.superiors = {"top"}; }, "SUP", breaking},
        {oc, "person", none, [](auto& d) { d.classKind = "AUXILIARY"; }, "KIND", breaking},
        {oc, "person", none, add(&FullDefinition::must, "description"), "MUST", breaking},
        {oc, "person", none, drop(&FullDefinition::must), "MUST", compatible},
        {oc, "person", none, drop(&FullDefinition::may), "MAY", breaking},
        {oc, "person", none, add(&FullDefinition::may, "title"), "MAY", compatible},
        {cr, "personRule", none, add(&FullDefinition::must, "sn"), "MUST", breaking},
        {cr, "personRule", none, drop(&FullDefinition::must), "MUST", compatible},
        {cr, "personRule", none, drop(&FullDefinition::may), "MAY", breaking},
        {cr, "personRule", none, add(&FullDefinition::may, "sn"), "MAY", compatible},
        {cr, "personRule", none, drop(&FullDefinition::aux), "AUX", breaking},
        {cr, "personRule", none, add(&FullDefinition::aux, "top"), "AUX", compatible},
        {cr, "personRule", none, add(&FullDefinition::notAllowed, "title"), "NOT", breaking},
        {cr, "personRule", none, drop(&FullDefinition::notAllowed), "NOT", compatible},
        {nf, "personForm", none, add(&FullDefinition::must, "sn"), "MUST", breaking},
        {nf, "personForm", none, drop(&FullDefinition::must), "MUST", compatible},
        {nf, "personForm", none, drop(&FullDefinition::may), "MAY", breaking},
        {nf, "personForm", none, add(&FullDefinition::may, "title"), "MAY", compatible},
        {nf, "personForm", none, [](auto& d) { d.objectClass = "top"; }, "OC", breaking},
        {Kind::matchingRules, "caseExactMatch", none, [](auto& d) { d.syntax = sample::ia5String; },
         "SYNTAX", breaking},
        {Kind::matchingRuleUse, "caseIgnoreMatch", none, drop(&FullDefinition::applies), "APPLIES",
         breaking},
        {Kind::matchingRuleUse, "caseIgnoreMatch", none, add(&FullDefinition::applies, "title"),
         "APPLIES", compatible},
        {Kind::dITStructureRules, "2", none, [](auto& d) { d.form = "personForm"; }, "FORM",
         breaking},
        {Kind::dITStructureRules, "2", none, [](auto& d) { d.superiors.clear(); }, "SUP", breaking},
    };
    for (const Row& row : rows) {
        sample::Definitions a = sample::definitions();
        sample::Definitions b = sample::definitions();
        if (row.inA) {
            row.inA(sample::named(a, row.kind, row.name));
        }
        if (row.inB) {
            row.inB(sample::named(b, row.kind, row.name));
        }
        const std::string expected = std::to_string(schemadesc::kindIndex(row.kind)) + " " +
                                     row.name + " " + row.field + " " +
                                     std::string(fullschema::severityName(row.severity)) + "\n";
        const Comparison comparison = compared(a, b, row.strict);
        EXPECT_EQ(summary(comparison), expected);
        EXPECT_EQ(comparison.counts[static_cast<std::size_t>(row.severity)], 1U) << expected;
        if (row.strict) {
            EXPECT_EQ(summary(compared(a, b, false)), "") << expected;
        }
    }
    // A definition of any kind only in A breaks; only in B it is compatible.
    // What named it on the other side still names it by its text.
    for (const Kind kind : schemadesc::allKinds) {
        sample::Definitions full = sample::definitions();
        sample::Definitions less = sample::definitions();
        sample::of(less, kind).erase(sample::of(less, kind).begin());
        const FullDefinition& first = sample::of(full, kind)[0];
        const bool byOid = kind == Kind::ldapSyntaxes || kind == Kind::dITStructureRules;
        const std::string name = byOid ? first.oid : first.names[0];
        const std::string prefix = std::to_string(schemadesc::kindIndex(kind)) + " " + name;
        EXPECT_EQ(summary(compared(full, less)), prefix + " onlyInA breaking\n");
        EXPECT_EQ(summary(compared(less, full)), prefix + " onlyInB compatible\n");
    }
}

TEST(Comparison, PairsByOidThenByNameInSourceOrder) {
    sample::Definitions a = sample::definitions();
    sample::Definitions b = sample::definitions();
    // An OID changed under the same name, and a rename under the same OID.
    sample::named(b, Kind::attributeTypes, "cn").oid = "1.2.3";
    sample::named(b, Kind::attributeTypes, "sn").names = {"lastName", "surname"};
    // Two unrelated types share a NAME; the OID of A's is elsewhere in B.
    sample::of(a, Kind::attributeTypes).push_back({.oid = "9.1", .names = {"shared"}});
    sample::of(b, Kind::attributeTypes).push_back({.oid = "9.2", .names = {"shared"}});
    sample::of(b, Kind::attributeTypes).push_back({.oid = "9.1", .names = {"own"}});
    // Of two of A's classes that share a NAME, the first takes B's one.
    sample::of(a, Kind::objectClasses).push_back({.oid = "9.3", .names = {"twice"}});
    sample::of(a, Kind::objectClasses).push_back({.oid = "9.4", .names = {"twice"}});
    sample::of(b, Kind::objectClasses).push_back({.oid = "9.5", .names = {"TWICE"}});
    // Content rules pair by OID alone, whatever their names.
    sample::named(b, Kind::dITContentRules, "orgPersonRule").oid = "9.6";
    const Comparison comparison = compared(a, b);
    EXPECT_EQ(summary(comparison),
              "3 cn OID breaking\n"
              "3 shared onlyInB compatible\n"
              "3 shared NAME breaking\n"
              "3 sn NAME breaking\n"
              "4 twice onlyInA breaking\n"
              "4 twice OID breaking\n"
              "5 orgPersonRule onlyInA breaking\n"
              "5 orgPersonRule onlyInB compatible\n");
    const Difference& oid = comparison.differences[0];
    EXPECT_EQ(oid.oid, "2.5.4.3");
    EXPECT_EQ(oid.a, Value::ofText("2.5.4.3"));
    EXPECT_EQ(oid.b, Value::ofText("1.2.3"));
    EXPECT_EQ(comparison.differences[1].oid, "9.2");
    EXPECT_EQ(comparison.differences[1].a, Value{});
    EXPECT_EQ(comparison.differences[2].oid, "9.1");
    EXPECT_EQ(comparison.differences[2].a, list({"shared"}));
    EXPECT_EQ(comparison.differences[2].b, list({"own"}));
    EXPECT_EQ(comparison.differences[3].a, list({"sn", "surname"}));
    EXPECT_EQ(comparison.differences[3].b, list({"lastName", "surname"}));
    EXPECT_EQ(comparison.differences[4].oid, "9.4");
    EXPECT_EQ(comparison.counts, (std::array<std::size_t, 3>{6, 2, 0}));
}

TEST(Comparison, ReferencesAreTheSameThroughPairing) {
    sample::Definitions a = sample::definitions();
    a[schemadesc::kindIndex(Kind::attributeTypes)].push_back(
        {.oid = "0.9.2342.19200300.100.1.1", .names = {"uid", "userid"}});
    sample::named(a, Kind::objectClasses, "extra").must = {"uid", "fooBar", "oneThing"};
    sample::Definitions b = sample::definitions();
    // Written by alias, by OID, through a macro; B builds `uid` in and names
    // it by its alias; a type unknown to both is the same text in any case.
    sample::named(b, Kind::objectClasses, "person").must = {"surname", "2.5.4.3"};
    sample::named(b, Kind::nameForms, "personForm").must = {"Base:3"};
    sample::named(b, Kind::objectClasses, "extra").must = {"userid", "FOOBAR", "otherThing"};
    // A type whose OID changed is named by its new OID.
    sample::named(b, Kind::attributeTypes, "title").oid = "1.2.3";
    sample::named(b, Kind::objectClasses, "organizationalPerson").may = {"1.2.3"};
    const Comparison comparison = fullschema::compareSchemas(
        sample::schema(a), sample::schema(b, {{"Base", "2.5.4"}}), false);
    EXPECT_EQ(summary(comparison),
              "3 title OID breaking\n"
              "3 uid onlyInA breaking\n"
              "4 extra MUST breaking\n");
    const Difference& must = comparison.differences[2];
    EXPECT_EQ(must.a, list({"fooBar", "oneThing", "uid"}));
    EXPECT_EQ(must.b, list({"FOOBAR", "otherThing", "userid"}));
}

TEST(Comparison, InheritedValuesAreReportedWhereTheyChange) {
    sample::Definitions a = sample::definitions();
    sample::Definitions b = sample::definitions();
    // Restating what is inherited changes nothing.
    sample::named(b, Kind::objectClasses, "organizationalPerson").must = {"sn", "cn"};
    auto& cn = sample::named(b, Kind::attributeTypes, "cn");
    cn.equality = "caseIgnoreMatch";
    cn.syntax = sample::directoryString;
    cn.syntaxLength = 32768;
    // Changed in a superclass and in a supertype: reported there only.
    sample::named(b, Kind::objectClasses, "top").must.push_back("title");
    sample::named(b, Kind::attributeTypes, "name").syntaxLength = 64;
    // Changed in the subclass itself.
    sample::named(b, Kind::objectClasses, "organizationalPerson").may.push_back("description");
    sample::named(b, Kind::objectClasses, "organizationalPerson").must.push_back("description");
    Comparison comparison = compared(a, b);
    EXPECT_EQ(summary(comparison),
              "3 name SYNTAX breaking\n"
              "4 organizationalPerson MUST breaking\n"
              "4 top MUST breaking\n");
    EXPECT_EQ(comparison.differences[0].a, Value::ofText(sample::directoryString + "{32768}"));
    EXPECT_EQ(comparison.differences[0].b, Value::ofText(sample::directoryString + "{64}"));
    // Effective sets on both sides, inherited members included.
    EXPECT_EQ(comparison.differences[1].a, list({"cn", "objectClass", "sn"}));
    EXPECT_EQ(comparison.differences[1].b,
              list({"cn", "description", "objectClass", "sn", "title"}));

    // A side that lacks the superclass or the supertype cannot know what
    // they give: only the missing definition is reported.
    sample::Definitions lacking = sample::definitions();
    auto& types = sample::of(lacking, Kind::attributeTypes);
    types.erase(types.begin());
    auto& classes = sample::of(lacking, Kind::objectClasses);
    classes.erase(classes.begin() + 1);
    sample::named(lacking, Kind::attributeTypes, "cn").equality = "caseExactMatch";
    comparison = compared(a, lacking);
    EXPECT_EQ(summary(comparison),
              "3 cn EQUALITY breaking\n"
              "3 name onlyInA breaking\n"
              "4 person onlyInA breaking\n");
}

TEST(Comparison, KindsOneSideLacksAndStrictFields) {
    sample::Definitions a = sample::definitions();
    sample::Definitions b = sample::definitions();
    sample::of(b, Kind::matchingRules).clear();
    sample::of(b, Kind::matchingRuleUse).clear();
    sample::of(a, Kind::nameForms).clear();
    // Not reported in a kind that is not compared.
    sample::of(a, Kind::dITContentRules).clear();
    sample::of(b, Kind::dITContentRules).clear();
    auto& name = sample::named(a, Kind::attributeTypes, "name");
    name.desc = "a  name\n of\tsomething";
    name.extensions = {{"X-ORIGIN", {"RFC 4519"}}, {"X-ORDERED", {"VALUES"}}};
    auto& inB = sample::named(b, Kind::attributeTypes, "name");
    inB.desc = "a name of something";
    inB.extensions = {{"x-origin", {"RFC  4519"}}, {"X-SCHEMA-FILE", {"core.schema"}}};
    sample::named(b, Kind::attributeTypes, "cn").names = {"CommonName", "cn"};
    sample::named(b, Kind::attributeTypes, "description").desc = "What it says";

    Comparison comparison = compared(a, b, false);
    ASSERT_EQ(comparison.notCompared.size(), 3U);
    EXPECT_EQ(comparison.notCompared[0].kind, Kind::matchingRules);
    EXPECT_FALSE(comparison.notCompared[0].missingInA);
    EXPECT_EQ(comparison.notCompared[1].kind, Kind::matchingRuleUse);
    EXPECT_EQ(comparison.notCompared[2].kind, Kind::nameForms);
    EXPECT_TRUE(comparison.notCompared[2].missingInA);
    EXPECT_EQ(summary(comparison), "");

    comparison = compared(a, b, true);
    EXPECT_EQ(summary(comparison),
              "3 cn NAME cosmetic\n"
              "3 description DESC cosmetic\n"
              "3 name X-ORDERED cosmetic\n"
              "3 name X-SCHEMA-FILE cosmetic\n");
    EXPECT_EQ(comparison.differences[0].a, list({"cn", "commonName"}));
    EXPECT_EQ(comparison.differences[0].b, list({"CommonName", "cn"}));
    EXPECT_EQ(comparison.differences[1].a, Value{});
    EXPECT_EQ(comparison.counts, (std::array<std::size_t, 3>{0, 0, 4}));

    // Nothing on one side or on both: every kind is left out, nothing fails.
    comparison = compared({}, b, true);
    EXPECT_EQ(comparison.notCompared.size(), 5U);
    EXPECT_TRUE(comparison.differences.empty());
    EXPECT_TRUE(compared({}, {}).notCompared.empty());
}
