#include "schema/classmembers.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "schema/namelist.h"
#include "schema/prefetch.h"
#include "schema/stablesort.h"

namespace {

// The first block is small, so that a small file holds little; the blocks
// after it grow to this size.
constexpr std::size_t firstBlock = 4096;
constexpr std::size_t largestBlock = std::size_t{1} << 20;

std::size_t takeLength(const char*& from) {
    std::uint32_t value = 0;
    std::memcpy(&value, from, sizeof value);
    from += sizeof value;
    return value;
}

}  // namespace

char* ClassMembers::makeRoom(std::size_t bytes) {
    if (!blocks.empty() && blockSize - used >= bytes) {
        return blocks.back().get() + used;
    }
    // A new block, which the class being read moves to whole.
    const std::size_t partial = used - classStart;
    const std::size_t size = std::max(
        blocks.empty() ? firstBlock : std::min(2 * blockSize, largestBlock), partial + bytes);
    auto block = std::make_unique_for_overwrite<char[]>(size);
    if (partial != 0) {
        std::memcpy(block.get(), blocks.back().get() + classStart, partial);
    }
    // A block that holds no held class is not needed any more.
    if (!blocks.empty() && (heldAt.empty() || classStart == 0)) {
        blocks.pop_back();
    }
    blocks.push_back(std::move(block));
    blockSize = size;
    used = partial;
    classStart = 0;
    return blocks.back().get() + used;
}

void ClassMembers::add(ClassType type, std::string_view member) {
    // A member's length is held in four bytes: a member that long runs out
    // of memory first.
    if (member.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw std::bad_alloc();
    }
    const auto length = static_cast<std::uint32_t>(member.size());
    char* to = makeRoom(1 + sizeof length + member.size());
    *to++ = static_cast<char>(type);
    std::memcpy(to, &length, sizeof length);
    to += sizeof length;
    if (!member.empty()) {
        std::memcpy(to, member.data(), member.size());
    }
    used += 1 + sizeof length + member.size();
}

void ClassMembers::endClass(ClassDef& classdef) {
    if (!holding && classCount != 0 && compareNames(classdef.name, previous) < 0) {
        holding = true;
        firstHeld = classCount;
    }
    ++classCount;
    const char* start = blocks.empty() ? nullptr : blocks.back().get();
    const Range text{start + classStart, start + used};
    if (holding) {
        heldAt.push_back(text);
        classStart = used;
        return;
    }
    // In order so far: the lists go where they would go in the end, and the
    // block is used again for the next class.
    fillHeld(classdef, text);
    used = classStart = 0;
    previous = classdef.name;
}

void ClassMembers::fillHeld(ClassDef& classdef, Range text) {
    for (std::vector<std::string_view>& list : views) {
        list.clear();
    }
    for (const char* at = text.from; at != text.to;) {
        const auto type = static_cast<std::size_t>(static_cast<unsigned char>(*at++));
        const std::size_t size = takeLength(at);
        views[type].emplace_back(at, size);
        at += size;
    }
    for (std::size_t type = 0; type < listCount; ++type) {
        std::vector<std::string_view>& list = views[type];
        if (list.empty()) {
            continue;
        }
        // Sorted here, where the views may be moved about, so that the names
        // are copied once, into their places.
        if (!std::is_sorted(list.begin(), list.end(), [](std::string_view a, std::string_view b) {
                return compareNames(a, b) < 0;
            })) {
            stablesort::sortByName(list);
        }
        classdef.list(static_cast<ClassType>(type))->AddAll(list);
    }
}

std::vector<ClassDef> ClassMembers::placeInOrder(ChunkedList<ClassDef>& classes) {
    if (!holding) {
        // Every class came in order and has its lists.
        reset();
        return classes.take();
    }
    const std::vector<stablesort::Keyed> order = stablesort::sortedPositions(classes);
    std::vector<ClassDef> placed;
    placed.reserve(classes.size());
    // The classes are visited out of the order they were read in: what the
    // next few need is asked for while this one is placed.
    constexpr std::size_t ahead = 8;
    for (std::size_t k = 0; k < order.size(); ++k) {
        if (k + 2 * ahead < order.size() && order[k + 2 * ahead].at >= firstHeld) {
            prefetchMemory(&heldAt[order[k + 2 * ahead].at - firstHeld], sizeof(Range));
        }
        if (k + ahead < order.size()) {
            const std::size_t next = order[k + ahead].at;
            prefetchMemory(&classes[next], sizeof(ClassDef));
            if (next >= firstHeld) {
                const Range& text = heldAt[next - firstHeld];
                prefetchMemory(text.from, static_cast<std::size_t>(text.to - text.from));
            }
        }
        const std::size_t index = order[k].at;
        placed.push_back(std::move(classes[index]));
        if (index >= firstHeld) {
            fillHeld(placed.back(), heldAt[index - firstHeld]);
        }
    }
    classes.take();  // what is left of them
    reset();
    return placed;
}

void ClassMembers::reset() {
    blocks.clear();
    blockSize = used = 0;
    heldAt.clear();
    classStart = 0;
    classCount = 0;
    holding = false;
}
