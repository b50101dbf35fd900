#include <gtest/gtest.h>

#include <string>

#include "fullschema/comparison.h"
#include "sampleschema.h"
#include "support/allocationcount.h"

// How the work of reading and comparing grows with the schema, counted in
// allocations and bytes.
namespace {

using fullschema::Kind;

// `types` attribute types, every tenth a base the next nine inherit from,
// and a fifth as many classes in chains of five. B renumbers every seventh
// type and gives every eleventh class one more member.
sample::Definitions generated(std::size_t types, bool changed) {
    sample::Definitions all = sample::definitions();
    auto& attributes = sample::of(all, Kind::attributeTypes);
    for (std::size_t at = 0; at < types; ++at) {
        const std::string number = std::to_string(at);
        fullschema::FullDefinition type{.oid = (changed && at % 7 == 3 ? "8." : "7.") + number,
                                        .names = {"attribute" + number, "alias" + number}};
        if (at % 10 == 0) {
            type.equality = "caseIgnoreMatch";
            type.syntax = sample::directoryString;
        } else {
            type.superiors = {"attribute" + std::to_string(at - at % 10)};
        }
        attributes.push_back(std::move(type));
    }
    auto& classes = sample::of(all, Kind::objectClasses);
    for (std::size_t at = 0; at < types / 5; ++at) {
        const std::string number = std::to_string(at);
        fullschema::FullDefinition type{
            .oid = "6." + number,
            .names = {"class" + number},
            .superiors = {at % 5 == 0 ? "top" : "class" + std::to_string(at - 1)},
            .must = {"attribute" + std::to_string(at * 5)},
            .may = {"alias" + std::to_string(at * 5 + 1), "7." + std::to_string(at * 5 + 2)}};
        if (changed && at % 11 == 0) {
            type.may.push_back("description");
        }
        classes.push_back(std::move(type));
    }
    return all;
}

AllocationCount workToCompare(std::size_t types) {
    sample::Definitions a = generated(types, false);
    sample::Definitions b = generated(types, true);
    const AllocationCount before = allocationsSoFar();
    const auto comparison = fullschema::compareSchemas(sample::schema(std::move(a)),
                                                       sample::schema(std::move(b)), true);
    EXPECT_GT(comparison.differences.size(), types / 7);
    return allocationsSince(before);
}

}  // namespace

TEST(Scaling, FourTimesTheDefinitionsTakeAboutFourTimesTheWork) {
    const AllocationCount small = workToCompare(2000);
    const AllocationCount large = workToCompare(8000);
    // Anything quadratic would take sixteen times as much.
    EXPECT_GT(large.allocations, 3 * small.allocations);
    EXPECT_LT(large.allocations, 5 * small.allocations);
    EXPECT_GT(large.bytes, 3 * small.bytes);
    EXPECT_LT(large.bytes, 5 * small.bytes);
}
