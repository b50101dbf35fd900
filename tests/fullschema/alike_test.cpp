#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "fullschema/context.h"
#include "fullschema/fieldcomparer.h"
#include "sampleschema.h"

// The comparison passes over pairs that plainlyAlike calls alike. Each case
// changes B where a pair written alike could still differ (through a
// supertype, a superclass, or what a reference resolves to), and every pair
// passed over must be one the full comparison finds nothing in.
namespace {

using fullschema::Kind;
using sample::Definitions;
using sample::named;
using sample::of;

struct Case {
    const char* what;
    std::function<void(Definitions&)> edit;
    // A pair that must go to the full comparison, by kind and first NAME;
    // none where the change leaves every pair alike in what it means.
    Kind kind;
    const char* notAlike;
};

// Every paired definition that plainlyAlike passes over, compared in full:
// how many there were, and which names they had.
std::vector<std::string> passedOver(const fullschema::FullSchema& a,
                                    const fullschema::FullSchema& b, bool strict) {
    fullschema::ComparisonContext context(a, b, strict);
    fullschema::PairScratch scratch;
    std::vector<std::string> alike;
    for (const Kind kind : schemadesc::allKinds) {
        const auto& toB = context.pairing(kind).aToB;
        for (std::size_t at = 0; at < toB.size(); ++at) {
            if (toB[at] == fullschema::Pairing::none ||
                !fullschema::plainlyAlike(context, kind, at, toB[at], scratch)) {
                continue;
            }
            const std::string name = fullschema::reportedName(kind, a.definitions(kind)[at]);
            std::vector<fullschema::Difference> found;
            fullschema::comparePaired(context, kind, at, toB[at], found);
            EXPECT_TRUE(found.empty()) << name << ": " << (found.empty() ? "" : found[0].field);
            alike.push_back(std::string(schemadesc::kindName(kind)) + ":" + name);
        }
    }
    return alike;
}

TEST(PlainlyAlike, PassesOverOnlyPairsTheFullComparisonFindsNothingIn) {
    const auto set = [](Kind kind, const char* name, auto change) {
        return [=](Definitions& all) { change(named(all, kind, name)); };
    };
    using D = fullschema::FullDefinition;
    const std::vector<Case> cases{
        {"supertype's syntax changed",
         set(Kind::attributeTypes, "name", [](D& d) { d.syntax = sample::ia5String; }),
         Kind::attributeTypes, "cn"},
        {"supertype's bound changed",
         set(Kind::attributeTypes, "name", [](D& d) { d.syntaxLength = 64; }), Kind::attributeTypes,
         "sn"},
        {"supertype's equality changed",
         set(Kind::attributeTypes, "name", [](D& d) { d.equality = "caseExactMatch"; }),
         Kind::attributeTypes, "title"},
        {"supertype gone from B",
         [](Definitions& all) {
             auto& types = of(all, Kind::attributeTypes);
             std::erase_if(types, [](const D& d) { return d.oid == "2.5.4.41"; });
         },
         Kind::attributeTypes, "cn"},
        {"supertype renamed, so SUP resolves only in A",
         set(Kind::attributeTypes, "name", [](D& d) { d.names = {"fullName"}; }),
         Kind::attributeTypes, "cn"},
        {"superclass gains a member",
         set(Kind::objectClasses, "person", [](D& d) { d.may.push_back("title"); }),
         Kind::objectClasses, "person"},
        {"superclass loses a member", set(Kind::objectClasses, "top", [](D& d) { d.must.clear(); }),
         Kind::objectClasses, "top"},
        {"member named by OID in B",
         set(Kind::objectClasses, "person",
             [](D& d) {
                 d.must = {"2.5.4.4", "cn"};
             }),
         Kind::objectClasses, nullptr},
        {"member's type renumbered in B, so it pairs by NAME",
         set(Kind::attributeTypes, "title", [](D& d) { d.oid = "9.9.9"; }), Kind::attributeTypes,
         "title"},
        {"member's type gone from B, so MAY resolves only in A",
         [](Definitions& all) {
             auto& types = of(all, Kind::attributeTypes);
             std::erase_if(types, [](const D& d) { return d.oid == "2.5.4.12"; });
         },
         Kind::objectClasses, nullptr},
        {"a rule's syntax changed",
         set(Kind::matchingRules, "caseIgnoreMatch", [](D& d) { d.syntax = sample::ia5String; }),
         Kind::matchingRules, "caseIgnoreMatch"},
        {"a name form's class renamed",
         set(Kind::objectClasses, "person", [](D& d) { d.names = {"human"}; }), Kind::objectClasses,
         "person"},
        {"a structure rule's superior changed",
         set(Kind::dITStructureRules, "2", [](D& d) { d.superiors = {"2"}; }),
         Kind::dITStructureRules, "2"},
        {"a NAME's letter case changed",
         set(Kind::attributeTypes, "description", [](D& d) { d.names = {"DESCRIPTION"}; }),
         Kind::attributeTypes, "description"},
        {"an extension's value changed",
         set(Kind::attributeTypes, "description",
             [](D& d) {
                 d.extensions = {{"X-ORIGIN", {"RFC 4520"}}};
             }),
         Kind::attributeTypes, "description"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Definitions b = sample::definitions();
        c.edit(b);
        for (const bool strict : {false, true}) {
            const auto alike =
                passedOver(sample::schema(sample::definitions()), sample::schema(b), strict);
            // Most of the sample is untouched: the check is not vacuous.
            EXPECT_GE(alike.size(), 10U);
            if (c.notAlike == nullptr) {
                continue;
            }
            const std::string kept = std::string(schemadesc::kindName(c.kind)) + ":" + c.notAlike;
            EXPECT_EQ(std::count(alike.begin(), alike.end(), kept), 0) << kept;
        }
    }
}

}  // namespace
