// Memory that runs out never gives a result: under any limit, a listing is
// whole (status 0) or the run ends abnormally (status 3); a comparison
// reports every difference (status 1) or ends abnormally. Not under the
// sanitizers, whose shadow memory does not fit such limits.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/runprogram.h"
#include "support/tempdir.h"

namespace {

std::string classes(int count, const std::string& prefix) {
    std::string text = "\nClass Definitions\n";
    for (int n = 0; n < count; ++n) {
        text += prefix + std::to_string(1000000 + n) + "\n\tMandatory Attributes\n\t\tcn\n";
    }
    return text;
}

TEST(MemoryLimit, ExhaustedMemoryEndsTheRunAndNeverGivesAPartialResult) {
#ifdef TAVLER_SANITIZED
    GTEST_SKIP() << "the sanitizers' shadow memory does not fit a limit on address space";
#endif
    ScopedTempDir work;
    work.write("big.ref", classes(60000, "Class"));
    work.write("other.ref", classes(60000, "Klass"));
    const RunResult fullListing = runProgram(work.path(), {"big.ref", "/C"});
    const RunResult fullReport = runProgram(work.path(), {"big.ref", "other.ref", "/C"});
    ASSERT_EQ(fullListing.status, 0);
    ASSERT_EQ(fullReport.status, 1);

    int ended = 0;
    int whole = 0;
    for (std::size_t megabytes = 30; megabytes <= 250; megabytes += 20) {
        SCOPED_TRACE(std::to_string(megabytes) + " MB");
        RunOptions options;
        options.addressSpace = megabytes << 20;
        for (const auto& [args, full] :
             {std::pair{std::vector<std::string>{"big.ref", "/C"}, &fullListing},
              std::pair{std::vector<std::string>{"big.ref", "other.ref", "/C"}, &fullReport}}) {
            const RunResult run = runProgram(work.path(), args, {}, nullptr, options);
            if (run.status == 3) {
                ++ended;
                // The status line is blanked first, so the message stands on a line of its own.
                const std::string end =
                    std::string(79, ' ') + "\rOut of memory\nAbnormal program termination\n";
                ASSERT_GE(run.err.size(), end.size());
                EXPECT_EQ(run.err.substr(run.err.size() - end.size()), end);
                EXPECT_TRUE(full->out.compare(0, run.out.size(), run.out) == 0)
                    << "what was written before the end is the start of the result";
            } else {
                ++whole;
                EXPECT_EQ(run.status, full->status);
                EXPECT_TRUE(run.out == full->out) << "a partial result";
            }
        }
    }
    EXPECT_GT(ended, 0) << "no limit was tight enough to matter";
    EXPECT_GT(whole, 0) << "no limit was loose enough to finish";
}

}  // namespace
