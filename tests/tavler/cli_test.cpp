// Runs the built program on each case folder under golden/ and compares its
// standard output, standard error and exit status with the files kept there,
// byte for byte.
//
// A case folder holds:
//   args    - the command-line words, one per line
//   copy    - optional: files of the source tree to put beside the inputs
//   stdout, stderr, status - what the run must produce
//   calls   - optional: the directory library calls the run must make
// and any input files, which are copied into a fresh directory that becomes
// the program's working directory. A case with a file "directory" runs the
// program built on the in-memory directory, which that file describes. With TAVLER_UPDATE_GOLDEN=1
// in the environment the expected files are rewritten from the actual run instead.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/runprogram.h"
#include "support/tempdir.h"

namespace fs = std::filesystem;

namespace {

const fs::path goldenDir = TAVLER_GOLDEN_DIR;
const fs::path sourceDir = goldenDir.parent_path().parent_path().parent_path();
const std::set<std::string> caseFiles{"args", "copy", "stdout", "stderr", "status", "calls"};

std::vector<std::string> readLines(const fs::path& file) {
    std::vector<std::string> lines;
    std::ifstream in(file, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> caseNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(goldenDir)) {
        if (entry.is_directory()) {
            names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Shows both texts with their control characters visible, for a readable diff.
std::string visible(const std::string& text) {
    std::string shown;
    for (char c : text) {
        if (c == '\t') {
            shown += "\\t";
        } else if (c == '\r') {
            shown += "\\r";
        } else if (c == '\n') {
            shown += "\\n\n";
        } else {
            shown += c;
        }
    }
    return shown;
}

// Runs the program in `workDir` with `args`, its standard output (and, with
// `bothStreams`, its standard error) on a pseudo-terminal, and returns what
// the terminal received.
std::string onTerminal(const fs::path& workDir, const std::vector<std::string>& args,
                       bool bothStreams = false) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        return "no pseudo-terminal";
    }
    const pid_t pid = fork();
    if (pid == 0) {
        const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
        dup2(slave, 1);
        if (bothStreams) {
            dup2(slave, 2);
        }
        if (chdir(workDir.c_str()) != 0) {
            _exit(126);
        }
        const char* program = std::getenv("TAVLER_BIN");
        if (program != nullptr) {
            execv(program, programArgv(args).data());
        }
        _exit(127);
    }
    std::string received;
    char buf[4096];
    for (ssize_t got; (got = read(master, buf, sizeof buf)) > 0;) {
        received.append(buf, static_cast<std::size_t>(got));
    }
    waitpid(pid, nullptr, 0);
    close(master);
    return received;
}

TEST(UsageScreen, ClearsTheScreenOnlyOnATerminal) {
    const std::string screen = onTerminal(fs::current_path(), {});
    const std::string clear = "\x1b[H\x1b[2J";
    ASSERT_EQ(screen.substr(0, clear.size()), clear);
    // The rest is the plain screen, the terminal turning each line end into
    // a carriage return and a line end.
    std::string plain = readFile(goldenDir / "usage_no_arguments" / "stdout");
    for (std::size_t at = 0; (at = plain.find('\n', at)) != std::string::npos; at += 2) {
        plain.insert(at, 1, '\r');
    }
    EXPECT_EQ(screen.substr(clear.size()), plain);
}

TEST(Terminal, ControlBytesOfNamesAreShownNotObeyed) {
    ScopedTempDir work;
    work.write("names.ref", "\nClass Definitions\nEsc\x1b[2JName\nBell\x07\x7f\n");
    const std::string seen = onTerminal(work.path(), {"names.ref", "/C"}, true);
    // The terminal turns line ends into carriage return and line end.
    EXPECT_NE(seen.find("\r\nBell\\x07\\x7f\r\nEsc\\x1b[2JName\r\n"), std::string::npos) << seen;
    EXPECT_NE(seen.find("  NAMES.REF: Reading Class Definitions"), std::string::npos)
        << "the status line keeps its own carriage returns";
    EXPECT_EQ(seen.find("\\x0d"), std::string::npos) << "a carriage return of the status line";
    EXPECT_EQ(seen.find('\x1b'), std::string::npos);
    EXPECT_EQ(seen.find('\x07'), std::string::npos);
}

TEST(StandardOutput, AListingThatCannotBeWrittenIsAFailure) {
    ScopedTempDir work;
    fs::copy(sourceDir / "examples" / "base.ref", work.path() / "base.ref");
    const RunResult run = runProgram(work.path(), {"base.ref"}, "/dev/full");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Could not write standard output.\n"), std::string::npos);
}

class Golden : public testing::TestWithParam<std::string> {};

TEST_P(Golden, OutputMatches) {
    const fs::path caseDir = goldenDir / GetParam();
    ScopedTempDir work;
    for (const auto& entry : fs::directory_iterator(caseDir)) {
        if (caseFiles.count(entry.path().filename().string()) == 0) {
            fs::copy(entry.path(), work.path() / entry.path().filename(),
                     fs::copy_options::recursive);
        }
    }
    if (fs::exists(caseDir / "copy")) {
        for (const std::string& file : readLines(caseDir / "copy")) {
            fs::copy(sourceDir / file, work.path() / fs::path(file).filename());
        }
    }

    const char* bin = fs::exists(work.path() / "directory") ? TAVLER_MEMDIR_BIN : nullptr;
    const RunResult run = runProgram(work.path(), readLines(caseDir / "args"), {}, bin);

    const bool withCalls = fs::exists(caseDir / "calls");
    const std::string calls = withCalls ? readFile(work.path() / ".calls") : std::string();
    if (std::getenv("TAVLER_UPDATE_GOLDEN") != nullptr) {
        std::ofstream(caseDir / "stdout", std::ios::binary) << run.out;
        std::ofstream(caseDir / "stderr", std::ios::binary) << run.err;
        std::ofstream(caseDir / "status") << run.status << '\n';
        if (withCalls) {
            std::ofstream(caseDir / "calls", std::ios::binary) << calls;
        }
        GTEST_SKIP() << "golden files rewritten";
    }
    if (withCalls) {
        EXPECT_EQ(readFile(caseDir / "calls"), calls) << "directory library calls";
    }
    EXPECT_EQ(visible(readFile(caseDir / "stdout")), visible(run.out)) << "standard output";
    EXPECT_EQ(visible(readFile(caseDir / "stderr")), visible(run.err)) << "standard error";
    EXPECT_EQ(std::stoi(readFile(caseDir / "status")), run.status) << "exit status";
}

INSTANTIATE_TEST_SUITE_P(Cases, Golden, testing::ValuesIn(caseNames()),
                         [](const testing::TestParamInfo<std::string>& param) {
                             std::string name = param.param;
                             std::replace_if(
                                 name.begin(), name.end(),
                                 [](char c) {
                                     return !std::isalnum(static_cast<unsigned char>(c));
                                 },
                                 '_');
                             return name;
                         });

}  // namespace
