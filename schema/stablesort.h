#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "schema/prefetch.h"
#include "toollib/namecompare.h"

// Sorting a batch of elements into the order of an ExtendedArray, equal
// elements keeping the order they had.

// A type ordered by its name alone, through compareNames: plain names, and
// the definitions of the model, each identified by its public `name` (their
// own operators order them by it too). The collections read the name
// themselves, so that one comparison of names decides an order.
template <class T>
concept OrderedByName = std::is_same_v<T, std::string> || std::is_same_v<T, std::string_view> ||
    requires(const T& t) {
    { t.name } -> std::convertible_to<std::string_view>;
};

template <OrderedByName T>
std::string_view orderNameOf(const T& t) {
    if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, std::string_view>) {
        return t;
    } else {
        return t.name;
    }
}

namespace stablesort {

// A position in the batch and the first eight bytes of its name, folded,
// as a number: most comparisons end there, without visiting the element.
// A name shorter than eight bytes is padded with zeros, which sorts it
// before longer names that begin with it, as compareNames does.
struct Keyed {
    std::uint64_t prefix;
    std::size_t at;
};

// The bytes a-z of a word, and no others, folded to A-Z. Seven-bit parts
// are compared so that no sum carries into the next byte, and bytes from
// 0x80 up are left alone, as foldName leaves them.
inline std::uint64_t foldWord(std::uint64_t word) {
    constexpr std::uint64_t ones = 0x0101010101010101;
    constexpr std::uint64_t high = 0x8080808080808080;
    const std::uint64_t low = word & ~high;
    const std::uint64_t fromA = low + ones * (0x80 - 'a');
    const std::uint64_t pastZ = low + ones * (0x80 - 'z' - 1);
    const std::uint64_t lower = fromA & ~pastZ & ~word & high;
    return word ^ (lower >> 2);
}

// The first eight bytes of `name` as a little-endian machine loads them,
// zeros past its end, in a few fixed-size loads: a call to memcpy of a
// variable length, or a loop whose length varies from name to name, costs
// more than the rest of making a key.
inline std::uint64_t firstEight(std::string_view name) {
    const char* p = name.data();
    const std::size_t n = name.size();
    std::uint64_t word = 0;
    if (n >= 8) {
        std::memcpy(&word, p, 8);
    } else if (n >= 4) {
        // Two four-byte loads that overlap where n < 8; the bytes they share
        // are the same.
        std::uint32_t low = 0;
        std::uint32_t high = 0;
        std::memcpy(&low, p, 4);
        std::memcpy(&high, p + n - 4, 4);
        word = low | (std::uint64_t{high} << (8 * (n - 4)));
    } else if (n > 0) {
        const auto byte = [p](std::size_t at) {
            return std::uint64_t{static_cast<unsigned char>(p[at])} << (8 * at);
        };
        word = byte(0) | byte(n / 2) | byte(n - 1);
    }
    return word;
}

inline std::uint64_t prefixOf(std::string_view name) {
    if constexpr (std::endian::native == std::endian::little) {
        // The first byte in memory is the most significant of the key.
        return __builtin_bswap64(foldWord(firstEight(name)));
    } else {
        std::uint64_t prefix = 0;
        for (std::size_t b = 0; b < 8; ++b) {
            const unsigned byte =
                b < name.size() ? static_cast<unsigned char>(foldName(name[b])) : 0U;
            prefix = (prefix << 8) | byte;
        }
        return prefix;
    }
}

// Sorts by prefix a byte at a time from the lowest, keeping the order of
// equal prefixes: a fixed number of passes instead of n log n comparisons.
// One pass counts the bytes of every position; each position whose bytes
// are not all the same then takes one pass that moves the keys.
inline void radixSort(std::vector<Keyed>& keyed) {
    constexpr std::size_t positions = 8;
    std::vector<std::array<std::size_t, 256>> start(positions);
    for (const Keyed& k : keyed) {
        for (std::size_t b = 0; b < positions; ++b) {
            ++start[b][(k.prefix >> (8 * b)) & 0xFF];
        }
    }
    std::vector<Keyed> spare(keyed.size());
    for (std::size_t b = 0; b < positions; ++b) {
        std::array<std::size_t, 256>& at = start[b];
        if (std::find(at.begin(), at.end(), keyed.size()) != at.end()) {
            continue;  // every prefix has the same byte here
        }
        std::size_t sum = 0;
        for (std::size_t& count : at) {
            sum += std::exchange(count, sum);
        }
        const unsigned shift = 8 * static_cast<unsigned>(b);
        for (const Keyed& k : keyed) {
            spare[at[(k.prefix >> shift) & 0xFF]++] = k;
        }
        keyed.swap(spare);
    }
}

// Puts batch[order[k]] at position k for every k, moving each cycle of the
// permutation round in place; `order` is used up.
template <class T, class Order>
void permute(std::vector<T>& batch, Order& order) {
    for (std::size_t start = 0; start < batch.size(); ++start) {
        if (order[start] == start) {
            continue;
        }
        T held = std::move(batch[start]);
        std::size_t at = start;
        while (order[at] != start) {
            const std::size_t from = order[at];
            batch[at] = std::move(batch[from]);
            order[at] = at;
            at = from;
        }
        batch[at] = std::move(held);
        order[at] = at;
    }
}

// Puts batch[keyed[k].at] at position k for every k, moving the elements
// into a new array in their sorted order. Unlike following the cycles of
// the permutation, the reads do not wait on one another, and asking for
// elements a few places ahead overlaps their misses.
template <class T>
void gather(std::vector<T>& batch, const std::vector<Keyed>& keyed) {
    constexpr std::size_t ahead = 8;
    std::vector<T> sorted;
    sorted.reserve(batch.size());  // may throw; nothing has moved yet
    for (std::size_t k = 0; k < keyed.size(); ++k) {
        if (k + ahead < keyed.size()) {
            prefetchMemory(&batch[keyed[k + ahead].at], sizeof(T));
        }
        sorted.push_back(std::move(batch[keyed[k].at]));
    }
    batch.swap(sorted);
}

// `Batch` is any sequence of elements ordered by name with size() and
// indexing: a vector, or the chunks a reader gathered them in.
template <class Batch>
bool keyedBefore(const Batch& batch, const Keyed& a, const Keyed& b) {
    if (a.prefix != b.prefix) {
        return a.prefix < b.prefix;
    }
    const int order = compareNames(orderNameOf(batch[a.at]), orderNameOf(batch[b.at]));
    return order != 0 ? order < 0 : a.at < b.at;
}

// A short batch, such as the list of one class: everything on the stack.
template <class T>
void sortShortByName(std::vector<T>& batch) {
    constexpr std::size_t most = 16;
    const std::size_t n = batch.size();
    // Left uninitialised: only the first n entries are written and read, and
    // clearing them all costs more than the sort of a short list.
    std::array<Keyed, most> keyed;
    std::array<std::size_t, most> order;
    for (std::size_t k = 0; k < n; ++k) {
        keyed[k] = Keyed{prefixOf(orderNameOf(batch[k])), k};
    }
    // Each element's place is the number of prefixes below its own. No
    // branch depends on the names, where an insertion sort of a shuffled
    // list mispredicts at nearly every step.
    std::size_t ties = 0;
    for (std::size_t i = 0; i < n; ++i) {
        std::size_t below = 0;
        for (std::size_t j = 0; j < n; ++j) {
            below += static_cast<std::size_t>(keyed[j].prefix < keyed[i].prefix);
            ties += static_cast<std::size_t>(keyed[j].prefix == keyed[i].prefix);
        }
        order[below] = i;
    }
    if (ties != n) {
        // Names that agree in their first eight bytes: their whole names and
        // positions decide, one step at a time.
        for (std::size_t k = 1; k < n; ++k) {
            for (std::size_t at = k; at > 0 && keyedBefore(batch, keyed[at], keyed[at - 1]); --at) {
                std::swap(keyed[at], keyed[at - 1]);
            }
        }
        for (std::size_t k = 0; k < n; ++k) {
            order[k] = keyed[k].at;
        }
    }
    permute(batch, order);
}

// Sorts keyed[first, last), whose names agree in their first 8 * depth
// bytes, by the next eight; runs that still agree go a word deeper, until
// the names end, and then their whole names and positions decide.
template <class Batch>
void sortRun(const Batch& batch, std::vector<Keyed>& keyed, std::size_t first, std::size_t last,
             std::size_t depth) {
    const auto range = [&keyed](std::size_t from, std::size_t to) {
        return std::span<Keyed>(keyed).subspan(from, to - from);
    };
    std::size_t longest = 0;
    for (Keyed& k : range(first, last)) {
        const std::string_view name = orderNameOf(batch[k.at]);
        longest = std::max(longest, name.size());
        k.prefix = prefixOf(name.substr(std::min(name.size(), depth * 8)));
    }
    constexpr std::size_t fewEnough = 32;
    constexpr std::size_t deepest = 16;  // words; names longer than this are rare
    if (last - first <= fewEnough || longest <= depth * 8 || depth >= deepest) {
        std::sort(keyed.begin() + static_cast<std::ptrdiff_t>(first),
                  keyed.begin() + static_cast<std::ptrdiff_t>(last),
                  [&batch](const Keyed& a, const Keyed& b) { return keyedBefore(batch, a, b); });
        return;
    }
    std::vector<Keyed> run(keyed.begin() + static_cast<std::ptrdiff_t>(first),
                           keyed.begin() + static_cast<std::ptrdiff_t>(last));
    radixSort(run);
    std::copy(run.begin(), run.end(), keyed.begin() + static_cast<std::ptrdiff_t>(first));
    for (std::size_t from = first; from < last;) {
        std::size_t to = from + 1;
        while (to < last && keyed[to].prefix == keyed[from].prefix) {
            ++to;
        }
        if (to - from > 1) {
            sortRun(batch, keyed, from, to, depth + 1);
        }
        from = to;
    }
}

// The positions of `batch` in the order that sorting it would give, equal
// names in the order they have; the batch itself is left as it is.
template <class Batch>
requires OrderedByName<typename Batch::value_type> std::vector<Keyed> sortedPositions(
    const Batch& batch) {
    std::vector<Keyed> keyed(batch.size());
    for (std::size_t k = 0; k < batch.size(); ++k) {
        keyed[k] = Keyed{0, k};
    }
    sortRun(batch, keyed, 0, keyed.size(), 0);
    return keyed;
}

template <class T>
void sortByName(std::vector<T>& batch) {
    if (batch.size() <= 16) {
        sortShortByName(batch);
        return;
    }
    gather(batch, sortedPositions(batch));
}

}  // namespace stablesort

// Sorts `batch` by `less`, equal elements in the order they had. Positions
// are sorted rather than the elements, which may be large, and each element
// is moved once.
template <class T, class Less>
void sortStably(std::vector<T>& batch, Less less) {
    if constexpr (OrderedByName<T>) {
        stablesort::sortByName(batch);
    } else {
        std::vector<std::size_t> order(batch.size());
        for (std::size_t k = 0; k < order.size(); ++k) {
            order[k] = k;
        }
        std::stable_sort(order.begin(), order.end(), [&batch, &less](std::size_t a, std::size_t b) {
            return less(batch[a], batch[b]);
        });
        stablesort::permute(batch, order);
    }
}
