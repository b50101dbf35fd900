// The comparison of two schemas that differ in a few definitions, against
// the floor of walking both schemas' names once.

#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

#include "bench/micro/benchtext.h"
#include "schema/schema.h"
#include "toollib/txtparse/textstreamparser.h"

namespace {

Schema readListing(const std::string& text, const char* name) {
    auto tsp = TextStreamParser::fromText(text);
    Schema schema(name);
    schema.whirly = 0;
    schema.readClassDefs(tsp);
    schema.readAttrDefs(tsp);
    return schema;
}

const Schema& left() {
    static const Schema schema = readListing(benchListing(20000), "A");
    return schema;
}
const Schema& right() {
    static const Schema schema = readListing(benchListing(20000, 20), "B");
    return schema;
}

void Compare(benchmark::State& state) {
    for (auto _ : state) {
        std::ostringstream report;
        benchmark::DoNotOptimize(left().compare(right(), report));
    }
}
BENCHMARK(Compare);

void NameWalkFloor(benchmark::State& state) {
    for (auto _ : state) {
        std::size_t equal = 0;
        for (std::size_t a = 0, b = 0; a < left().attrDef.count() && b < right().attrDef.count();) {
            const int order = compareNames(left().attrDef[a].name, right().attrDef[b].name);
            equal += order == 0;
            a += order <= 0;
            b += order >= 0;
        }
        for (std::size_t a = 0, b = 0;
             a < left().classDef.count() && b < right().classDef.count();) {
            const int order = compareNames(left().classDef[a].name, right().classDef[b].name);
            equal += order == 0;
            a += order <= 0;
            b += order >= 0;
        }
        benchmark::DoNotOptimize(equal);
    }
}
BENCHMARK(NameWalkFloor);

}  // namespace
