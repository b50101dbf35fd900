#include "tavler/options.h"

#include <optional>
#include <string_view>

namespace {

// The value of --jobs: digits only, from 1 to maxJobs.
std::optional<unsigned> jobsValue(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > maxJobs) {
            return std::nullopt;
        }
    }
    if (value < 1) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

ParsedCommandLine takeOptions(int argc, char** argv) {
    ParsedCommandLine parsed;
    if (argc > 0) {
        parsed.words.push_back(argv[0]);
    }
    bool optionsEnded = false;
    for (int k = 1; k < argc; ++k) {
        const std::string_view word = argv[k];
        if (optionsEnded || !(word.starts_with("--") || word == "-h")) {
            parsed.words.push_back(argv[k]);
        } else if (word == "--") {
            optionsEnded = true;
        } else if (word == "--help" || word == "-h") {
            parsed.options.help = true;
        } else if (word == "--version") {
            parsed.options.version = true;
        } else if (word == "--full") {
            parsed.options.full = true;
        } else if (word == "--json") {
            parsed.options.json = parsed.options.full = true;
        } else if (word == "--strict") {
            parsed.options.strict = true;
        } else if (word == "--summary") {
            parsed.options.summary = true;
        } else if (word == "--jobs" || word.starts_with("--jobs=")) {
            std::optional<std::string_view> text;
            if (word != "--jobs") {
                text = word.substr(std::string_view("--jobs=").size());
            } else if (k + 1 < argc) {
                text = argv[++k];
            }
            const std::optional<unsigned> jobs = text ? jobsValue(*text) : std::nullopt;
            if (jobs) {
                parsed.options.jobs = *jobs;
            } else {
                parsed.badJobs = true;
            }
        } else if (!parsed.unknown) {
            parsed.unknown = std::string(word);
        }
    }
    return parsed;
}
