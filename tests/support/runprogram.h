#pragma once

#include <fcntl.h>
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

struct RunResult {
    std::string out;
    std::string err;
    int status = -1;
};

// Runs the program (TAVLER_BIN, unless `bin` names another) in `workDir`
// with `args`, standard input from /dev/null, and collects what it wrote.
// Output sent to a file outside `workDir` is left there, not collected.
inline RunResult runProgram(const std::filesystem::path& workDir,
                            const std::vector<std::string>& args,
                            std::filesystem::path outFile = {}, const char* bin = nullptr) {
    namespace fs = std::filesystem;
    if (bin == nullptr) {
        bin = std::getenv("TAVLER_BIN");
    }
    if (outFile.empty()) {
        outFile = workDir / ".stdout";
    }
    const fs::path errFile = workDir / ".stderr";
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(workDir.c_str()) != 0) {
            _exit(126);
        }
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char*> argv{const_cast<char*>("tavler")};
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(bin, argv.data());
        _exit(127);
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    RunResult result;
    const bool ownOutput = outFile.parent_path() == workDir;
    if (ownOutput) {
        result.out = readFile(outFile);
    }
    result.err = readFile(errFile);
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    if (ownOutput) {
        fs::remove(outFile);
    }
    fs::remove(errFile);
    return result;
}
