#pragma once

#include <array>
#include <string>
#include <vector>

#include "schema/schema.h"
#include "tavler/cmdline.h"
#include "tavler/runsummary.h"
#include "tavler/serversource.h"

// What full mode is asked for on the command line.
struct FullModeOptions {
    bool json = false;
    bool strict = false;
};

// Lists one schema or compares two in full mode: every kind and field of an
// LDAP schema. `typed` holds one or two source words (no list file) as
// typed; `selected` the kinds the switches chose; `inListRun` whether the
// invocation runs a line of a list file, where each listing is headed by a
// comment naming its source. With JSON, error lines go to standard error,
// so that standard output holds one document per line and nothing else.
// Returns what the invocation came to, names as typed.
RunOutcome fullInvocation(const CMDLine& typed, const CMDLine& upper, const SelectedKinds& selected,
                          const FullModeOptions& options, ServerState& server, bool inListRun);

// The exit status of a full-mode outcome: 0 listed or no differences, 1
// differences, 2 a source could not be read.
int fullStatus(const RunOutcome& outcome);
