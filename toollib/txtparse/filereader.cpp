#include "toollib/txtparse/filereader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace {

// Large enough that a reference file costs few reads, small enough that a
// small file does not cost a large buffer.
constexpr std::size_t largestBuffer = std::size_t{256} * 1024;
constexpr std::size_t smallestBuffer = 4096;

}  // namespace

FileReader FileReader::open(const std::string& fileName) {
    FileReader reader;
    struct stat status {};
    if (::stat(fileName.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
        return reader;
    }
    const int opened = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (opened < 0) {
        return reader;
    }
    reader.fd = opened;
    reader.seekable = ::lseek(opened, 0, SEEK_CUR) >= 0;
    reader.capacity = largestBuffer;
    if (::fstat(opened, &status) == 0 && S_ISREG(status.st_mode)) {
        reader.fileIdentity =
            FileIdentity{status.st_dev, status.st_ino, static_cast<std::int64_t>(status.st_size),
                         static_cast<std::int64_t>(status.st_mtim.tv_sec), status.st_mtim.tv_nsec};
        // One byte more than the file, so that its end is found by the read
        // that fetches the last of it.
        const auto wanted = static_cast<std::uint64_t>(status.st_size) + 1;
        reader.capacity = static_cast<std::size_t>(
            std::clamp<std::uint64_t>(wanted, smallestBuffer, largestBuffer));
    }
    reader.buffer = std::make_unique_for_overwrite<char[]>(reader.capacity);
    return reader;
}

FileReader FileReader::fromText(const std::string& text) {
    FileReader reader;
    reader.inMemory = true;
    reader.capacity = text.size();
    reader.end = text.size();
    reader.buffer = std::make_unique_for_overwrite<char[]>(std::max<std::size_t>(text.size(), 1));
    std::memcpy(reader.buffer.get(), text.data(), text.size());
    return reader;
}

FileReader::FileReader(FileReader&& other) noexcept {
    *this = std::move(other);
}

FileReader& FileReader::operator=(FileReader&& other) noexcept {
    if (this != &other) {
        close();
        fd = std::exchange(other.fd, -1);
        inMemory = std::exchange(other.inMemory, false);
        seekable = other.seekable;
        fileIdentity = other.fileIdentity;
        buffer = std::move(other.buffer);
        capacity = std::exchange(other.capacity, 0);
        pos = std::exchange(other.pos, 0);
        end = std::exchange(other.end, 0);
        base = std::exchange(other.base, 0);
    }
    return *this;
}

FileReader::~FileReader() {
    close();
}

void FileReader::close() {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

std::size_t FileReader::refill(std::size_t want) {
    if (fd < 0) {
        return end - pos;
    }
    // What is left moves to the front; it is less than one line piece.
    if (pos > 0) {
        std::memmove(buffer.get(), buffer.get() + pos, end - pos);
        base += pos;
        end -= pos;
        pos = 0;
    }
    while (end < want && end < capacity) {
        const ssize_t got = ::read(fd, buffer.get() + end, capacity - end);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        end += static_cast<std::size_t>(got);
    }
    return end - pos;
}

bool FileReader::seek(std::uint64_t to) {
    if (to >= base && to - base <= end) {
        pos = static_cast<std::size_t>(to - base);
        return true;
    }
    if (fd < 0 || !seekable || ::lseek(fd, static_cast<off_t>(to), SEEK_SET) < 0) {
        return false;
    }
    base = to;
    pos = 0;
    end = 0;
    return true;
}
