#include "allocationcount.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<std::size_t> allocations{0};
std::atomic<std::size_t> allocatedBytes{0};
}  // namespace

// Replaced for the whole program: the counts include the standard library's
// own allocations.

void* operator new(std::size_t size) {
    ++allocations;
    allocatedBytes += size;
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
// Replaced as well, as a sanitizer's own versions would not pair with ours.
void* operator new(std::size_t size, const std::nothrow_t& /*tag*/) noexcept {
    ++allocations;
    allocatedBytes += size;
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* memory, const std::nothrow_t& /*tag*/) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, const std::nothrow_t& /*tag*/) noexcept {
    std::free(memory);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t /*size*/) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t /*size*/) noexcept {
    std::free(memory);
}

AllocationCount allocationsSoFar() {
    return {allocations.load(), allocatedBytes.load()};
}

AllocationCount allocationsSince(const AllocationCount& before) {
    const AllocationCount now = allocationsSoFar();
    return {now.allocations - before.allocations, now.bytes - before.bytes};
}
