#include "toollib/progress.h"
#include <array>

#include <time.h>

#include <cstdint>
#include <iostream>

#include "toollib/terminaltext.h"

namespace {

constexpr std::size_t batchBytes = 4096;
constexpr std::int64_t batchMillis = 50;

struct Gathered {
    int batches = 0;  // SpinnerBatch objects alive
    std::string bytes;
    std::int64_t since = 0;  // when the oldest gathered turn was made
};

Gathered& gathered() {
    static Gathered state;
    return state;
}

// A clock read once per turn must be cheap; a few milliseconds of
// resolution are plenty for a bound of fifty.
std::int64_t nowMillis() {
    timespec now{};
#ifdef CLOCK_MONOTONIC_COARSE
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
#else
    clock_gettime(CLOCK_MONOTONIC, &now);
#endif
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// The progress display's own bytes. Its carriage returns are meant for the
// terminal, so there they pass the filter that shows control bytes of
// names; standard output is flushed first, as the stream's tie would.
void writeProgress(const char* bytes, std::size_t count) {
    if (shownOnTerminal(std::cerr)) {
        std::cout.flush();
        rawBuffer(std::cerr)->sputn(bytes, static_cast<std::streamsize>(count));
    } else {
        std::cerr.write(bytes, static_cast<std::streamsize>(count));
    }
}

void writeGathered() {
    Gathered& state = gathered();
    if (!state.bytes.empty()) {
        writeProgress(state.bytes.data(), state.bytes.size());
        state.bytes.clear();
    }
}

}  // namespace

SpinnerBatch::SpinnerBatch() {
    ++gathered().batches;
}

SpinnerBatch::~SpinnerBatch() {
    if (--gathered().batches == 0) {
        writeGathered();
    }
}

void whirlyGig() {
    static unsigned int n = 0;  // wraps at a multiple of 4, so the turn stays even
    static const char gig[] = {'|', '/', '-', '\\'};
    ++n;
    const char turn[] = {gig[n % 4], '\r', '\0'};
    Gathered& state = gathered();
    if (state.batches == 0) {
        // One write per turn: standard error is unbuffered.
        writeProgress(turn, 2);
        return;
    }
    const std::int64_t now = nowMillis();
    if (state.bytes.empty()) {
        state.since = now;
    }
    state.bytes.append(turn, 2);
    if (state.bytes.size() >= batchBytes || now - state.since >= batchMillis) {
        writeGathered();
    }
}

namespace {

constexpr std::size_t width = 77;

}  // namespace

void blankStatusLine() noexcept {
    static constexpr std::array<char, 2 + width + 1> blank = [] {
        std::array<char, 2 + width + 1> line{};
        line.fill(' ');
        line.back() = '\r';
        return line;
    }();
    try {
        writeProgress(blank.data(), blank.size());
    } catch (...) {
        // Nothing more can be said on a stream that fails.
    }
}

void flushProgress() {
    std::cout.flush();
    writeGathered();
}

void updateMsg(const std::string& msg) {
    // Listing text written so far goes out first, so that on a shared terminal
    // the status line never lands in the middle of it; so do gathered turns.
    flushProgress();
    // A name may hold control bytes: on a terminal they are shown, not obeyed.
    const std::string shown = shownOnTerminal(std::cerr) ? terminalSafe(msg) : msg;
    std::string line = "  " + shown.substr(0, width);
    line.resize(2 + width, ' ');
    line += '\r';
    writeProgress(line.data(), line.size());
    if (!msg.empty()) {
        whirlyGig();
    }
}
