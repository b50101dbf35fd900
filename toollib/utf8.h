#pragma once

#include <cstddef>
#include <string_view>

// Where `text` may be cut near `at` without splitting a UTF-8 sequence:
// `at` itself, or the start of the sequence that the byte at `at` continues
// (a cut there drops the whole character rather than part of it).
inline std::size_t utf8CutPoint(std::string_view text, std::size_t at) {
    while (at > 0 && at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) {
        --at;
    }
    return at;
}
