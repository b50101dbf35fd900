#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fullschema/definitionstore.h"
#include "sampleschema.h"

// A packed definition must come back as it went in, field for field:
// every writer and the comparison read the schema through the store.
namespace {

using fullschema::DefinitionStore;
using fullschema::FullDefinition;

bool same(const FullDefinition& x, const FullDefinition& y) {
    const auto sameExtensions = [](const schemadesc::Extension& a, const schemadesc::Extension& b) {
        return a.name == b.name && a.values == b.values;
    };
    return x.oid == y.oid && x.names == y.names && x.desc == y.desc && x.obsolete == y.obsolete &&
           x.superiors == y.superiors && x.equality == y.equality && x.ordering == y.ordering &&
           x.substr == y.substr && x.syntax == y.syntax && x.syntaxLength == y.syntaxLength &&
           x.singleValue == y.singleValue && x.collective == y.collective &&
           x.noUserModification == y.noUserModification && x.usage == y.usage &&
           x.classKind == y.classKind && x.must == y.must && x.may == y.may && x.aux == y.aux &&
           x.notAllowed == y.notAllowed && x.applies == y.applies &&
           x.objectClass == y.objectClass && x.form == y.form &&
           std::equal(x.extensions.begin(), x.extensions.end(), y.extensions.begin(),
                      y.extensions.end(), sameExtensions);
}

TEST(DefinitionStore, GivesBackEveryFieldAsPacked) {
    // Lengths of one, two and three bytes, a DESC that is empty rather than
    // absent, a value with a NUL byte, and a definition larger than a block.
    const std::string longText(300, 'x');
    const std::string hugeText((std::size_t{1} << 20U) + 5, 'y');
    std::vector<FullDefinition> cases{
        {},
        {.oid = "1.2.3", .desc = ""},
        {.oid = std::string("1.\0.2", 5), .names = {"a", "", longText}, .desc = longText},
        {.oid = "2.5.4.3",
         .names = {"cn", "commonName"},
         .obsolete = true,
         .superiors = {"name"},
         .equality = "caseIgnoreMatch",
         .ordering = "caseIgnoreOrderingMatch",
         .substr = "caseIgnoreSubstringsMatch",
         .syntax = sample::directoryString,
         .syntaxLength = 70000,
         .singleValue = true,
         .collective = true,
         .noUserModification = true,
         .usage = "dSAOperation",
         .classKind = "AUXILIARY",
         .must = {"a", "b"},
         .may = {std::string(200, 'm')},
         .aux = {"c"},
         .notAllowed = {"d"},
         .applies = {"e", "f", "g"},
         .objectClass = "person",
         .form = "personForm",
         .extensions = {{"X-ORIGIN", {"RFC 4519", longText}}, {"X-EMPTY", {}}, {"X-ORIGIN", {""}}}},
        {.oid = "9", .desc = hugeText, .extensions = {{"X-BIG", {hugeText}}}},
    };
    for (const auto& definition : sample::definitions()) {
        cases.insert(cases.end(), definition.begin(), definition.end());
    }
    DefinitionStore store;
    store.reserve(cases.size(), 64);
    for (const FullDefinition& definition : cases) {
        store.add(definition);
    }
    // Replaced, a definition is packed again; the others stay where they are.
    FullDefinition changed = cases[3];
    changed.must.push_back("added");
    store.replace(3, changed);
    cases[3] = changed;
    const DefinitionStore copy = store;
    ASSERT_EQ(store.size(), cases.size());
    ASSERT_EQ(copy.size(), cases.size());
    for (std::size_t at = 0; at < cases.size(); ++at) {
        EXPECT_TRUE(same(store[at], cases[at])) << at;
        EXPECT_TRUE(same(copy[at], cases[at])) << at;
        EXPECT_EQ(store.oid(at), cases[at].oid) << at;
        EXPECT_EQ(store.names(at).strings(), cases[at].names) << at;
        const fullschema::DefinitionView leading = store.leading(at);
        EXPECT_EQ(leading.superiors.strings(), cases[at].superiors) << at;
        EXPECT_EQ(leading.syntax, cases[at].syntax) << at;
        EXPECT_EQ(leading.syntaxLength, cases[at].syntaxLength) << at;
    }
    std::size_t walked = 0;
    for (const FullDefinition& definition : store) {
        EXPECT_TRUE(same(definition, cases[walked])) << walked;
        ++walked;
    }
    EXPECT_EQ(walked, cases.size());
}

}  // namespace
