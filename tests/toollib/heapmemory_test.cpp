// The heap's top grown ahead for a large file must stay with the allocator
// and be advised for huge pages; without the address space for it, the
// program must go on as before.

#include "toollib/heapmemory.h"

#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/resource.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

// The sanitizer's allocator has no heap top, and the reserve is left out.
#if !defined(__SANITIZE_ADDRESS__)

namespace {

constexpr std::size_t mebibyte = std::size_t{1} << 20;

// The size of the largest mapping of this process that is advised for huge
// pages, from the kernel's own account of them.
std::size_t largestHugeAdvised() {
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    std::size_t size = 0;
    std::size_t largest = 0;
    while (std::getline(smaps, line)) {
        unsigned long from = 0;
        unsigned long to = 0;
        char dash = 0;
        std::istringstream words(line);
        if (line.rfind("VmFlags:", 0) == 0) {
            if (line.find(" hg") != std::string::npos) {
                largest = std::max(largest, size);
            }
        } else if (std::isxdigit(static_cast<unsigned char>(line[0])) &&
                   (words >> std::hex >> from >> dash >> to) && dash == '-') {
            size = to - from;
        }
    }
    return largest;
}

}  // namespace

TEST(HeapMemory, ALargeReserveIsKeptAtTheTopOfTheHeapAndAdvisedForHugePages) {
    keepFreedMemory();
    reserveHeap(4 * mebibyte);  // too small to matter: nothing happens
    const std::size_t before = mallinfo2().keepcost;
    reserveHeap(64 * mebibyte);
    EXPECT_GE(mallinfo2().keepcost, 60 * mebibyte)
        << "the top was given back (was " << before << " bytes)";
    if (std::filesystem::exists("/sys/kernel/mm/transparent_hugepage/enabled")) {
        EXPECT_GE(largestHugeAdvised(), 60 * mebibyte);
    }
    // The reserve serves allocations as any free memory does.
    const std::unique_ptr<void, decltype(&std::free)> block(std::malloc(48 * mebibyte), &std::free);
    ASSERT_NE(block, nullptr);
    std::memset(block.get(), 1, 48 * mebibyte);
}

TEST(HeapMemoryDeathTest, WithoutTheAddressSpaceTheHeapIsLeftAsItIs) {
    EXPECT_EXIT(
        {
            keepFreedMemory();
            rlimit limit{};
            getrlimit(RLIMIT_AS, &limit);
            // Room for what the test program holds and a little more, not
            // for the reserve.
            std::ifstream status("/proc/self/statm");
            unsigned long pages = 0;
            status >> pages;
            limit.rlim_cur = pages * 4096 + 16 * mebibyte;
            setrlimit(RLIMIT_AS, &limit);
            reserveHeap(128 * mebibyte);
            void* block = std::malloc(mebibyte);
            std::exit(block != nullptr ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

#endif
