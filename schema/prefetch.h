#pragma once

#include <cstddef>

// Asks for the `bytes` of memory from `at` on ahead of their use, one cache
// line after the other. The collections call it where they are about to
// visit memory allocated far apart, so that the waits overlap.
inline void prefetchMemory(const void* at, std::size_t bytes) {
    constexpr std::size_t cacheLine = 64;
    const char* first = static_cast<const char*>(at);
    for (std::size_t line = 0; line < bytes; line += cacheLine) {
        __builtin_prefetch(first + line);
    }
}
