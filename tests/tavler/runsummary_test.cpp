#include "tavler/runsummary.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using Result = RunOutcome::Result;

std::string summaryOf(const std::vector<RunOutcome>& outcomes) {
    std::ostringstream out;
    writeSummary(out, outcomes);
    return out.str();
}

// What the golden runs do not reach: cosmetic counts, a single run, and a
// summary of nothing.
TEST(RunSummary, CountsAndTotalsInTheirWords) {
    const RunOutcome cosmetic{"a", "b", Result::differences, {{0, 2, 1}}, {}};
    const RunOutcome noCosmetic{"a", "c", Result::differences, {{1, 0, 0}}, {}};
    const RunOutcome listed{"d", {}, Result::listed, {}, {}};
    const struct {
        std::vector<RunOutcome> outcomes;
        std::string text;
    } cases[] = {
        {{}, "\n0 runs: 0 without differences, 0 with differences, 0 could not be read\n"},
        {{cosmetic},
         "\na with b: differences (0 breaking, 2 compatible, 1 cosmetic)\n"
         "1 run: 0 without differences, 1 with differences, 0 could not be read\n"},
        {{noCosmetic, listed},
         "\na with c: differences (1 breaking, 0 compatible)\nd: listed\n"
         "2 runs: 0 without differences, 1 with differences, 0 could not be read, 1 listed\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(summaryOf(c.outcomes), c.text);
    }
}

// A name that is not UTF-8 still gives one valid line, and a listing has
// neither counts nor a message.
TEST(RunSummary, JsonIsOneLineWhateverTheNames) {
    std::ostringstream out;
    writeJsonSummary(out, {{"x\xff", {}, Result::listed, {}, {}}});
    EXPECT_EQ(out.str(),
              "{\"format\":\"tavler-full-summary/1\",\"runs\":[{\"a\":\"x\xef\xbf\xbd\",\"b\":null,"
              "\"result\":\"listed\"}],\"totals\":{\"runs\":1,\"noDifferences\":0,"
              "\"differences\":0,\"listed\":1,\"failed\":0}}\n");
}

}  // namespace
