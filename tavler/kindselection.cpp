#include "tavler/kindselection.h"

#include <string>

#include "toollib/namecompare.h"

namespace {

bool selects(const CMDLine& typed, const char* letter) {
    for (const std::string& word : typed.getSwitchWords()) {
        const bool path = word.find('/', 1) != std::string::npos;
        if (!path && word.size() > 1 && namesEqual(std::string_view(word).substr(1, 1), letter)) {
            return true;
        }
    }
    return false;
}

}  // namespace

SelectedKinds selectKinds(const CMDLine& typed) {
    if (typed.getSwitchCount() == 0) {
        return {};
    }
    return {selects(typed, "C"), selects(typed, "A"), selects(typed, "S")};
}
