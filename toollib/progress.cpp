#include "toollib/progress.h"

#include <iostream>

void whirlyGig() {
    static unsigned int n = 0;  // wraps at a multiple of 4, so the turn stays even
    static const char gig[] = {'|', '/', '-', '\\'};
    ++n;
    // One write per turn: standard error is unbuffered.
    const char turn[] = {gig[n % 4], '\r', '\0'};
    std::cerr << turn;
}

void updateMsg(const std::string& msg) {
    constexpr std::size_t width = 77;
    // Listing text written so far goes out first, so that on a shared terminal
    // the status line never lands in the middle of it.
    std::cout.flush();
    std::string line = "  " + msg.substr(0, width);
    line.resize(2 + width, ' ');
    line += '\r';
    std::cerr << line;
    if (!msg.empty()) {
        whirlyGig();
    }
}
