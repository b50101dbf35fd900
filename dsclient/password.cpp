#include "dsclient/password.h"

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <map>
#include <mutex>

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

// What a signal that ends the program at the prompt must put back. Only one
// prompt is open at a time, and the handler reads nothing but these.
int echoFd = -1;
termios echoSaved{};

constexpr std::array<int, 4> endingSignals{SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Ctrl-C or a SIGTERM at the prompt would otherwise leave the user's shell
// without echo. Async-signal-safe calls only: the terminal is put back and
// the signal raised again with its default action, which ends the program
// as it would have ended.
extern "C" void restoreEchoAndEnd(int signal) {
    const int savedErrno = errno;
    if (echoFd >= 0) {
        tcsetattr(echoFd, TCSANOW, &echoSaved);
    }
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    // Delivered once the handler returns: the signal is blocked until then.
    static_cast<void>(raise(signal));
    errno = savedErrno;
}

// The terminal with echo turned off while the object lives.
class SilentTerminal {
  public:
    SilentTerminal() : fd_(open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        if (fd_ >= 0 && tcgetattr(fd_, &saved_) == 0) {
            termios silent = saved_;
            silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            silent.c_lflag |= ECHONL;
            guardEcho();
            restore_ = tcsetattr(fd_, TCSAFLUSH, &silent) == 0;
        }
    }
    ~SilentTerminal() {
        if (restore_) {
            tcsetattr(fd_, TCSAFLUSH, &saved_);
        }
        unguardEcho();
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
    // A signal that was ignored when the prompt opened stays ignored.
    void guardEcho() {
        echoSaved = saved_;
        echoFd = fd_;
        struct sigaction handler {};
        handler.sa_handler = restoreEchoAndEnd;
        sigemptyset(&handler.sa_mask);
        for (int signal : endingSignals) {
            sigaddset(&handler.sa_mask, signal);
        }
        for (std::size_t k = 0; k < endingSignals.size(); ++k) {
            sigaction(endingSignals[k], nullptr, &previous_[k]);
            if (previous_[k].sa_handler != SIG_IGN) {
                sigaction(endingSignals[k], &handler, nullptr);
            }
        }
        guarded_ = true;
    }
    void unguardEcho() {
        if (!guarded_) {
            return;
        }
        for (std::size_t k = 0; k < endingSignals.size(); ++k) {
            sigaction(endingSignals[k], &previous_[k], nullptr);
        }
        echoFd = -1;
    }

    int fd_;
    termios saved_{};
    bool restore_ = false;
    bool guarded_ = false;
    std::array<struct sigaction, endingSignals.size()> previous_{};
};

// The passwords given so far, by DN. Threads that fetch ahead read them
// while the main thread may add one; the lock is never held at a prompt.
struct KnownPasswords {
    std::mutex mutex;
    std::map<std::string, std::string> byDn;
};

KnownPasswords& knownPasswords() {
    static KnownPasswords known;
    return known;
}

std::optional<std::string> knownPassword(const std::string& bindDn) {
    KnownPasswords& known = knownPasswords();
    const std::lock_guard lock(known.mutex);
    if (const auto it = known.byDn.find(bindDn); it != known.byDn.end()) {
        return it->second;
    }
    return std::nullopt;
}

}  // namespace

bool passwordKnown(const std::string& bindDn) {
    return knownPassword(bindDn).has_value();
}

std::optional<std::string> bindPassword(const std::string& bindDn) {
    if (std::optional<std::string> known = knownPassword(bindDn)) {
        return known;
    }
    std::optional<std::string> password;
    if (isatty(STDIN_FILENO) != 0) {
        SilentTerminal terminal;
        password = terminal.ask("Password for " + bindDn + ": ");
    } else {
        password = readLine(STDIN_FILENO);
    }
    if (password) {
        KnownPasswords& known = knownPasswords();
        const std::lock_guard lock(known.mutex);
        known.byDn.emplace(bindDn, *password);
    }
    return password;
}

}  // namespace dsclient
