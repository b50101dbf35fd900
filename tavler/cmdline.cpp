#include "tavler/cmdline.h"

#include <algorithm>

#include "toollib/namecompare.h"

namespace {

void appendBounded(std::vector<std::string>& list, std::string word) {
    if (list.size() < CMDLine::capacity) {
        list.push_back(std::move(word));
    }
}

void mapLetters(std::vector<std::string>& list, char from, char to) {
    for (std::string& word : list) {
        for (char& c : word) {
            if (c >= from && c <= from + 25) {
                c = static_cast<char>(c - from + to);
            }
        }
    }
}

}  // namespace

CMDLine::CMDLine(int argc, const char* const* argv, char tokenChar) : switchToken(tokenChar) {
    setArgs(argc, argv);
}

void CMDLine::setArgs(int argc, const char* const* argv) {
    for (int k = 1; k < argc; ++k) {
        const std::string word = argv[k];
        if (!word.empty() && word[0] == switchToken) {
            // The token alone gives the switch character 0, which equals no letter.
            appendBounded(switches, std::string(1, word.size() > 1 ? word[1] : '\0'));
            appendBounded(switchWords, word);
        } else {
            appendBounded(arguments, word);
        }
    }
}

void CMDLine::toUpper() {
    mapLetters(arguments, 'a', 'A');
    mapLetters(switches, 'a', 'A');
}

void CMDLine::toLower() {
    mapLetters(arguments, 'A', 'a');
    mapLetters(switches, 'A', 'a');
}

bool CMDLine::isValid(int minArgs, int maxArgs, std::span<const std::string> validSwitches,
                      int arraySize) const {
    if (getArgCount() < minArgs || getArgCount() > maxArgs) {
        return false;
    }
    const std::size_t entries =
        arraySize < 0 ? 0 : std::min(validSwitches.size(), static_cast<std::size_t>(arraySize) + 1);
    const auto valid = validSwitches.first(entries);
    return std::all_of(switches.begin(), switches.end(), [&valid](const std::string& sw) {
        return std::find(valid.begin(), valid.end(), sw) != valid.end();
    });
}

std::string CMDLine::getArg(int i) const {
    if (i < 0 || i >= getArgCount()) {
        return {};
    }
    return arguments[static_cast<std::size_t>(i)];
}

bool CMDLine::isSwitch(const std::string& s) const {
    return std::any_of(switches.begin(), switches.end(),
                       [&s](const std::string& sw) { return namesEqual(sw, s); });
}
