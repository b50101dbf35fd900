#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// The whole content of `file`, byte for byte.
inline std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// `args` as the program's argv: "tavler" first, a null pointer last. The
// words point into `args`, which must outlive the result.
inline std::vector<char*> programArgv(const std::vector<std::string>& args) {
    std::vector<char*> argv{const_cast<char*>("tavler")};
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    return argv;
}

struct RunResult {
    std::string out;
    std::string err;
    int status = -1;
    long peakKib = 0;  // the program's peak resident memory (ru_maxrss)
};

// What a run gets besides its arguments.
struct RunOptions {
    std::string input;             // standard input (from a file, so it ends)
    std::vector<std::string> env;  // NAME=VALUE settings added to the environment
    int limitSeconds = 120;        // the run is killed after this; status 137 then
    std::size_t addressSpace = 0;  // bytes of address space the run may take; 0: no limit
};

// Runs the program (TAVLER_BIN, unless `bin` names another) in `workDir`
// with `args`, standard input from /dev/null, and collects what it wrote.
// Output sent to a file outside `workDir` is left there, not collected.
inline RunResult runProgram(const std::filesystem::path& workDir,
                            const std::vector<std::string>& args,
                            std::filesystem::path outFile = {}, const char* bin = nullptr,
                            const RunOptions& options = {}) {
    namespace fs = std::filesystem;
    if (bin == nullptr) {
        bin = std::getenv("TAVLER_BIN");
    }
    if (outFile.empty()) {
        outFile = workDir / ".stdout";
    }
    const fs::path errFile = workDir / ".stderr";
    const fs::path inFile = workDir / ".stdin";
    if (!options.input.empty()) {
        std::ofstream(inFile, std::ios::binary) << options.input;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(workDir.c_str()) != 0) {
            _exit(126);
        }
        const int in = open(options.input.empty() ? "/dev/null" : inFile.c_str(), O_RDONLY);
        for (const std::string& setting : options.env) {
            putenv(const_cast<char*>(setting.c_str()));
        }
        if (options.addressSpace != 0) {
            const rlimit limit{options.addressSpace, options.addressSpace};
            setrlimit(RLIMIT_AS, &limit);
        }
        const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        execv(bin, programArgv(args).data());
        _exit(127);
    }
    // Bounded: a run that hangs is killed, and the test sees status 137.
    int wstatus = 0;
    rusage usage{};
    for (int waited = 0; wait4(pid, &wstatus, WNOHANG, &usage) == 0; waited += 10) {
        if (waited >= options.limitSeconds * 1000) {
            kill(pid, SIGKILL);
            wait4(pid, &wstatus, 0, &usage);
            break;
        }
        usleep(10 * 1000);
    }
    RunResult result;
    const bool ownOutput = outFile.parent_path() == workDir;
    if (ownOutput) {
        result.out = readFile(outFile);
    }
    result.err = readFile(errFile);
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    result.peakKib = usage.ru_maxrss;
    if (ownOutput) {
        fs::remove(outFile);
    }
    fs::remove(errFile);
    fs::remove(inFile);
    return result;
}
