#include "dsclient/password.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <map>

namespace dsclient {

namespace {

// Reads one line from `fd` a byte at a time, so nothing after the line is
// taken from a shared standard input. The line end is not kept.
std::optional<std::string> readLine(int fd) {
    std::string line;
    char c = 0;
    ssize_t got = 0;
    while ((got = read(fd, &c, 1)) == 1 && c != '\n') {
        line += c;
    }
    if (got < 0 || (got == 0 && line.empty())) {
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

// The terminal with echo turned off while the object lives.
class SilentTerminal {
  public:
    SilentTerminal() : fd_(open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        if (fd_ >= 0 && tcgetattr(fd_, &saved_) == 0) {
            termios silent = saved_;
            silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            silent.c_lflag |= ECHONL;
            restore_ = tcsetattr(fd_, TCSAFLUSH, &silent) == 0;
        }
    }
    ~SilentTerminal() {
        if (restore_) {
            tcsetattr(fd_, TCSAFLUSH, &saved_);
        }
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    SilentTerminal(const SilentTerminal&) = delete;
    SilentTerminal& operator=(const SilentTerminal&) = delete;

    std::optional<std::string> ask(const std::string& prompt) {
        if (!restore_) {
            return std::nullopt;  // never read a password that would be echoed
        }
        if (write(fd_, prompt.data(), prompt.size()) < 0) {
            return std::nullopt;
        }
        return readLine(fd_);
    }

  private:
    int fd_;
    termios saved_{};
    bool restore_ = false;
};

}  // namespace

std::optional<std::string> bindPassword(const std::string& bindDn) {
    static std::map<std::string, std::string> known;
    if (const auto it = known.find(bindDn); it != known.end()) {
        return it->second;
    }
    std::optional<std::string> password;
    if (isatty(STDIN_FILENO) != 0) {
        SilentTerminal terminal;
        password = terminal.ask("Password for " + bindDn + ": ");
    } else {
        password = readLine(STDIN_FILENO);
    }
    if (password) {
        known[bindDn] = *password;
    }
    return password;
}

}  // namespace dsclient
