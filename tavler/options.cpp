#include "tavler/options.h"

#include <string_view>

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
        } else if (!parsed.unknown) {
            parsed.unknown = std::string(word);
        }
    }
    return parsed;
}
