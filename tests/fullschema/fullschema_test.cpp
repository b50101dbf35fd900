#include "fullschema/fullschema.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "fullschema/fields.h"
#include "sampleschema.h"

using fullschema::Field;
using fullschema::Kind;
using fullschema::Value;

TEST(FullSchema, ResolvesByNameThenOidWithinItsKind) {
    sample::Definitions all = sample::definitions();
    // A NAME that is another definition's OID: the NAME wins.
    sample::named(all, Kind::attributeTypes, "title").names.push_back("2.5.4.3");
    const fullschema::FullSchema schema = sample::schema(all);
    struct Case {
        Kind kind;
        const char* reference;
        std::optional<std::size_t> index;
    };
    const Case cases[] = {
        {Kind::attributeTypes, "CommonName", 1}, {Kind::attributeTypes, "2.5.4.4", 2},
        {Kind::attributeTypes, "2.5.4.3", 5},    {Kind::attributeTypes, "person", std::nullopt},
        {Kind::objectClasses, "PERSON", 1},      {Kind::ldapSyntaxes, sample::ia5String.c_str(), 1},
        {Kind::dITStructureRules, "2", 1},       {Kind::nameForms, "1.1.3.2", 1},
        {Kind::matchingRules, "", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(schema.resolve(c.kind, c.reference), c.index) << c.reference;
    }
    EXPECT_EQ(schema.size(), 24U);
    EXPECT_EQ(fullschema::FullSchema().resolve(Kind::attributeTypes, "cn"), std::nullopt);
}

TEST(FullSchema, ExpandsMacrosOnlyWhereNoNameMatches) {
    sample::Definitions all = sample::definitions();
    auto& person = sample::named(all, Kind::objectClasses, "person");
    person.must = {"Core:4", "cn"};
    person.superiors = {"top"};
    sample::named(all, Kind::attributeTypes, "title").equality = "Rules:2";
    // "cn" is a NAME, so the macro of that name does not apply to it.
    const fullschema::FullSchema schema =
        sample::schema(all, {{"Core", "2.5.4"}, {"cn", "9.9"}, {"Rules", "2.5.13"}});
    const auto& expanded = schema.definitions(Kind::objectClasses)[1];
    EXPECT_EQ(expanded.must, (std::vector<std::string>{"2.5.4.4", "cn"}));
    EXPECT_EQ(schema.resolve(Kind::attributeTypes, expanded.must[0]), 2U);
    EXPECT_EQ(schema.definitions(Kind::attributeTypes)[5].equality, "2.5.13.2");
}

TEST(Fields, FollowTheGrammarOfEachKind) {
    sample::Definitions all = sample::definitions();
    auto& description = sample::named(all, Kind::attributeTypes, "description");
    description.obsolete = true;
    description.usage = "dSAOperation";
    description.singleValue = true;
    const auto keywords = [](const std::vector<Field>& fields) {
        std::string joined;
        for (const Field& field : fields) {
            joined += field.keyword + " ";
        }
        return joined;
    };
    EXPECT_EQ(keywords(fullschema::fieldsOf(Kind::attributeTypes, description)),
              "OID NAME OBSOLETE EQUALITY SYNTAX SINGLE-VALUE USAGE X-ORIGIN ");
    const auto fields = fullschema::fieldsOf(Kind::attributeTypes, description);
    EXPECT_EQ(fields[4].value, Value::ofText(sample::directoryString + "{1024}"));
    EXPECT_EQ(fields[5].value, Value::ofFlag(true));
    EXPECT_EQ(fields[7].value, Value::ofList({"RFC 4519"}));

    const auto& cn = sample::named(all, Kind::attributeTypes, "cn");
    EXPECT_EQ(keywords(fullschema::fieldsOf(Kind::attributeTypes, cn)), "OID NAME SUP ");
    EXPECT_EQ(fullschema::fieldsOf(Kind::attributeTypes, cn)[2].value, Value::ofText("name"));
    // A class's kind is always given, its superclasses as a list.
    const auto& person = sample::named(all, Kind::objectClasses, "person");
    const auto classFields = fullschema::fieldsOf(Kind::objectClasses, person);
    EXPECT_EQ(keywords(classFields), "OID NAME SUP KIND MUST MAY ");
    EXPECT_EQ(classFields[2].value, Value::ofList({"top"}));
    EXPECT_EQ(classFields[3].value, Value::ofText("STRUCTURAL"));
    // A syntax has no NAME even where a file gives it one.
    auto syntax = sample::of(all, Kind::ldapSyntaxes)[0];
    syntax.names = {"dirString"};
    EXPECT_EQ(keywords(fullschema::fieldsOf(Kind::ldapSyntaxes, syntax)), "OID DESC ");
    EXPECT_EQ(keywords(fullschema::fieldsOf(Kind::dITStructureRules,
                                            sample::of(all, Kind::dITStructureRules)[1])),
              "OID FORM SUP ");
}

TEST(Fields, RankPutsExtensionsLast) {
    EXPECT_LT(fullschema::fieldRank(Kind::attributeTypes, "SUP"),
              fullschema::fieldRank(Kind::attributeTypes, "EQUALITY"));
    EXPECT_LT(fullschema::fieldRank(Kind::objectClasses, "KIND"),
              fullschema::fieldRank(Kind::objectClasses, "MUST"));
    EXPECT_EQ(fullschema::fieldRank(Kind::nameForms, "X-ORIGIN"), 7U);
    EXPECT_EQ(fullschema::fieldRank(Kind::ldapSyntaxes, "NAME"), 2U);
}
