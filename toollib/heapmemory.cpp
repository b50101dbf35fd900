#include "toollib/heapmemory.h"

#include <malloc.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>

namespace {

// Blocks larger than this still come from and go back to the system.
constexpr int largestKept = 32 * 1024 * 1024;
// The top of the heap is handed back once it is larger than this.
constexpr int trimThreshold = 8 * largestKept;

constexpr std::uintptr_t hugePage = std::uintptr_t{2} << 20;
// Below this a few huge pages would be mostly empty.
constexpr std::uint64_t smallest = std::uint64_t{8} << 20;
// Well below the trim threshold, or freeing the reserve would hand it back.
constexpr std::uint64_t largest = std::uint64_t{128} << 20;
// glibc's own limit of blocks taken straight from the system.
constexpr int mmapMaxDefault = 65536;

}  // namespace

void keepFreedMemory() {
    mallopt(M_MMAP_THRESHOLD, largestKept);
    mallopt(M_TRIM_THRESHOLD, trimThreshold);
    // No fast bins: every request for a large block first merged all the
    // small pieces freed into them, and a reader frees a hundred thousand
    // small pieces between two large arrays. The per-thread cache still
    // serves the small ones without a lock.
    mallopt(M_MXFAST, 0);
}

void reserveHeap(std::uint64_t bytes) {
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer's allocator has no heap top to prepare.
    (void)bytes;
#else
    if (bytes < smallest) {
        return;
    }
    const auto size = static_cast<std::size_t>(std::min(bytes, largest));
    // One block from the heap itself, not a mapping of its own, so that
    // freeing it leaves the grown top to the allocator.
    mallopt(M_MMAP_MAX, 0);
    void* block = std::malloc(size);
    mallopt(M_MMAP_MAX, mmapMaxDefault);
    if (block == nullptr) {
        return;
    }
    // The whole huge pages within the block.
    char* const memory = static_cast<char*>(block);
    const auto start = reinterpret_cast<std::uintptr_t>(memory);
    const std::uintptr_t first = (start + hugePage - 1) & ~(hugePage - 1);
    const std::uintptr_t last = (start + size) & ~(hugePage - 1);
    if (last > first) {
        // Advice only: where huge pages cannot be had, small ones serve.
        ::madvise(memory + (first - start), last - first, MADV_HUGEPAGE);
    }
    std::free(block);
#endif
}
