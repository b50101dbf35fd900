#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
    // Puts `classes`, one for each endClass() in turn, in name order, equal
    // names in the order they have, and gives those that lack them their
    // lists, each list in name order as ExtendedArray::AddAll would sort it.
    void placeInOrder(std::vector<ClassDef>& classes);

  private:
    static constexpr std::size_t listCount = OPT + 1;

    // Gives `classdef` the lists of the class held in held[from, to).
    void fillHeld(ClassDef& classdef, std::size_t from, std::size_t to);

    // The members of the classes from the first one out of order on, and of
    // the class being read, one after the other, each as its list, its
    // length in four bytes and its text.
    std::string held;
    std::vector<std::size_t> heldAt;  // where each of those classes begins in `held`
    std::size_t classStart = 0;       // where the class being read begins
    std::size_t classCount = 0;
    std::size_t firstHeld = 0;  // the index of the first class held
    bool holding = false;
    std::string previous;  // the name of the class before, while none is held

    std::array<std::vector<std::string_view>, listCount> views;  // the lists being filled
};
