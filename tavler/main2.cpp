#include "tavler/main2.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "dscontext/dscontext.h"
#include "schema/referencefilecache.h"
#include "schema/schema.h"
#include "tavler/abnormalend.h"
#include "tavler/cmdline.h"
#include "tavler/fullinvocation.h"
#include "tavler/kindselection.h"
#include "tavler/listprefetch.h"
#include "tavler/options.h"
#include "tavler/printhelp.h"
#include "tavler/runsummary.h"
#include "tavler/serversource.h"
#include "toollib/heapmemory.h"
#include "toollib/namecompare.h"
#include "toollib/progress.h"
#include "toollib/txtparse/textstreamparser.h"

namespace {

// Set by any comparison in the process that found differences; never reset.
bool error = false;

// List files naming list files stop starting new levels at this depth, so a
// long chain of distinct list files ends instead of exhausting the stack.
constexpr std::size_t maxListDepth = 32;

// A list file being run: the place in argv its lines stand in, and the file
// as the file system knows it, whatever name reached it.
struct RunningList {
    int place;
    dev_t device;
    ino_t inode;
    bool operator==(const RunningList&) const = default;
};

// What the invocations of one run share: the list files being run by an
// invocation and those enclosing it, outermost first, and the reference
// files read so far (a list run that names the same reference file on every
// line reads it once).
struct Run {
    std::vector<RunningList> lists;
    ReferenceFileCache fileCache;
    Options options;
    // Full mode: the highest status of any invocation of the run.
    int worstStatus = 0;
    // Whether a list file was run, and what each comparison or listing made
    // by a line of one came to, for --summary.
    bool ranList = false;
    std::vector<RunOutcome> outcomes;
};

// Only what lines of list files made goes into a summary.
void record(Run& run, RunOutcome outcome) {
    if (!run.lists.empty()) {
        run.outcomes.push_back(std::move(outcome));
    }
}

bool isListWord(const std::string& upperWord) {
    return !hasServerScheme(upperWord) && containsName(upperWord, ".lst");
}

int invocation(int argc, char** argv, Run& run);

// The place in argv that the list word `listArg` came from: the first word
// equal to it, as every line of the list is put there.
int placeOf(int argc, char** argv, const std::string& listArg) {
    int j = 1;
    while (j < argc && !namesEqual(argv[j], listArg)) {
        ++j;
    }
    return j;
}

// Runs a nested invocation for every significant line of the list file,
// with the line standing in place of the list file's word. A list file is a
// cycle only when a nested invocation would run it again in the same place
// of argv that an enclosing invocation is filling from it: a list that names
// itself would otherwise nest until the depth limit on every line, which for
// two such lines is billions of invocations. The same file in the other
// place is a cross product of two lists, which ends.
int listRun(int argc, char** argv, const std::string& listArg, const std::string& typedName,
            Run& run) {
    std::vector<RunningList>& running = run.lists;
    // JSON output keeps standard output for its documents.
    std::ostream& lines = run.options.json ? std::cerr : std::cout;
    if (running.size() >= maxListDepth) {
        lines << listArg << ": list files nest too deeply\n";
        return 1;
    }
    const int j = placeOf(argc, argv, listArg);
    if (j == argc) {
        return 1;  // cannot happen: the list word came from argv
    }
    struct stat status {};
    std::optional<RunningList> id;
    if (stat(typedName.c_str(), &status) == 0) {
        id = RunningList{j, status.st_dev, status.st_ino};
        if (std::find(running.begin(), running.end(), *id) != running.end()) {
            lines << listArg << ": list file is already being run\n";
            return 1;
        }
    }
    TextStreamParser tsp = openOrEnd(typedName);
    // A name that could not be looked up is not found again either; it
    // still counts towards the depth.
    running.push_back(id.value_or(RunningList{j, 0, 0}));
    run.ranList = true;
    ListPrefetch prefetch(typedName, run.options.jobs, run.options.full);
    std::size_t line = 0;
    while (tsp.getLine()) {
        prefetch.reached(++line);
        std::string word = tsp.line;
        char* temparg = argv[j];
        argv[j] = word.data();
        invocation(argc, argv, run);
        argv[j] = temparg;
    }
    running.pop_back();
    return 0;
}

struct Kind {
    bool SelectedKinds::*selected;
    const char* message;
    bool (Schema::*readFile)(TextStreamParser&);
    int (Schema::*readServer)(std::uint32_t, DSContext&);
};

constexpr std::array<Kind, 3> kinds{{
    {&SelectedKinds::classes, ": Reading Class Definitions", &Schema::readClassDefs,
     &Schema::readClassDefs},
    {&SelectedKinds::attributes, ": Reading Attribute Definitions", &Schema::readAttrDefs,
     &Schema::readAttrDefs},
    {&SelectedKinds::syntaxes, ": Reading Syntax Definitions", &Schema::readSyntaxDefs,
     &Schema::readSyntaxDefs},
}};

// Full mode: a list file among the words is run line by line as in the
// listing mode; otherwise the sources are listed or compared in full. The
// run's status is the highest of its invocations.
int fullRun(const CMDLine& typed, const CMDLine& upper, const SelectedKinds& selected,
            ServerState& server, int argc, char** argv, Run& run) {
    for (int i = 0; i < upper.getArgCount(); ++i) {
        const std::string arg = upper.getArg(i);
        if (isListWord(arg)) {
            if (listRun(argc, argv, arg, typed.getArg(i), run) != 0) {
                run.worstStatus = std::max(run.worstStatus, 2);
            }
            return run.worstStatus;
        }
    }
    RunOutcome outcome = fullInvocation(
        typed, upper, selected, {run.options.json, run.options.strict}, server, !run.lists.empty());
    const int status = fullStatus(outcome);
    record(run, std::move(outcome));
    run.worstStatus = std::max(run.worstStatus, status);
    return status;
}

int invocation(int argc, char** argv, Run& run) {
    // The contexts come first, so the directory library is used even when
    // only the usage screen follows.
    std::array<DSContext, 2> dsContext;
    std::array<Schema, 2> schema;
    ServerState server;
    for (std::size_t i = 0; i < dsContext.size(); ++i) {
        server.contextHandle[i] = dsContext[i].getContextHandle();
    }
    // The words as typed name the files to open; the upper-case copy names
    // the schemas in all output.
    const CMDLine typed(argc, argv, '/');
    CMDLine cmd = typed;
    cmd.toUpper();

    if (cmd.getArgCount() < 1 || cmd.getArgCount() > 2) {
        PrintHelp();
        return 0;
    }
    // Switches that select no kind would read two empty schemas and report
    // them equal, whatever the sources hold.
    const SelectedKinds selected = selectKinds(typed);
    if (!anySelected(selected)) {
        std::cerr << "tavler: the switches select nothing (/C, /A and /S select kinds; an absolute "
                     "path is written file:/PATH)\n";
        return 2;
    }

    if (run.options.full) {
        return fullRun(typed, cmd, selected, server, argc, argv, run);
    }

    // A list word in the second place that is not reached leaves a
    // failure with the first alone.
    RunOutcome outcome;
    outcome.a = cmd.getArg(0);
    if (cmd.getArgCount() == 2 && !isListWord(cmd.getArg(1))) {
        outcome.b = cmd.getArg(1);
    }
    outcome.result = RunOutcome::Result::failed;
    for (int i = 0; i < cmd.getArgCount(); ++i) {
        const std::string arg = cmd.getArg(i);
        const std::size_t at = static_cast<std::size_t>(i);
        std::optional<TextStreamParser> tsp;
        // A word with a server scheme names a server even with ".lst" or
        // ".ref" inside it (a path or a host name may hold either).
        const bool schemeServer = hasServerScheme(arg);
        if (isListWord(arg)) {
            return listRun(argc, argv, arg, typed.getArg(i), run);
        }
        schema[at].name = arg;
        if (!schemeServer && containsName(arg, ".ref")) {
            tsp.emplace(openOrEnd(typed.getArg(i)));
            schema[at].setFileCache(&run.fileCache);
            if (const std::optional<FileIdentity> file = tsp->identity()) {
                // A schema takes less memory than twice its listing.
                reserveHeap(2 * static_cast<std::uint64_t>(file->size));
            }
        } else {
            readyHeapForSchemaFile(typed.getArg(i));
            // Connecting and binding may wait for a long time: the user sees for whom.
            updateMsg(schema[at].name + ": Connecting");
            if (!attachServer(server, i, arg, typed.getArg(i))) {
                outcome.message = server.failure;
                record(run, std::move(outcome));
                return 1;
            }
        }
        for (const Kind& kind : kinds) {
            if (!(selected.*kind.selected)) {
                continue;
            }
            updateMsg(schema[at].name + kind.message);
            const bool read =
                tsp ? (schema[at].*kind.readFile)(*tsp)
                    : (schema[at].*kind.readServer)(server.connHandle[at], dsContext[at]) != 0;
            if (!read) {
                outcome.message = schema[at].readFailure();
                if (tsp) {
                    // A file says why it cannot be read; a server's error line did already.
                    outcome.message = typed.getArg(i) + ": " + outcome.message;
                    updateMsg("");
                    std::cerr << outcome.message << '\n';
                }
                record(run, std::move(outcome));
                return 1;
            }
        }
    }

    if (cmd.getArgCount() == 2) {
        std::cout << "\nComparing " << schema[0].name << " with " << schema[1].name << "...\n";
        const bool differs = schema[0].compare(schema[1]) != 0;
        error = error || differs;
        outcome.result =
            differs ? RunOutcome::Result::differences : RunOutcome::Result::noDifferences;
    } else {
        // An empty kind that was asked for gets its section, so that the
        // listing reads back as a reference file.
        schema[0].write(std::cout, selected);
        outcome.result = RunOutcome::Result::listed;
    }
    record(run, std::move(outcome));
    updateMsg("");
    closeServers(server);
    return error ? 1 : 0;
}

// A listing that never reached its file must not end as a success.
int finishOutput(int status) {
    if (!std::cout.flush()) {
        std::cerr << "Could not write standard output.\n";
        return 1;
    }
    return status;
}

}  // namespace

int main2(int argc, char** argv) {
    ParsedCommandLine parsed = takeOptions(argc, argv);
    if (parsed.unknown) {
        std::cerr << "tavler: unknown option " << *parsed.unknown << " (see tavler --help)\n";
        return 2;
    }
    if (parsed.badJobs) {
        std::cerr << "tavler: --jobs takes a whole number from 1 to " << maxJobs << '\n';
        return 2;
    }
    // The listing layout has no DESC or extensions to be strict about: a
    // strict comparison that quietly compared less would mislead.
    if (parsed.options.strict && !parsed.options.full) {
        std::cerr << "tavler: --strict compares in full mode only (add --full or --json)\n";
        return 2;
    }
    if (parsed.options.help || parsed.options.version) {
        if (parsed.options.help) {
            writeHelp(std::cout);
        } else {
            writeVersion(std::cout);
        }
        return finishOutput(0);
    }
    Run run;
    run.options = parsed.options;
    std::vector<char*>& words = parsed.words;
    words.push_back(nullptr);  // argv's own end
    const int status = invocation(static_cast<int>(words.size()) - 1, words.data(), run);
    if (run.options.summary && run.ranList) {
        if (run.options.json) {
            writeJsonSummary(std::cout, run.outcomes);
        } else {
            writeSummary(std::cout, run.outcomes);
        }
    }
    return finishOutput(run.options.full ? std::max(status, run.worstStatus) : status);
}
