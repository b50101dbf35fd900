#pragma once

#include <string>

#include "toollib/txtparse/textstreamparser.h"

// Opens `fileName` for the driver. A file that cannot be opened ends the whole
// process: see cantOpen.
TextStreamParser openOrEnd(const std::string& fileName);

// The program's one abnormal end: what standard output already holds is
// flushed, then "Can't open " and the name go to standard output,
// "Abnormal program termination" to standard error, and the process exits
// with status 3.
[[noreturn]] void cantOpen(const std::string& fileName);

// Ends the process the same way, without the "Can't open" line; used when
// something unforeseen (such as exhausted memory) stops a run.
[[noreturn]] void abnormalEnd();

// The abnormal end for memory that ran out, anywhere: "Out of memory" goes
// to standard error before the rest. Never a result made of what fitted.
[[noreturn]] void outOfMemory();

// The last step of the abnormal end, once its messages are written: by
// default the process exits with status 3. A harness that runs the driver
// many times in one process (the fuzzer) sets a step that throws instead of
// ending the process; a step that returns is followed by the exit.
using AbnormalExit = void (*)();
void setAbnormalExit(AbnormalExit exitStep);
