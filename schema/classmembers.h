#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "schema/chunkedlist.h"
#include "schema/classdef.h"

// The list members of the classes of one section, held as text while the
// section is read and handed to their classes once the classes are in name
// order. The lists are then allocated in the order in which the listing
// walks them and they are freed, not in the order of a file that may be in
// no order at all: on a large shuffled file that order decides how much of
// writing and freeing waits on memory.
class ClassMembers {
  public:
    // Notes `member` for the list of `type` of the class being read.
    void add(ClassType type, std::string_view member);
    // `classdef`, the class being read, is complete; the next member is
    // another's. While the classes arrive in name order, each gets its lists
    // here and nothing is held.
    void endClass(ClassDef& classdef);
    // Takes `classes`, one for each endClass() in turn, in name order, equal
    // names in the order they have, and gives those that lack them their
    // lists, each list in name order as ExtendedArray::AddAll would sort it.
    std::vector<ClassDef> placeInOrder(ChunkedList<ClassDef>& classes);

  private:
    static constexpr std::size_t listCount = OPT + 1;

    // The text of one class's members.
    struct Range {
        const char* from;
        const char* to;
    };

    // Ready for the classes of another section.
    void reset();
    // Room for `bytes` more of the class being read.
    char* makeRoom(std::size_t bytes);
    // Gives `classdef` the lists of the class held in `text`.
    void fillHeld(ClassDef& classdef, Range text);

    // The members of the classes from the first one out of order on, and of
    // the class being read, one after the other, each as its list, its
    // length in four bytes and its text. They are held in blocks that are
    // never moved, so that what is held is not copied again as more comes;
    // the members of one class are in one block.
    std::vector<std::unique_ptr<char[]>> blocks;
    std::size_t blockSize = 0;   // of the last block
    std::size_t used = 0;        // bytes of the last block in use
    std::size_t classStart = 0;  // where the class being read begins in it
    std::vector<Range> heldAt;   // the classes held, in the order read
    std::size_t classCount = 0;
    std::size_t firstHeld = 0;  // the index of the first class held
    bool holding = false;
    std::string previous;  // the name of the class before, while none is held

    std::array<std::vector<std::string_view>, listCount> views;  // the lists being filled
};
