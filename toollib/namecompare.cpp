#include "toollib/namecompare.h"

#include <algorithm>

char foldName(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

namespace {

unsigned char foldedByte(char c) {
    return static_cast<unsigned char>(foldName(c));
}

}  // namespace

int compareNames(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t k = 0; k < common; ++k) {
        const unsigned char x = foldedByte(a[k]);
        const unsigned char y = foldedByte(b[k]);
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

bool namesEqual(std::string_view a, std::string_view b) {
    return a.size() == b.size() && compareNames(a, b) == 0;
}

bool containsName(std::string_view text, std::string_view part) {
    if (part.size() > text.size()) {
        return false;
    }
    for (std::size_t at = 0; at + part.size() <= text.size(); ++at) {
        if (namesEqual(text.substr(at, part.size()), part)) {
            return true;
        }
    }
    return false;
}
