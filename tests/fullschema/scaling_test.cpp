#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "fullschema/comparison.h"
#include "sampleschema.h"

// Every allocation of the test program is counted, with its size: how the
// work of reading and comparing grows with the schema, without timing
// anything. A step that walks all definitions for each one shows in the
// bytes when it keeps anything, and in the count when it builds names.
namespace {
std::atomic<std::size_t> allocations{0};
std::atomic<std::size_t> allocatedBytes{0};
}  // namespace

void* operator new(std::size_t size) {
    ++allocations;
    allocatedBytes += size;
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
// Replaced as well, as a sanitizer's own versions would not pair with ours.
void* operator new(std::size_t size, const std::nothrow_t& /*tag*/) noexcept {
    ++allocations;
    allocatedBytes += size;
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* memory, const std::nothrow_t& /*tag*/) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, const std::nothrow_t& /*tag*/) noexcept {
    std::free(memory);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t /*size*/) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t /*size*/) noexcept {
    std::free(memory);
}

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

struct Work {
    std::size_t allocations;
    std::size_t bytes;
};

Work workToCompare(std::size_t types) {
    sample::Definitions a = generated(types, false);
    sample::Definitions b = generated(types, true);
    const std::size_t before = allocations;
    const std::size_t bytesBefore = allocatedBytes;
    const auto comparison = fullschema::compareSchemas(sample::schema(std::move(a)),
                                                       sample::schema(std::move(b)), true);
    EXPECT_GT(comparison.differences.size(), types / 7);
    return {allocations - before, allocatedBytes - bytesBefore};
}

}  // namespace

TEST(Scaling, FourTimesTheDefinitionsTakeAboutFourTimesTheWork) {
    const Work small = workToCompare(2000);
    const Work large = workToCompare(8000);
    // Anything quadratic would take sixteen times as much.
    EXPECT_GT(large.allocations, 3 * small.allocations);
    EXPECT_LT(large.allocations, 5 * small.allocations);
    EXPECT_GT(large.bytes, 3 * small.bytes);
    EXPECT_LT(large.bytes, 5 * small.bytes);
}
