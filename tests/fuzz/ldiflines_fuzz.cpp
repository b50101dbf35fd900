// The LDIF line reader against libldap's own record reader and line
// splitter: for any file the reader accepts (no NUL byte, no include line),
// both must hand out the same lines in the same order.

// ldif.h uses FILE and ber_len_t without including what declares them.
#include <cstdio>

#include <lber.h>
#include <ldif.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "dsclient/ldiflines.h"

namespace {

bool refused(std::string_view text) {
    if (text.find('\0') != std::string_view::npos) {
        return true;
    }
    for (std::size_t start = 0; start < text.size();) {
        std::string_view line = text.substr(start, 8);
        if (line.size() == 8 && strncasecmp(line.data(), "include:", 8) == 0) {
            return true;
        }
        const std::size_t end = text.find('\n', start);
        start = end == std::string_view::npos ? text.size() : end + 1;
    }
    return false;
}

std::vector<std::string> libldapLines(const std::string& path) {
    std::vector<std::string> lines;
    LDIFFP* file = ldif_open(path.c_str(), "r");
    if (file == nullptr) {
        std::abort();
    }
    unsigned long lineNumber = 0;
    while (true) {
        // A fresh, empty buffer for each record: the record reader leaves a
        // record of nothing but an index line unwritten, and would hand back
        // whatever the buffer held.
        int size = 16;
        char* record = static_cast<char*>(ber_memcalloc(1, static_cast<ber_len_t>(size)));
        if (ldif_read_record(file, &lineNumber, &record, &size) <= 0) {
            ber_memfree(record);
            break;
        }
        char* next = record;
        while (char* line = ldif_getline(&next)) {
            lines.emplace_back(line);
        }
        ber_memfree(record);
    }
    ldif_close(file);
    return lines;
}

std::vector<std::string> ourLines(int fd) {
    std::vector<std::string> lines;
    dsclient::LdifLines reader(fd);
    std::size_t lineNumber = 0;
    std::size_t lastNumber = 0;
    while (const char* line = reader.next(lineNumber)) {
        if (lineNumber <= lastNumber) {
            std::cerr << "ldif lines: line numbers do not grow\n";
            std::abort();
        }
        lastNumber = lineNumber;
        lines.emplace_back(line);
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (refused(text)) {
        return 0;
    }
    const int fd = memfd_create("ldif", 0);
    if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size) ||
        ::lseek(fd, 0, SEEK_SET) != 0) {
        std::abort();
    }
    const std::vector<std::string> expected = libldapLines("/proc/self/fd/" + std::to_string(fd));
    const std::vector<std::string> got = ourLines(fd);
    ::close(fd);
    if (got != expected) {
        std::cerr << "ldif lines: " << got.size() << " lines where libldap gives "
                  << expected.size() << '\n';
        for (std::size_t i = 0; i < std::max(got.size(), expected.size()); ++i) {
            std::cerr << i << " ours [" << (i < got.size() ? got[i] : "-") << "] libldap ["
                      << (i < expected.size() ? expected[i] : "-") << "]\n";
        }
        std::abort();
    }
    return 0;
}
