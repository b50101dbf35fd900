#pragma once

#include <string>
#include <string_view>

// Sets `note` to `first` followed by `second`, or leaves it empty when
// memory runs out meanwhile: for the paths that report a failure (running
// out of memory among them) and so must not throw themselves.
inline void noteQuietly(std::string& note, std::string_view first,
                        std::string_view second = {}) noexcept {
    try {
        note.assign(first);
        note.append(second);
    } catch (...) {
        note.clear();
    }
}
