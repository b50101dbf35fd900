#include "fullschema/fullschema.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "fullschema/describe.h"
#include "fullschema/fields.h"
#include "sampleschema.h"
#include "toollib/schemadesc/descriptionparser.h"

using fullschema::Field;
using fullschema::FullDefinition;
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

// Enough definitions that look-ups run ahead of the ones they finish; NAMEs
// repeated (the first keeps them) and longer than a one-byte length. A copy
// must still resolve once the schema it was copied from is gone.
TEST(FullSchema, ResolvesManyDefinitionsInACopyThatOutlivesItsSource) {
    sample::Definitions all;
    const std::string longName(300, 'x');
    auto& types = sample::of(all, Kind::attributeTypes);
    for (int at = 0; at < 400; ++at) {
        FullDefinition type{.oid = "1.9." + std::to_string(at),
                            .names = {"type" + std::to_string(at)}};
        if (at % 100 == 7) {
            type.names.push_back(longName);  // held by 7 only
        }
        if (at == 250) {
            type.names.push_back("TYPE3");  // type 3's already
        }
        types.push_back(std::move(type));
    }
    auto& classes = sample::of(all, Kind::objectClasses);
    for (int at = 0; at < 50; ++at) {
        classes.push_back({.oid = "1.8." + std::to_string(at),
                           .names = {"class" + std::to_string(at)},
                           .superiors = {at == 0 ? "absent" : "class" + std::to_string(at - 1)},
                           .must = {"type" + std::to_string(8 * at), "1.9." + std::to_string(at)},
                           .may = {longName, "type3", "nowhere"}});
    }
    std::optional<fullschema::FullSchema> source = sample::schema(all);
    const fullschema::FullSchema copy = *source;
    source.reset();
    constexpr std::uint32_t none = fullschema::FullSchema::noDefinition;
    struct Case {
        Kind kind;
        std::string reference;
        std::optional<std::size_t> index;
    };
    const Case cases[] = {
        {Kind::attributeTypes, "TYPE399", 399},
        {Kind::attributeTypes, "1.9.123", 123},
        {Kind::attributeTypes, longName, 7},
        {Kind::attributeTypes, "type3", 3},
        {Kind::attributeTypes, "type400", std::nullopt},
        {Kind::objectClasses, "Class49", 49},
        {Kind::objectClasses, "type1", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(copy.resolve(c.kind, c.reference), c.index) << c.reference;
    }
    for (std::uint32_t at = 0; at < 50; ++at) {
        const std::vector<std::uint32_t> expected = {
            at == 0 ? none : at - 1, 8 * at, at, 7, 3, none};
        const auto resolved = copy.resolvedReferences(Kind::objectClasses, at);
        EXPECT_EQ(std::vector<std::uint32_t>(resolved.begin(), resolved.end()), expected) << at;
    }
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

// OIDs and references read back from a description as they were read:
// bare, or quoted where their source quoted them around a blank, a
// parenthesis or a dollar sign (libldap takes such a quoted OID, and a
// quoted SUP of a class, but no other quoted reference); a list a kind
// requires reads back even when it was given empty.
TEST(Describe, OidsAndReferencesReadBackAsTheyWereRead) {
    const schemadesc::OidMacros noMacros({});
    for (const std::string oid : {"1.2.3", "site:1", "a b", "x(y)", "p$q", "t\tu"}) {
        FullDefinition attr;
        attr.oid = oid;
        attr.names = {"a"};
        attr.syntax = "1.3.6.1.4.1.1466.115.121.1.15";
        attr.syntaxLength = 64;
        FullDefinition objectClass;
        objectClass.oid = oid;
        objectClass.superiors = {oid};
        for (const auto& [kind, definition] :
             {std::pair(Kind::attributeTypes, attr), std::pair(Kind::objectClasses, objectClass)}) {
            const std::string text = fullschema::describe(kind, definition);
            const auto back = schemadesc::parseFull(kind, text, noMacros);
            ASSERT_TRUE(back.has_value()) << text;
            EXPECT_EQ(fullschema::describe(kind, *back), text);
            EXPECT_EQ(back->oid, oid) << text;
        }
    }
}

// A kind's texts can be dropped once parsed while the kinds that share its
// blocks still read whole (the sanitizer build would see a block freed too
// early); descriptions too long for a block get their own.
TEST(CollectedText, DroppingAKindKeepsTheOthersWhole) {
    fullschema::CollectedText text;
    const auto textOf = [](std::size_t i) {
        return std::string(i % 701 == 0 ? 5'000'000 : 3'000, static_cast<char>('a' + i % 26));
    };
    constexpr std::size_t kCount = 4'000;
    for (std::size_t i = 0; i < kCount; ++i) {
        text.add(i % 2 == 0 ? 3 : 4, textOf(i), "f:" + std::to_string(i));
    }
    text.doneWith(3);
    EXPECT_TRUE(text.kind(3).empty());
    ASSERT_EQ(text.kind(4).size(), kCount / 2);
    for (std::size_t k = 0; k < kCount / 2; ++k) {
        const std::size_t i = 2 * k + 1;
        EXPECT_EQ(text.kind(4)[k].textView(), textOf(i));
        EXPECT_EQ(text.kind(4)[k].originView(), "f:" + std::to_string(i));
    }
    text.add(3, "( 1.2 )", "g:1");
    EXPECT_EQ(text.kind(3).at(0).textView(), "( 1.2 )");
    text.doneWith(4);
    text.doneWith(3);
}

TEST(Describe, RequiredListsGivenEmptyReadBack) {
    const schemadesc::OidMacros noMacros({});
    FullDefinition ruleUse;
    ruleUse.oid = "2.5.13.2";
    ruleUse.names = {"caseIgnoreMatch"};
    FullDefinition nameForm;
    nameForm.oid = "1.2.3";
    nameForm.objectClass = "person";
    nameForm.may = {"ou"};
    for (const auto& [kind, definition, want] :
         {std::tuple(Kind::matchingRuleUse, ruleUse,
                     "( 2.5.13.2 NAME 'caseIgnoreMatch' APPLIES ( ) )"),
          std::tuple(Kind::nameForms, nameForm, "( 1.2.3 OC person MUST ( ) MAY ou )")}) {
        const std::string text = fullschema::describe(kind, definition);
        EXPECT_EQ(text, want);
        const auto back = schemadesc::parseFull(kind, text, noMacros);
        ASSERT_TRUE(back.has_value()) << text;
        EXPECT_EQ(fullschema::describe(kind, *back), text);
    }
}

// A kind of many descriptions is parsed in two halves at once: the schema
// must be the one a single pass gives, in source order, and a failure must
// name the first description that fails, in whichever half.
TEST(ReadFullSchema, AKindReadInHalvesIsReadAsInOne) {
    constexpr std::size_t kCount = 6'000;
    const auto attribute = [](std::size_t i) {
        std::string text = "( 1.1." + std::to_string(i) + " NAME 'a" + std::to_string(i) + "'";
        // A supertype named through a macro: the tail's definitions are
        // packed again once it is expanded.
        if (i == kCount - 10) {
            text += " SUP Site:" + std::to_string(i - 1);
        } else if (i > 0) {
            text += " SUP a" + std::to_string(i - 1);
        }
        return text + " )";
    };
    const auto source = [&](const std::vector<std::size_t>& broken) {
        fullschema::SourceText text;
        text.macros = {{"Site", "1.1"}};
        auto& attributes = text.kinds[schemadesc::kindIndex(Kind::attributeTypes)];
        for (std::size_t i = 0; i < kCount; ++i) {
            const bool bad = std::find(broken.begin(), broken.end(), i) != broken.end();
            attributes.push_back({bad ? "( 1.1.x NAME )" : attribute(i), "f:" + std::to_string(i)});
        }
        return text;
    };

    std::string diagnostic;
    const auto schema = fullschema::readFullSchema(source({}), diagnostic);
    ASSERT_TRUE(schema) << diagnostic;
    const auto& attributes = schema->definitions(Kind::attributeTypes);
    ASSERT_EQ(attributes.size(), kCount);
    for (std::size_t i = 0; i < kCount; ++i) {
        ASSERT_EQ(attributes.oid(i), "1.1." + std::to_string(i));
        ASSERT_EQ(schema->resolve(Kind::attributeTypes, "a" + std::to_string(i)), i);
    }
    EXPECT_EQ(attributes[kCount - 10].superiors,
              std::vector<std::string>{"1.1." + std::to_string(kCount - 11)});

    const std::string noun = ": attribute type does not parse: ( 1.1.x NAME )";
    for (const auto& [broken, named] :
         {std::pair{std::vector<std::size_t>{4'500}, "f:4500"},
          std::pair{std::vector<std::size_t>{10, 4'500}, "f:10"},
          std::pair{std::vector<std::size_t>{2'999, 3'000}, "f:2999"}}) {
        EXPECT_FALSE(fullschema::readFullSchema(source(broken), diagnostic));
        EXPECT_EQ(diagnostic, named + noun);
    }
}
