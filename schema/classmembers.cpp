#include "schema/classmembers.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "schema/extendedarray.h"
#include "schema/stablesort.h"

namespace {

// A member's length is held in four bytes: a member that long runs out of
// memory first.
void appendLength(std::string& to, std::size_t length) {
    if (length > std::numeric_limits<std::uint32_t>::max()) {
        throw std::bad_alloc();
    }
    const auto value = static_cast<std::uint32_t>(length);
    char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    to.append(bytes, sizeof value);
}

std::size_t takeLength(const char*& from) {
    std::uint32_t value = 0;
    std::memcpy(&value, from, sizeof value);
    from += sizeof value;
    return value;
}

void prefetch(const void* at, std::size_t bytes) {
    const char* first = static_cast<const char*>(at);
    for (std::size_t line = 0; line < bytes; line += 64) {
        __builtin_prefetch(first + line);
    }
}

}  // namespace

void ClassMembers::add(ClassType type, std::string_view member) {
    held.push_back(static_cast<char>(type));
    appendLength(held, member.size());
    held.append(member);
}

void ClassMembers::endClass(ClassDef& classdef) {
    if (!holding && classCount != 0 && compareNames(classdef.name, previous) < 0) {
        holding = true;
        firstHeld = classCount;
    }
    ++classCount;
    if (holding) {
        heldAt.push_back(classStart);
        classStart = held.size();
        return;
    }
    // In order so far: the lists go where they would go in the end.
    fillHeld(classdef, 0, held.size());
    held.clear();
    previous = classdef.name;
}

void ClassMembers::fillHeld(ClassDef& classdef, std::size_t from, std::size_t to) {
    for (std::vector<std::string_view>& list : views) {
        list.clear();
    }
    for (const char* at = held.data() + from; at != held.data() + to;) {
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
        // As views: the names are copied once, into their places.
        classdef.list(static_cast<ClassType>(type))->AddAll(list);
    }
}

void ClassMembers::placeInOrder(std::vector<ClassDef>& classes) {
    if (holding) {
        const std::vector<stablesort::Keyed> order = stablesort::sortedPositions(classes);
        std::vector<ClassDef> placed;
        placed.reserve(classes.size());
        const auto heldEnd = [this](std::size_t k) {
            return k + 1 < heldAt.size() ? heldAt[k + 1] : held.size();
        };
        // The classes are visited out of the order they were read in: what
        // the next few need is asked for while this one is placed.
        constexpr std::size_t ahead = 8;
        for (std::size_t k = 0; k < order.size(); ++k) {
            if (k + 2 * ahead < order.size() && order[k + 2 * ahead].at >= firstHeld) {
                prefetch(&heldAt[order[k + 2 * ahead].at - firstHeld], 2 * sizeof(std::size_t));
            }
            if (k + ahead < order.size()) {
                const std::size_t next = order[k + ahead].at;
                prefetch(&classes[next], sizeof(ClassDef));
                if (next >= firstHeld) {
                    const std::size_t h = next - firstHeld;
                    prefetch(held.data() + heldAt[h], heldEnd(h) - heldAt[h]);
                }
            }
            const std::size_t index = order[k].at;
            placed.push_back(std::move(classes[index]));
            if (index >= firstHeld) {
                const std::size_t h = index - firstHeld;
                fillHeld(placed.back(), heldAt[h], heldEnd(h));
            }
        }
        classes.swap(placed);
    }
    held.clear();
    heldAt.clear();
    classStart = 0;
    classCount = 0;
    holding = false;
}
