#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "toollib/txtparse/textstreamparser.h"

// The servers that the lines of a list file name, fetched ahead on the
// directory library's threads while the run works through the lines (see
// QXPrefetchStart). The file is read ahead through a parser of its own, as
// far as about twice `jobs` servers beyond the line being run, so nothing
// grows with the length of the list. With `jobs` 1, or a list that is no
// regular file (a second reader would take lines from a pipe), nothing is
// read ahead and no thread is started. Stopped when it goes: what no line
// took is closed.
class ListPrefetch {
  public:
    // `whole`: the first read is of whole descriptions (full mode).
    ListPrefetch(const std::string& typedName, unsigned jobs, bool whole);
    ~ListPrefetch();
    ListPrefetch(const ListPrefetch&) = delete;
    ListPrefetch& operator=(const ListPrefetch&) = delete;

    // The run is about to run the list's line `line` (counted from 1 as the
    // list's parser returns them).
    void reached(std::size_t line);

  private:
    std::uint32_t handle_ = 0;
    std::optional<TextStreamParser> ahead_;
    std::size_t aheadLine_ = 0;
    std::size_t window_ = 0;
    // The lines read ahead whose server the library holds, not yet reached.
    std::deque<std::size_t> held_;
};
