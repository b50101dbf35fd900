#include "tavler/main2.h"

#include <array>
#include <iostream>
#include <optional>
#include <string>

#include "schema/schema.h"
#include "tavler/abnormalend.h"
#include "tavler/cmdline.h"
#include "tavler/printhelp.h"
#include "tavler/serversource.h"
#include "toollib/namecompare.h"
#include "toollib/progress.h"
#include "toollib/txtparse/textstreamparser.h"

namespace {

// Set by any comparison in the process that found differences; never reset.
bool error = false;

// List files naming list files stop starting new levels at this depth, so a
// list that names itself ends instead of exhausting the stack.
constexpr int maxListDepth = 32;

int invocation(int argc, char** argv, int depth);

// Runs a nested invocation for every significant line of the list file,
// with the line standing in place of the list file's word.
int listRun(int argc, char** argv, const std::string& listArg, const std::string& typedName,
            int depth) {
    if (depth >= maxListDepth) {
        std::cout << listArg << ": list files nest too deeply\n";
        return 1;
    }
    TextStreamParser tsp = openOrEnd(typedName);
    while (tsp.getLine()) {
        int j = 1;
        while (j < argc && !namesEqual(argv[j], listArg)) {
            ++j;
        }
        if (j == argc) {
            break;  // cannot happen: the list word came from argv
        }
        std::string word = tsp.line;
        char* temparg = argv[j];
        argv[j] = word.data();
        invocation(argc, argv, depth + 1);
        argv[j] = temparg;
    }
    return 0;
}

struct Kind {
    const char* letter;
    const char* message;
    bool (Schema::*read)(TextStreamParser&);
};

constexpr std::array<Kind, 3> kinds{{
    {"C", ": Reading Class Definitions", &Schema::readClassDefs},
    {"A", ": Reading Attribute Definitions", &Schema::readAttrDefs},
    {"S", ": Reading Syntax Definitions", &Schema::readSyntaxDefs},
}};

int invocation(int argc, char** argv, int depth) {
    std::array<Schema, 2> schema;
    // The words as typed name the files to open; the upper-case copy names
    // the schemas in all output.
    const CMDLine typed(argc, argv, '/');
    CMDLine cmd = typed;
    cmd.toUpper();

    if (cmd.getArgCount() < 1 || cmd.getArgCount() > 2) {
        PrintHelp();
        return 0;
    }

    for (int i = 0; i < cmd.getArgCount(); ++i) {
        const std::string arg = cmd.getArg(i);
        std::optional<TextStreamParser> tsp;
        if (containsName(arg, ".lst")) {
            return listRun(argc, argv, arg, typed.getArg(i), depth);
        }
        schema[i].name = arg;
        if (containsName(arg, ".ref")) {
            tsp.emplace(openOrEnd(typed.getArg(i)));
        } else if (!attachServer(arg)) {
            return 1;
        }
        for (const Kind& kind : kinds) {
            if (cmd.getSwitchCount() != 0 && !cmd.isSwitch(kind.letter)) {
                continue;
            }
            updateMsg(schema[i].name + kind.message);
            // A server position has no reader until directory access exists.
            if (!tsp || !(schema[i].*kind.read)(*tsp)) {
                return 1;
            }
        }
    }

    if (cmd.getArgCount() == 2) {
        std::cout << "\nComparing " << schema[0].name << " with " << schema[1].name << "...\n";
        if (schema[0].compare(schema[1]) != 0) {
            error = true;
        }
    } else {
        schema[0].write(std::cout);
    }
    updateMsg("");
    return error ? 1 : 0;
}

}  // namespace

int main2(int argc, char** argv) {
    const int status = invocation(argc, argv, 0);
    // A listing that never reached its file must not end as a success.
    if (!std::cout.flush()) {
        std::cerr << "Could not write standard output.\n";
        return 1;
    }
    return status;
}
