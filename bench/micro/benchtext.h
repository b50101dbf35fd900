#pragma once

#include <algorithm>
#include <random>
#include <string>
#include <vector>

// Inputs the micro-benchmarks share: names and listings made from a seed.

inline std::vector<std::string> benchNames(std::size_t count, bool shuffled) {
    std::vector<std::string> names;
    names.reserve(count);
    for (std::size_t k = 0; k < count; ++k) {
        std::string name = "Attribute ";
        for (std::size_t n = k + 1000000; n > 0; n /= 26) {
            name += static_cast<char>('a' + n % 26);
        }
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    if (shuffled) {
        std::shuffle(names.begin(), names.end(), std::mt19937(7));
    }
    return names;
}

// A listing of `classes` classes with ten members each, then attributes.
inline std::string benchListing(std::size_t classes, std::size_t skipEvery = 0) {
    const std::vector<std::string> names = benchNames(classes * 4, false);
    std::string text = "\nClass Definitions\n";
    for (std::size_t k = 0; k < classes; ++k) {
        if (skipEvery != 0 && k % skipEvery == 0) {
            continue;
        }
        text += names[k] + "\n\tFlags\n\t\tDS_EFFECTIVE_CLASS\n\tOptional Attributes\n";
        for (std::size_t m = 0; m < 10; ++m) {
            text += "\t\t" + names[(k * 7 + m * 13) % names.size()] + "\n";
        }
    }
    text += "\nAttribute Definitions\n";
    for (const std::string& name : names) {
        text += name + "\n\tFlags\n\t\tDS_SINGLE_VALUED_ATTR\n\tSyntax\n\t\tSYN_CI_STRING\n";
    }
    return text;
}
