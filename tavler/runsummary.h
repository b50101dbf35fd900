#pragma once

#include <array>
#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

// What one comparison or listing of a list run came to, kept for --summary.
struct RunOutcome {
    enum class Result { noDifferences, differences, listed, failed };

    std::string a;
    // The second source of a comparison; none for a listing.
    std::optional<std::string> b;
    Result result = Result::listed;
    // Full-mode comparisons: breaking, compatible and cosmetic differences.
    std::optional<std::array<std::size_t, 3>> counts;
    // Why a failed run failed, in one line.
    std::string message;
};

// An empty line, one line per outcome in the order made, and the totals:
//   A with B: differences (3 breaking, 1 compatible)
//   C: listed
//   2 runs: 0 without differences, 1 with differences, 0 could not be read, 1 listed
void writeSummary(std::ostream& os, const std::vector<RunOutcome>& outcomes);

// The same as one JSON document on one line, format "tavler-full-summary/1".
void writeJsonSummary(std::ostream& os, const std::vector<RunOutcome>& outcomes);
