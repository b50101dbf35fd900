#pragma once

#include <string>

// Console progress on standard error: a status line overwritten in place and a
// spinner in its first column. Neither writes a line end, so a listing
// redirected from standard output never holds progress text.

// Advances the process-wide spinner and writes its character and a carriage return.
void whirlyGig();

// Writes `msg` as the status line (cut or padded to 77 characters after two
// spaces); a non-empty message also turns the spinner, an empty one blanks the line.
void updateMsg(const std::string& msg);

// Blanks the status line as updateMsg("") does, without allocating: for the
// last words of a run whose memory ran out.
void blankStatusLine() noexcept;

// Writes the spinner turns gathered so far, and standard output before them,
// so that the terminal shows the current state before the program waits on
// something slow, such as a server.
void flushProgress();

// While one is alive, the spinner's turns are gathered and written a few
// thousand at a time, each no later than a twentieth of a second after it
// was made, and all of them when the last one ends: a reader that turns the
// spinner once per definition would otherwise spend a system call on each.
// The bytes written are the same; only their grouping into writes differs.
class SpinnerBatch {
  public:
    SpinnerBatch();
    ~SpinnerBatch();
    SpinnerBatch(const SpinnerBatch&) = delete;
    SpinnerBatch& operator=(const SpinnerBatch&) = delete;
};
