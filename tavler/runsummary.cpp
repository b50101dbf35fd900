#include "tavler/runsummary.h"

#include <nlohmann/json.hpp>

#include <ostream>
#include <string_view>

namespace {

using Json = nlohmann::ordered_json;
using Result = RunOutcome::Result;

struct Totals {
    std::size_t noDifferences = 0;
    std::size_t differences = 0;
    std::size_t listed = 0;
    std::size_t failed = 0;
};

Totals totalsOf(const std::vector<RunOutcome>& outcomes) {
    Totals totals;
    for (const RunOutcome& outcome : outcomes) {
        switch (outcome.result) {
            case Result::noDifferences:
                ++totals.noDifferences;
                break;
            case Result::differences:
                ++totals.differences;
                break;
            case Result::listed:
                ++totals.listed;
                break;
            case Result::failed:
                ++totals.failed;
                break;
        }
    }
    return totals;
}

std::string sources(const RunOutcome& outcome) {
    return outcome.b ? outcome.a + " with " + *outcome.b : outcome.a;
}

// Cosmetic differences count only with --strict, so they are named only
// when there are any.
std::string countsText(const std::array<std::size_t, 3>& counts) {
    std::string text = " (" + std::to_string(counts[0]) + " breaking, " +
                       std::to_string(counts[1]) + " compatible";
    if (counts[2] != 0) {
        text += ", " + std::to_string(counts[2]) + " cosmetic";
    }
    return text + ")";
}

std::string resultText(const RunOutcome& outcome) {
    switch (outcome.result) {
        case Result::noDifferences:
            return "no differences";
        case Result::differences:
            return outcome.counts ? "differences" + countsText(*outcome.counts) : "differences";
        case Result::listed:
            return "listed";
        case Result::failed:
            break;
    }
    return "could not be read (" + outcome.message + ")";
}

std::string_view resultName(Result result) {
    switch (result) {
        case Result::noDifferences:
            return "no-differences";
        case Result::differences:
            return "differences";
        case Result::listed:
            return "listed";
        case Result::failed:
            break;
    }
    return "failed";
}

Json runOf(const RunOutcome& outcome) {
    Json run{{"a", outcome.a},
             {"b", outcome.b ? Json(*outcome.b) : Json(nullptr)},
             {"result", resultName(outcome.result)}};
    if (outcome.b && outcome.result != Result::failed) {
        const std::array<std::size_t, 3> counts =
            outcome.counts.value_or(std::array<std::size_t, 3>{});
        run["counts"] =
            Json{{"breaking", counts[0]}, {"compatible", counts[1]}, {"cosmetic", counts[2]}};
    }
    if (outcome.result == Result::failed) {
        run["message"] = outcome.message;
    }
    return run;
}

}  // namespace

void writeSummary(std::ostream& os, const std::vector<RunOutcome>& outcomes) {
    os << '\n';
    for (const RunOutcome& outcome : outcomes) {
        os << sources(outcome) << ": " << resultText(outcome) << '\n';
    }
    const Totals totals = totalsOf(outcomes);
    os << outcomes.size() << (outcomes.size() == 1 ? " run: " : " runs: ") << totals.noDifferences
       << " without differences, " << totals.differences << " with differences, " << totals.failed
       << " could not be read";
    if (totals.listed != 0) {
        os << ", " << totals.listed << " listed";
    }
    os << '\n';
}

void writeJsonSummary(std::ostream& os, const std::vector<RunOutcome>& outcomes) {
    Json runs = Json::array();
    for (const RunOutcome& outcome : outcomes) {
        runs.push_back(runOf(outcome));
    }
    const Totals totals = totalsOf(outcomes);
    const Json document{{"format", "tavler-full-summary/1"},
                        {"runs", std::move(runs)},
                        {"totals",
                         {{"runs", outcomes.size()},
                          {"noDifferences", totals.noDifferences},
                          {"differences", totals.differences},
                          {"listed", totals.listed},
                          {"failed", totals.failed}}}};
    os << document.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
}
