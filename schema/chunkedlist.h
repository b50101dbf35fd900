#pragma once

#include <cstddef>
#include <iterator>
#include <utility>
#include <vector>

#include "schema/prefetch.h"
#include "schema/stablesort.h"
#include "toollib/namecompare.h"

// Values gathered one by one in fixed-size chunks and handed out at the end
// as one vector of exactly their number. A vector that grows by doubling
// copies everything it holds at each step and ends with up to twice the
// room it needs; for the hundreds of thousands of definitions of a large
// file both cost more than the reading does.
template <class T>
class ChunkedList {
  public:
    using value_type = T;

    void push_back(T&& value) {
        if (chunks.empty() || chunks.back().size() == chunkSize) {
            chunks.emplace_back();
            // The first grows as a vector would, so a small list stays small.
            if (chunks.size() > 1) {
                chunks.back().reserve(chunkSize);
            }
        }
        chunks.back().push_back(std::move(value));
        ++count;
    }

    std::size_t size() const { return count; }
    const T& operator[](std::size_t k) const { return chunks[k / chunkSize][k % chunkSize]; }
    T& operator[](std::size_t k) { return chunks[k / chunkSize][k % chunkSize]; }

    // All the values in the order they were added; the list is left empty.
    std::vector<T> take() {
        std::vector<T> all;
        if (chunks.size() == 1) {
            all.swap(chunks.front());
        } else {
            all.reserve(count);
            for (std::vector<T>& chunk : chunks) {
                all.insert(all.end(), std::make_move_iterator(chunk.begin()),
                           std::make_move_iterator(chunk.end()));
                // Freed as it is emptied, so the chunks and the whole are
                // not all alive at once.
                std::vector<T>().swap(chunk);
            }
        }
        clear();
        return all;
    }

    // All the values in `order` (positions in the order added), each moved
    // once; the list is left empty. A few values ahead are asked for while
    // one is moved, as the order may jump about the chunks.
    std::vector<T> take(const std::vector<stablesort::Keyed>& order) {
        constexpr std::size_t ahead = 8;
        std::vector<T> all;
        all.reserve(order.size());
        for (std::size_t k = 0; k < order.size(); ++k) {
            if (k + ahead < order.size()) {
                prefetchMemory(&(*this)[order[k + ahead].at], sizeof(T));
            }
            all.push_back(std::move((*this)[order[k].at]));
        }
        clear();
        return all;
    }

    // True when the values are in name order.
    bool inNameOrder() const requires OrderedByName<T> {
        for (std::size_t k = 1; k < count; ++k) {
            if (compareNames(orderNameOf((*this)[k]), orderNameOf((*this)[k - 1])) < 0) {
                return false;
            }
        }
        return true;
    }

    // All the values in name order, equal names in the order they were
    // added, as a stable sort leaves them; the list is left empty.
    std::vector<T> takeInNameOrder() requires OrderedByName<T> {
        if (inNameOrder()) {
            return take();
        }
        return take(stablesort::sortedPositions(*this));
    }

  private:
    void clear() {
        chunks.clear();
        count = 0;
    }

    // Large enough that the chunks cost few allocations, small enough that a
    // small file does not pay for a large one.
    static constexpr std::size_t chunkSize = 1024;

    std::vector<std::vector<T>> chunks;
    std::size_t count = 0;
};
