#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace dsclient {

// The lines of an LDIF file as libldap's record reader and line splitter
// (ldif_read_record, then ldif_getline over each record) hand them out:
// folded lines joined with their marks left for ldif_parse_line2 to drop,
// comments left out, CR LF taken as LF, a record's leading line of digits
// passed over. Unlike the record reader it never holds a whole record: a
// schema's LDIF is one record of many megabytes, and only one logical line
// is held at a time. The file is read in pieces of 64 KiB through `fd`,
// which stays the caller's; include lines and NUL bytes must have been
// refused before.
class LdifLines {
  public:
    explicit LdifLines(int fd);

    // The next line, NUL-terminated and valid until the next call, or
    // nullptr at the end of the file (errno 0) or when reading failed
    // (errno set). `lineNumber` is the file line the logical line begins on.
    char* next(std::size_t& lineNumber);

  private:
    static constexpr std::size_t kReadSize = std::size_t{1} << 16U;
    // The record reader reads a line into 4096 bytes, its NUL included.
    static constexpr std::size_t kPieceSize = 4095;

    // One piece as the record reader's fgets into its 4096-byte line takes
    // it: up to and including a LF, at most 4095 bytes. False at the end of
    // the file or on an error. NUL bytes must have been refused before.
    bool nextPiece();
    bool fill();
    // Takes the piece into the record's text, as the record reader would.
    void takePiece();
    // Hands the complete lines held to ldif_getline.
    void flush();

    int fd_;
    // Read from the file and not yet taken: less than a piece left over and
    // what one read adds. Never cleared: it is only ever written by read.
    std::unique_ptr<char[]> buffer_;
    std::size_t held_ = 0;  // bytes in buffer_
    std::size_t at_ = 0;    // into buffer_
    bool ended_ = false;    // the file is read to its end (or failed)
    bool failed_ = false;
    std::string piece_;     // the piece last read
    char lastChar_ = '\n';  // of the piece before
    bool inRecord_ = false;
    bool topComment_ = false;
    bool recordHasText_ = false;  // the record holds text so far
    bool lineAfterText_ = false;  // the line being read comes after some
    bool muted_ = false;          // the rest of the record hands out nothing
    std::size_t lines_ = 0;       // file lines begun so far
    // Record text held since the last flush, and the line it begins on.
    std::string pending_;
    std::size_t pendingLine_ = 0;
    // Lines handed to ldif_getline, handed out one by one.
    std::string ready_;
    char* readyNext_ = nullptr;
    std::size_t readyLine_ = 0;
    std::vector<std::size_t> readyEnds_;  // where ready_'s LFs were
    std::size_t readyPassed_ = 0;         // of them, before the last line handed out
};

}  // namespace dsclient
