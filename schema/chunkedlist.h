#pragma once

#include <cstddef>
#include <iterator>
#include <utility>
#include <vector>

// Values gathered one by one in fixed-size chunks and handed out at the end
// as one vector of exactly their number. A vector that grows by doubling
// copies everything it holds at each step and ends with up to twice the
// room it needs; for the hundreds of thousands of definitions of a large
// file both cost more than the reading does.
template <class T>
class ChunkedList {
  public:
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
        chunks.clear();
        count = 0;
        return all;
    }

  private:
    // Large enough that the chunks cost few allocations, small enough that a
    // small file does not pay for a large one.
    static constexpr std::size_t chunkSize = 1024;

    std::vector<std::vector<T>> chunks;
    std::size_t count = 0;
};
