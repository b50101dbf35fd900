#include <iostream>

#include "tavler/abnormalend.h"
#include "tavler/main2.h"

int main(int argc, char** argv) {
    // Standard output is only written through the streams, so it may keep a
    // buffer of its own; standard error stays unbuffered for the progress line.
    std::ios::sync_with_stdio(false);
    try {
        return main2(argc, argv);
    } catch (...) {
        abnormalEnd();
    }
}
