// Inputs that users hand the program by mistake or on purpose: each has a
// defined outcome, within a bounded time, and never a crash.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/runprogram.h"
#include "support/tempdir.h"

namespace {

struct HostileCase {
    const char* what;
    std::vector<std::string> args;
    int status;
    std::string out;  // the whole of standard output, or its start when `prefix`
    bool prefix = false;
};

std::string repeated(const std::string& text, std::size_t times) {
    std::string all;
    all.reserve(text.size() * times);
    for (std::size_t n = 0; n < times; ++n) {
        all += text;
    }
    return all;
}

TEST(HostileInput, EachHasADefinedOutcome) {
    ScopedTempDir work;
    work.write("nul.ref", std::string(4096, '\0'));
    work.write("empty.ref", "");
    work.write("oneline.ref", std::string(std::size_t{50} * 1024 * 1024, 'x'));
    work.write("same.ref", "\nClass Definitions\n" + repeated("Same\n", 100000));
    work.write("one.ref", "\nClass Definitions\nOne\n");
    work.write("many.lst", repeated("one.ref\n", 10000));
    work.write("names.ref",
               "\nClass Definitions\n\xc3\x9cnic\xc3\xb6"
               "de\nBell\x07Name\nEsc\x1b[2JName\n");
    const std::string longWord(100000, 'w');
    const std::vector<HostileCase> cases{
        {"a file of NUL bytes has no section", {"nul.ref", "/C"}, 1, ""},
        {"an empty file has no section", {"empty.ref", "/C"}, 1, ""},
        {"a single line of 50 MB has no section", {"oneline.ref", "/C"}, 1, ""},
        {"100,000 definitions of one name are all listed",
         {"same.ref", "/C"},
         0,
         "\nClass Definitions\n" + repeated("Same\n", 100000)},
        {"a list file of 10,000 lines runs each",
         {"many.lst", "/C"},
         0,
         repeated("\nClass Definitions\nOne\n", 10000)},
        {"names keep every byte when the output is not a terminal",
         {"names.ref", "/C"},
         0,
         "\nClass Definitions\nBell\x07Name\nEsc\x1b[2JName\n\xc3\x9cnic\xc3\xb6"
         "de\n"},
        {"a reference file name of 100,000 characters cannot be opened",
         {longWord + ".ref"},
         3,
         "\nCan't open " + longWord + ".ref\n"},
        {"a server name of 100,000 characters is no server",
         {longWord + " x"},
         1,
         "Could not attach to server " + std::string(100000, 'W') +
             " X.  QXCCOpenConnByName returned -301:fffffed3\n"},
        {"an address that does not parse is no server",
         {"ldap://[::1"},
         1,
         "Could not attach to server LDAP://[::1.  QXCCOpenConnByName returned -301:fffffed3\n"},
        {"a schema file that is a folder of nothing lists an empty schema",
         {"file:."},
         0,
         "\tNONE\n"},
    };
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.what);
        RunOptions options;
        options.limitSeconds = 60;
        const RunResult result = runProgram(work.path(), c.args, {}, nullptr, options);
        EXPECT_EQ(result.status, c.status);
        if (c.prefix) {
            EXPECT_EQ(result.out.substr(0, c.out.size()), c.out);
        } else {
            EXPECT_TRUE(result.out == c.out) << result.out.substr(0, 300);
        }
    }
}

// Runs the program with its standard output on a pipe that nobody reads,
// standard error into `err`, and returns the wait status.
int runIntoClosedPipe(const std::filesystem::path& workDir, const std::vector<std::string>& args,
                      std::string& err) {
    int fds[2];
    if (pipe(fds) != 0) {
        return -1;
    }
    close(fds[0]);
    const std::filesystem::path errFile = workDir / ".stderr";
    const pid_t pid = fork();
    if (pid == 0) {
        const int errFd = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (chdir(workDir.c_str()) != 0 || errFd < 0) {
            _exit(126);
        }
        static_cast<void>(signal(SIGPIPE, SIG_DFL));
        dup2(fds[1], 1);
        dup2(errFd, 2);
        const char* program = std::getenv("TAVLER_BIN");
        if (program != nullptr) {
            execv(program, programArgv(args).data());
        }
        _exit(127);
    }
    close(fds[1]);
    int status = 0;
    waitpid(pid, &status, 0);
    err = readFile(errFile);
    return status;
}

TEST(HostileInput, AListingIntoAClosedPipeEndsQuietly) {
    ScopedTempDir work;
    work.write("big.ref", "\nClass Definitions\n" + repeated("A rather long class name\n", 200000));
    std::string err;
    const int status = runIntoClosedPipe(work.path(), {"big.ref", "/C"}, err);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGPIPE);
    EXPECT_EQ(err.find("Could not write"), std::string::npos);
    EXPECT_EQ(err.find('\n'), std::string::npos) << "only the progress line: " << err;
}

}  // namespace
