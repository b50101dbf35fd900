#pragma once

#include <cstddef>

// Every allocation through operator new in a test program that links the
// counting library, with its size: how the work of a step grows with its
// input, without timing anything. A step that walks all definitions for
// each one shows in the bytes when it keeps anything, and in the count when
// it builds names.
struct AllocationCount {
    std::size_t allocations = 0;
    std::size_t bytes = 0;
};

// The allocations and bytes so far in the process.
AllocationCount allocationsSoFar();

// What was allocated since `before`.
AllocationCount allocationsSince(const AllocationCount& before);
