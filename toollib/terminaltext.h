#pragma once

#include <iosfwd>
#include <streambuf>
#include <string>
#include <string_view>

// Text from files and servers may carry terminal control sequences; on a
// terminal they are shown, not obeyed. Every byte below 0x20 except tab and
// line end, and 0x7F, becomes "\xHH". Output that is not a terminal keeps
// every byte, so redirected listings stay exact.

// `text` with its control bytes shown as "\xHH".
std::string terminalSafe(std::string_view text);

// A stream buffer that writes through to `target`, showing control bytes.
class TerminalSafeBuffer : public std::streambuf {
  public:
    explicit TerminalSafeBuffer(std::streambuf* target) : target_(target) {}
    std::streambuf* target() const { return target_; }

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

  private:
    std::streambuf* target_;
};

// Puts a TerminalSafeBuffer in front of `stream` when the file descriptor
// `fd` beneath it is a terminal. Call once, before the stream is used.
void protectTerminal(std::ostream& stream, int fd);

// True when `stream` shows control bytes (it goes to a terminal).
bool shownOnTerminal(const std::ostream& stream);

// The buffer that writes `stream`'s bytes as they are: for the program's
// own control sequences (carriage returns of the status line, clearing the
// screen), which are meant for the terminal.
std::streambuf* rawBuffer(std::ostream& stream);
