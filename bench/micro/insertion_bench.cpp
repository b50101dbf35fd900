// Adding a section's definitions to a collection, arriving sorted or
// shuffled, in bulk and one at a time.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/micro/benchtext.h"
#include "schema/attrdef.h"
#include "schema/extendedarray.h"

namespace {

std::vector<AttrDef> definitions(std::size_t count, bool shuffled) {
    std::vector<AttrDef> defs;
    for (const std::string& name : benchNames(count, shuffled)) {
        defs.emplace_back(name);
    }
    return defs;
}

void AddAll(benchmark::State& state, bool shuffled) {
    const std::vector<AttrDef> defs =
        definitions(static_cast<std::size_t>(state.range(0)), shuffled);
    for (auto _ : state) {
        ExtendedArray<AttrDef> collection;
        collection.AddAll(defs);
        benchmark::DoNotOptimize(collection.count());
    }
}
BENCHMARK_CAPTURE(AddAll, sorted, false)->Arg(200000);
BENCHMARK_CAPTURE(AddAll, shuffled, true)->Arg(200000);

// One at a time, as the lists of a class are built elsewhere; short lists
// only, since shuffled input makes this quadratic.
void AddEach(benchmark::State& state, bool shuffled) {
    const std::vector<AttrDef> defs =
        definitions(static_cast<std::size_t>(state.range(0)), shuffled);
    for (auto _ : state) {
        ExtendedArray<AttrDef> collection;
        for (const AttrDef& def : defs) {
            collection.Add(def);
        }
        benchmark::DoNotOptimize(collection.count());
    }
}
BENCHMARK_CAPTURE(AddEach, sorted, false)->Arg(2000);
BENCHMARK_CAPTURE(AddEach, shuffled, true)->Arg(2000);

}  // namespace
