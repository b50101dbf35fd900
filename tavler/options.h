#pragma once

#include <optional>
#include <string>
#include <vector>

// The options of the command line: words that begin with "--" (a host name
// cannot begin with "-"), and "-h". They are taken out before the rest is
// split into arguments and switches, so those count exactly as without them.
struct Options {
    bool help = false;
    bool version = false;
    // Compare or list every field of every kind of an LDAP schema.
    bool full = false;
    // Full mode's output as JSON (implies full).
    bool json = false;
    // Full mode also compares DESC and extensions, and the order of aliases.
    bool strict = false;
    // After a list run, a line per comparison or listing it made and the totals.
    bool summary = false;
    // How many servers a list run fetches ahead at once; 1: none ahead, no
    // threads at all.
    unsigned jobs = 16;
};

// The range of --jobs.
constexpr unsigned maxJobs = 1024;

struct ParsedCommandLine {
    Options options;
    // argv[0] and every word that is no option, in their order; the
    // pointers are argv's own.
    std::vector<char*> words;
    // The first word that looked like an option but is none, if any.
    std::optional<std::string> unknown;
    // A --jobs without a whole number from 1 to maxJobs.
    bool badJobs = false;
};

// Takes the options out of argv[1] to argv[argc-1]. A word "--" ends the
// options: every word after it is kept as it is. "--jobs N" takes the next
// word as its value, whatever it is; "--jobs=N" is the same.
ParsedCommandLine takeOptions(int argc, char** argv);
