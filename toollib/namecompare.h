#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

// The one name comparison of the program. Definition names, list members,
// keywords of reference files and command-line words all compare through it:
// bytes are compared as unsigned values after folding a-z to A-Z, and a name
// that is a prefix of the other sorts first.

// Upper-cases the letters a-z only, whatever the locale.
inline char foldName(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Negative, zero or positive as `a` sorts before, equal to or after `b`.
// Inline, as sorting and searching call it more than anything else.
inline int compareNames(std::string_view a, std::string_view b) {
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    std::size_t k = 0;
    // Names that sort near each other share long runs of equal bytes, and
    // equal bytes fold equally: skip them eight at a time.
    const auto sameEight = [&a, &b](std::size_t at) {
        std::uint64_t x = 0;
        std::uint64_t y = 0;
        std::memcpy(&x, a.data() + at, 8);
        std::memcpy(&y, b.data() + at, 8);
        return x == y;
    };
    while (k + 8 <= common && sameEight(k)) {
        k += 8;
    }
    // Fewer than eight bytes left, all before them equal: the last eight
    // bytes, overlapping those already seen, settle most equal names
    // without a byte-by-byte tail.
    if (k + 8 > common && k < common && common >= 8 && sameEight(common - 8)) {
        k = common;
    }
    for (; k < common; ++k) {
        if (a[k] == b[k]) {
            continue;
        }
        const auto x = static_cast<unsigned char>(foldName(a[k]));
        const auto y = static_cast<unsigned char>(foldName(b[k]));
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

// True when the two names are equal without regard to letter case. Inline,
// as most calls compare names of different lengths and end at once.
inline bool namesEqual(std::string_view a, std::string_view b) {
    return a.size() == b.size() && compareNames(a, b) == 0;
}

// A hash that agrees with namesEqual (FNV-1a over the folded bytes), and
// the equality to go with it, for hash tables keyed by names. Both take any
// string-like key, so a table of std::string is searched with a view.
struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const noexcept {
        std::uint64_t hash = 14695981039346656037ULL;
        for (const char c : name) {
            hash = (hash ^ static_cast<unsigned char>(foldName(c))) * 1099511628211ULL;
        }
        return static_cast<std::size_t>(hash);
    }
};

struct NameEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept {
        return namesEqual(a, b);
    }
};

// True when `text` begins with `prefix` without regard to letter case.
inline bool startsWithName(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && namesEqual(text.substr(0, prefix.size()), prefix);
}

// True when `text` ends with `suffix` without regard to letter case.
inline bool endsWithName(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           namesEqual(text.substr(text.size() - suffix.size()), suffix);
}

// True when `text` contains `part` anywhere, without regard to letter case.
bool containsName(std::string_view text, std::string_view part);
