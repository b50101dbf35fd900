#include <malloc.h>
#include <unistd.h>

#include <iostream>
#include <new>

#include "tavler/abnormalend.h"
#include "tavler/main2.h"
#include "toollib/terminaltext.h"

namespace {

// The readers build large arrays that live for one step (definitions before
// they are sorted, the keys they are sorted by) and then free them. Kept by
// the allocator, that memory serves the next step; given back to the system
// at each free, every later step pays again for fresh pages, which on a
// large schema costs more than the sorting does.
void keepFreedMemory() {
    constexpr int largestKept = 32 * 1024 * 1024;  // larger blocks still come and go
    mallopt(M_MMAP_THRESHOLD, largestKept);
    mallopt(M_TRIM_THRESHOLD, 8 * largestKept);
}

}  // namespace

int main(int argc, char** argv) {
    keepFreedMemory();
    // Standard output is only written through the streams, so it may keep a
    // buffer of its own; standard error stays unbuffered for the progress line.
    std::ios::sync_with_stdio(false);
    // Names from files and servers are shown, not obeyed, on a terminal.
    protectTerminal(std::cout, STDOUT_FILENO);
    protectTerminal(std::cerr, STDERR_FILENO);
    try {
        return main2(argc, argv);
    } catch (const std::bad_alloc&) {
        outOfMemory();
    } catch (...) {
        abnormalEnd();
    }
}
