// The whole driver: command lines and list runs over a small set of files
// that the input makes, in a folder in memory, with two servers of the
// in-memory directory and no network. Beyond running clean under the
// sanitizers: an invocation answers 0 or 1, or ends abnormally only after
// "Can't open" on standard output, and nothing it does escapes as an
// exception.
//
// Input: parts separated by NUL bytes. The first part is the command line,
// a word per line; each further part is a file, its name on the first line
// (letters, digits and dots only) and its content after it.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "support/memorydirectory.h"
#include "tavler/abnormalend.h"
#include "tavler/main2.h"

namespace fs = std::filesystem;

namespace {

struct AbnormalEnd {};

[[noreturn]] void throwInstead() {
    throw AbnormalEnd{};
}

[[noreturn]] void fail(const char* what, const std::string& output) {
    std::cerr << "driver: " << what << "\n--- standard output\n" << output << '\n';
    std::abort();
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t at = 0;
    for (std::size_t next; (next = text.find(separator, at)) != std::string::npos; at = next + 1) {
        parts.push_back(text.substr(at, next - at));
    }
    parts.push_back(text.substr(at));
    return parts;
}

std::string fileName(const std::string& line) {
    std::string name;
    for (char c : line) {
        if (std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.') {
            name += c;
        }
    }
    return name.substr(0, 16);
}

// Once per process: a folder in memory to work in, and the directory.
const fs::path& setUp() {
    static fs::path folder;
    if (!folder.empty()) {
        return folder;
    }
    const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    folder = base / ("tavler-driver-fuzz-" + std::to_string(getpid()));
    fs::create_directories(folder);
    dsclient::memory::keepOffline(true);
    dsclient::memory::Server a{"serverA", {}, 2, {}, 0};
    a.content.classes.definitions = {{"top", 4, {}},
                                     {"person", 2, {{{"top"}, {}, {"cn"}, {}, {}}}}};
    a.content.attrs.definitions = {{"cn", 0x20, 3}};
    dsclient::memory::Server b = a;
    b.name = "serverB";
    b.content.attrs.definitions[0].flags = 1;
    b.content.syntaxes.definitions = {{"SYN_CI_STRING", 1}};
    dsclient::memory::addServer(a);
    dsclient::memory::addServer(b);
    setAbnormalExit(throwInstead);
    return folder;
}

// The run's working folder while the object lives; the fuzzing engine's own
// relative paths hold again afterwards.
class InFolder {
  public:
    explicit InFolder(const fs::path& folder) : saved_(fs::current_path()) {
        fs::current_path(folder);
    }
    ~InFolder() { fs::current_path(saved_); }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

  private:
    fs::path saved_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const InFolder inFolder(setUp());
    for (const auto& entry : fs::directory_iterator(fs::current_path())) {
        fs::remove_all(entry.path());
    }
    const std::vector<std::string> parts =
        split(std::string(reinterpret_cast<const char*>(data), size), '\0');
    for (std::size_t n = 1; n < parts.size() && n <= 6; ++n) {
        const std::size_t end = parts[n].find('\n');
        const std::string name = fileName(parts[n].substr(0, end));
        if (!name.empty() && name != "." && name != "..") {
            std::ofstream(name, std::ios::binary)
                << (end == std::string::npos ? std::string() : parts[n].substr(end + 1, 4096));
        }
    }
    std::vector<std::string> words{"tavler"};
    for (const std::string& word : split(parts[0], '\n')) {
        if (words.size() <= 8) {
            words.push_back(word.substr(0, 100));
        }
    }
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    std::ostringstream out;
    std::ostringstream err;
    std::streambuf* savedOut = std::cout.rdbuf(out.rdbuf());
    std::streambuf* savedErr = std::cerr.rdbuf(err.rdbuf());
    int status = -1;
    bool abnormal = false;
    try {
        status = main2(static_cast<int>(words.size()), argv.data());
    } catch (const AbnormalEnd&) {
        abnormal = true;
    } catch (...) {
        std::cout.rdbuf(savedOut);
        std::cerr.rdbuf(savedErr);
        fail("an exception escaped the driver", out.str());
    }
    std::cout.rdbuf(savedOut);
    std::cerr.rdbuf(savedErr);
    dsclient::memory::closeConnections();
    // Status 2 is a command line refused with a message of the program's own.
    const bool refused = status == 2 && err.str().rfind("tavler: ", 0) == 0;
    if (abnormal ? out.str().find("\nCan't open ") == std::string::npos
                 : status != 0 && status != 1 && !refused) {
        fail("an end that is neither a result nor a file that cannot be opened", out.str());
    }
    return 0;
}
