#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// What tells one regular file from another, and from itself after a change:
// a file read earlier is the same file with the same content while all of
// these stay the same.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    long modifiedNanoseconds = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The bytes of a file, or of text held in memory, read forward through one
// large buffer. Whoever reads looks at the buffered bytes directly and says
// how far it got; the reader fetches more when asked for more than it holds.
class FileReader {
  public:
    FileReader() = default;
    // Opens `fileName` for reading; not open for a directory or a file that
    // cannot be opened.
    static FileReader open(const std::string& fileName);
    static FileReader fromText(const std::string& text);

    FileReader(FileReader&& other) noexcept;
    FileReader& operator=(FileReader&& other) noexcept;
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;
    ~FileReader();

    bool isOpen() const { return fd >= 0 || inMemory; }
    // False for a pipe or a terminal, which cannot go back.
    bool canSeek() const { return inMemory || seekable; }
    std::optional<FileIdentity> identity() const { return fileIdentity; }

    // Makes at least `want` bytes available from the current position, or
    // all that the file still holds; a read error counts as the end of the
    // file. Returns how many are available.
    std::size_t fill(std::size_t want) { return end - pos >= want ? end - pos : refill(want); }
    std::size_t available() const { return end - pos; }
    const char* current() const { return buffer.get() + pos; }
    void advance(std::size_t n) { pos += n; }

    // The offset of the current position from the start of the file.
    std::uint64_t offset() const { return base + pos; }
    // Goes to offset `to`; false, with the position unchanged, when the file
    // cannot be repositioned.
    bool seek(std::uint64_t to);

  private:
    std::size_t refill(std::size_t want);
    void close();

    int fd = -1;
    bool inMemory = false;
    bool seekable = false;
    std::optional<FileIdentity> fileIdentity;
    std::unique_ptr<char[]> buffer;
    std::size_t capacity = 0;
    std::size_t pos = 0;     // the current position in the buffer
    std::size_t end = 0;     // the buffer holds bytes up to here
    std::uint64_t base = 0;  // the file offset of the buffer's first byte
};
