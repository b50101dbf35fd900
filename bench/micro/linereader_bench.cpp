// The line reader against the floor of finding the same line ends with
// memchr and nothing else.

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "bench/micro/benchtext.h"
#include "toollib/txtparse/textstreamparser.h"

namespace {

const std::string& text() {
    static const std::string listing = benchListing(20000);
    return listing;
}

void LineReader(benchmark::State& state) {
    for (auto _ : state) {
        auto tsp = TextStreamParser::fromText(text());
        std::size_t lines = 0;
        while (tsp.getLine()) {
            ++lines;
        }
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text().size()));
}
BENCHMARK(LineReader);

// The same copy of the text the reader makes, then the line ends alone.
void MemchrFloor(benchmark::State& state) {
    for (auto _ : state) {
        const std::string copy = text();
        std::size_t lines = 0;
        for (const char* at = copy.data();
             (at = static_cast<const char*>(std::memchr(at, '\n', copy.data() + copy.size() - at)));
             ++at) {
            ++lines;
        }
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text().size()));
}
BENCHMARK(MemchrFloor);

}  // namespace
