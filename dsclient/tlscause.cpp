#include "dsclient/tlscause.h"

#include <ldap.h>

#include <atomic>
#include <charconv>
#include <mutex>
#include <optional>
#include <string_view>

#include "dsclient/servertext.h"
#include "toollib/namecompare.h"

namespace dsclient {

namespace {

// GnuTLS's certificate verification status bits, which libldap logs as
// "TLS: peer cert untrusted or revoked (0xNN)".
constexpr unsigned long signerNotFound = 1UL << 6;
constexpr unsigned long notActivated = 1UL << 9;
constexpr unsigned long expired = 1UL << 10;

// libldap's trace debug level; its public header leaves the levels out.
constexpr int traceLevel = 1;

// A handshake logs a few dozen lines; a bound keeps a chatty one from
// taking memory without end.
constexpr std::size_t maxKeptLines = 64;

// The capture that libldap's log function writes to, for the thread whose
// handshake is being captured: libldap logs on the thread that makes the
// call, so lines another thread logs meanwhile (at the raised level) never
// land in this capture. The log function takes no context of its own.
thread_local std::vector<std::string>* activeCapture = nullptr;

// libldap's debug level and log function are process-wide: one capture at a
// time sets and puts them back. Recursive, as a capture may nest in one.
std::recursive_mutex& captureMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

// The log function and debug level libldap had before the first capture.
// Another thread may test the raised level just before a capture puts it
// back and log just after: so the capture's log function stays installed,
// and passes a line it does not capture on only when the level outside
// captures would have logged it at all.
std::atomic<BER_LOG_PRINT_FN> outsidePrint{ber_error_print};
std::atomic<int> outsideLevel{0};

void keepTlsLines(const char* text) {
    if (text == nullptr) {
        return;
    }
    if (activeCapture == nullptr) {
        const BER_LOG_PRINT_FN print = outsidePrint.load();
        if (outsideLevel.load() != 0 && print != nullptr) {
            print(text);
        }
        return;
    }
    std::string_view rest(text);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (line.substr(0, 4) == "TLS:" && activeCapture->size() < maxKeptLines) {
            activeCapture->emplace_back(line);
        }
    }
}

// Puts libldap's debug level and log function back, however the
// handshake ends.
class LogCapture {
  public:
    explicit LogCapture(std::vector<std::string>& lines)
        : lock_(captureMutex()), outer_(activeCapture) {
        ldap_get_option(nullptr, LDAP_OPT_DEBUG_LEVEL, &level_);
        static std::once_flag installed;
        std::call_once(installed, [this] {
            BER_LOG_PRINT_FN print = ber_error_print;
            ber_get_option(nullptr, LBER_OPT_LOG_PRINT_FN, &print);
            outsidePrint = print;
            outsideLevel = level_;
            ber_set_option(nullptr, LBER_OPT_LOG_PRINT_FN, reinterpret_cast<void*>(&keepTlsLines));
        });
        activeCapture = &lines;
        // The cause of a certificate that does not verify is logged at
        // trace level; the other TLS causes at every level.
        ldap_set_option(nullptr, LDAP_OPT_DEBUG_LEVEL, &traceLevel);
    }
    ~LogCapture() {
        ldap_set_option(nullptr, LDAP_OPT_DEBUG_LEVEL, &level_);
        activeCapture = outer_;
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

  private:
    std::lock_guard<std::recursive_mutex> lock_;
    std::vector<std::string>* outer_;
    int level_ = 0;
};

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The status bits of a verification libldap logs as failed, or nothing.
std::optional<unsigned long> verifyStatus(std::string_view line) {
    constexpr std::string_view prefix = "TLS: peer cert untrusted or revoked (0x";
    if (!startsWith(line, prefix)) {
        return std::nullopt;
    }
    line.remove_prefix(prefix.size());
    unsigned long status = 0;
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), status, 16);
    if (error != std::errc() || end == line.data()) {
        return std::nullopt;
    }
    return status;
}

// A name libldap wrote in brackets at the end of a line, without the
// brackets and the full stop; libldap cuts a long line short, so either
// may be missing.
std::string_view trailingName(std::string_view text) {
    if (!text.empty() && text.back() == '.') {
        text.remove_suffix(1);
    }
    if (!text.empty() && text.back() == ')') {
        text.remove_suffix(1);
    }
    return text;
}

struct HostMismatch {
    std::string checked;      // the name libldap checked the certificate against
    std::string certificate;  // the name the certificate gives, when libldap says it
};

// libldap checks the name against the certificate's subjectAltName, then
// its common name; it names the latter when that does not match either.
std::optional<HostMismatch> hostMismatch(std::string_view line) {
    if (startsWith(line, "TLS: unable to get common name from peer certificate")) {
        return HostMismatch{};
    }
    constexpr std::string_view prefix = "TLS: hostname (";
    if (!startsWith(line, prefix)) {
        return std::nullopt;
    }
    constexpr std::string_view toCommonName = ") does not match common name in certificate (";
    constexpr std::string_view toAltName = ") does not match subjectAltName in certificate";
    HostMismatch mismatch;
    if (const std::size_t at = line.find(toCommonName); at != std::string_view::npos) {
        mismatch.checked = line.substr(prefix.size(), at - prefix.size());
        mismatch.certificate = trailingName(line.substr(at + toCommonName.size()));
    } else if (const std::size_t alt = line.find(toAltName); alt != std::string_view::npos) {
        mismatch.checked = line.substr(prefix.size(), alt - prefix.size());
    } else {
        return std::nullopt;
    }
    return mismatch;
}

std::string hostText(const HostMismatch& mismatch, const std::string& host,
                     const std::string& secret) {
    std::string text = "TLS: the server's certificate was issued for another host name";
    if (!mismatch.certificate.empty()) {
        text += " (" + shownServerText(mismatch.certificate, secret) + ")";
    }
    text += ", not for " + host;
    // libldap checks a certificate for "localhost" against this machine's
    // own name.
    if (!mismatch.checked.empty() && !namesEqual(mismatch.checked, host)) {
        text += " (checked as " + shownServerText(mismatch.checked, secret) + ")";
    }
    return text;
}

std::string verifyText(unsigned long status) {
    std::vector<std::string> faults;
    if ((status & signerNotFound) != 0) {
        faults.emplace_back(
            "is not signed by a trusted CA (an unknown issuer: TLS_CACERT or LDAPTLS_CACERT names "
            "the CAs to trust)");
    }
    if ((status & expired) != 0) {
        faults.emplace_back("has expired");
    }
    if ((status & notActivated) != 0) {
        faults.emplace_back("is not valid yet");
    }
    if (faults.empty()) {
        return {};
    }
    std::string text = "TLS: the server's certificate " + faults.front();
    for (std::size_t i = 1; i < faults.size(); ++i) {
        text += " and " + faults[i];
    }
    return text;
}

}  // namespace

int capturingTlsLog(std::vector<std::string>& lines, const std::function<int()>& handshake) {
    const LogCapture capture(lines);
    return handshake();
}

std::string tlsCause(const std::vector<std::string>& lines, const std::string& host,
                     const std::string& secret) {
    unsigned long status = 0;
    for (const std::string& line : lines) {
        if (const auto mismatch = hostMismatch(line)) {
            return hostText(*mismatch, host, secret);
        }
        if (const auto bits = verifyStatus(line)) {
            status |= *bits;
        } else if (startsWith(line, "TLS: peer certificate is expired")) {
            status |= expired;
        } else if (startsWith(line, "TLS: peer certificate not yet active")) {
            status |= notActivated;
        }
    }
    return verifyText(status);
}

}  // namespace dsclient
