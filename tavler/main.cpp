#include <unistd.h>

#include <iostream>
#include <new>

#include "tavler/abnormalend.h"
#include "tavler/main2.h"
#include "toollib/heapmemory.h"
#include "toollib/terminaltext.h"

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
