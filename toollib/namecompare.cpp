#include "toollib/namecompare.h"

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
