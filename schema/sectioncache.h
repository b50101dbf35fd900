#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "schema/readresult.h"
#include "toollib/txtparse/filereader.h"

// What one reader made of one reference file, kept for the rest of a run
// (see ReferenceFileCache): a list run compares each line with the same
// file again and again, and reading it once is enough. A file is kept from its second
// reading on, so a run that reads each file once keeps nothing.
template <class Def>
class SectionCache {
  public:
    struct Section {
        ReadResult result;      // how the reader ended
        std::vector<Def> defs;  // the definitions in name order
    };

    // The section read from the file `id` before, if it is kept.
    const Section* find(const FileIdentity& id) {
        for (std::size_t k = 0; k < kept.size(); ++k) {
            if (kept[k].id == id) {
                std::rotate(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(k),
                            kept.begin() + static_cast<std::ptrdiff_t>(k) + 1);
                return &kept.front().section;
            }
        }
        return nullptr;
    }

    // True when the file `id` has been read before, and is small enough to keep.
    bool worthKeeping(const FileIdentity& id) {
        if (id.size > largestFile) {
            return false;
        }
        if (std::find(seen.begin(), seen.end(), id) != seen.end()) {
            return true;
        }
        seen.push_back(id);
        if (seen.size() > seenCount) {
            seen.pop_front();
        }
        return false;
    }

    void keep(const FileIdentity& id, Section section) {
        kept.push_front(Kept{id, std::move(section)});
        if (kept.size() > keptCount) {
            kept.pop_back();
        }
    }

  private:
    struct Kept {
        FileIdentity id;
        Section section;
    };

    // Enough for a base file and the few files a list names in turn, while
    // the memory held stays a small multiple of what those files hold.
    static constexpr std::size_t keptCount = 8;
    static constexpr std::size_t seenCount = 64;
    static constexpr std::int64_t largestFile = std::int64_t{64} * 1024 * 1024;

    std::deque<Kept> kept;  // the most recently used first
    std::deque<FileIdentity> seen;
};
