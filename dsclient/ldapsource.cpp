#include "dsclient/ldapsource.h"

#include <ldap.h>
#include <netdb.h>
#include <poll.h>
#include <pthread.h>
#include <sasl/sasl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "dsclient/conversion.h"
#include "dsclient/descriptions.h"
#include "dsclient/filesource.h"
#include "dsclient/ldapcodes.h"
#include "dsclient/password.h"
#include "dsclient/servertext.h"
#include "dsclient/tlscause.h"
#include "dscontext/dsclient.h"
#include "toollib/namecompare.h"
#include "toollib/progress.h"

namespace dsclient {

namespace {

// Used when libldap's configuration (ldap.conf, ldaprc, LDAPNETWORK_TIMEOUT,
// LDAPTIMEOUT) sets no timeout of its own: nothing waits without end.
constexpr int defaultConnectSeconds = 10;
constexpr int defaultOperationSeconds = 60;

// The largest reply libldap takes in. It holds a whole message before
// handing it over, and allocates what the message's header declares, so
// without a bound a server decides how much memory the program takes. The
// subschema entry of a real server is a few megabytes.
constexpr ber_len_t maxReplyBytes = 128 << 20;

constexpr int ldapPort = 389;

bool startsWithName(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && namesEqual(text.substr(0, prefix.size()), prefix);
}

bool isHostChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
}

bool isHost(std::string_view host) {
    if (host.empty()) {
        return false;
    }
    if (host.find(':') != std::string_view::npos) {  // an IPv6 address, brackets removed
        for (char c : host) {
            const bool hex =
                (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
            if (!hex && c != ':' && c != '.' && c != '%') {
                return false;
            }
        }
        return true;
    }
    for (char c : host) {
        if (!isHostChar(c)) {
            return false;
        }
    }
    return true;
}

bool isPort(std::string_view text) {
    if (text.empty() || text.size() > 5) {
        return false;
    }
    int port = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        port = port * 10 + (c - '0');
    }
    return port >= 1 && port <= 65535;
}

// A bare `host`, `host:port`, `[v6]` or `[v6]:port`, split; nothing when the
// word is not one.
std::optional<std::pair<std::string, std::string>> splitBareHost(const std::string& word) {
    std::string host = word;
    std::string port;
    if (!word.empty() && word.front() == '[') {
        const std::size_t close = word.find(']');
        if (close == std::string::npos) {
            return std::nullopt;
        }
        host = word.substr(1, close - 1);
        const std::string rest = word.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') {
                return std::nullopt;
            }
            port = rest.substr(1);
        }
        if (host.find(':') == std::string::npos) {
            return std::nullopt;
        }
    } else if (const std::size_t colon = word.find(':'); colon != std::string::npos) {
        host = word.substr(0, colon);
        port = word.substr(colon + 1);
        if (host.find(':') != std::string::npos || !isPort(port)) {
            return std::nullopt;
        }
    }
    if (!isHost(host) || (!port.empty() && !isPort(port))) {
        return std::nullopt;
    }
    return std::make_pair(host, port);
}

struct UrlDescFree {
    void operator()(LDAPURLDesc* desc) const { ldap_free_urldesc(desc); }
};
struct MessageFree {
    void operator()(LDAPMessage* message) const { ldap_msgfree(message); }
};
struct BerFree {
    // The element ldap_get_dn_ber makes shares the message's buffer.
    void operator()(BerElement* ber) const { ber_free(ber, 0); }
};
struct BerArrayFree {
    // Only the array: its values point into the message.
    void operator()(berval* values) const { ber_memfree(values); }
};
using Message = std::unique_ptr<LDAPMessage, MessageFree>;

std::string fold(std::string text) {
    for (char& c : text) {
        c = foldName(c);
    }
    return text;
}

// `attr=value`, as the rest of a DN after a raw comma is, and no extension
// of the x- kind.
bool looksLikeRdn(std::string_view text) {
    const std::size_t equals = text.find('=');
    return equals != std::string_view::npos && equals > 0 && !startsWithName(text, "x-");
}

// The address a URL names, checked further than libldap does: the host's
// characters, the port's range and the extensions.
std::optional<LdapAddress> parseUrl(const std::string& name, std::string& why) {
    LDAPURLDesc* raw = nullptr;
    if (ldap_url_parse(name.c_str(), &raw) != LDAP_URL_SUCCESS || raw == nullptr) {
        why = "not a directory server address";
        return std::nullopt;
    }
    const std::unique_ptr<LDAPURLDesc, UrlDescFree> desc(raw);
    LdapAddress address;
    for (const char* c = desc->lud_scheme; c != nullptr && *c != '\0'; ++c) {
        address.scheme += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    }
    address.host = desc->lud_host == nullptr ? "" : desc->lud_host;
    if (address.scheme == "ldapi") {
        address.url = name.substr(0, name.find('/', std::string("ldapi://").size()));
    } else {
        if (!isHost(address.host) || desc->lud_port < 1 || desc->lud_port > 65535) {
            why = "not a directory server address";
            return std::nullopt;
        }
        address.port = desc->lud_port;
        // The port counts as given when the authority has a colon after
        // the host (after the brackets of an IPv6 address).
        const std::size_t hostStart = name.find("//") + 2;
        const std::string authority = name.substr(hostStart, name.find('/', hostStart) - hostStart);
        const std::size_t bracket = authority.rfind(']');
        const std::size_t colon = authority.find(':', bracket == std::string::npos ? 0 : bracket);
        address.portGiven = colon != std::string::npos;
        if (address.portGiven && !isPort(std::string_view(authority).substr(colon + 1))) {
            why = "not a directory server address";
            return std::nullopt;
        }
        const std::string shownHost =
            address.host.find(':') != std::string::npos ? "[" + address.host + "]" : address.host;
        address.url = address.scheme + "://" + shownHost + ":" + std::to_string(address.port);
    }
    for (char** ext = desc->lud_exts; ext != nullptr && *ext != nullptr; ++ext) {
        std::string_view text = *ext;
        const bool critical = !text.empty() && text.front() == '!';
        if (critical) {
            text.remove_prefix(1);
        }
        if (namesEqual(text, "StartTLS")) {
            address.startTls = true;
        } else if (startsWithName(text, "bindname=")) {
            address.bindDn = std::string(text.substr(std::string_view("bindname=").size()));
        } else if (!address.bindDn.empty() && !critical && looksLikeRdn(text)) {
            address.bindDnCut = true;
        } else if (critical) {
            why = "a critical URL extension this program does not know: " + std::string(text);
            return std::nullopt;
        }
    }
    if (address.scheme != "ldap") {
        address.startTls = false;  // ldaps is TLS already; ldapi is local
    }
    return address;
}

// True when something accepts TCP connections on the host and port, within
// `seconds`; used to tell a TLS failure from a server that cannot be reached.
bool portAnswers(const std::string& host, int port, int seconds) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
        return false;
    }
    bool answers = false;
    for (const addrinfo* at = found; at != nullptr && !answers; at = at->ai_next) {
        const int fd =
            socket(at->ai_family, at->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, at->ai_protocol);
        if (fd < 0) {
            continue;
        }
        if (connect(fd, at->ai_addr, at->ai_addrlen) == 0) {
            answers = true;
        } else if (errno == EINPROGRESS) {
            pollfd wait{fd, POLLOUT, 0};
            int error = 0;
            socklen_t length = sizeof error;
            answers = poll(&wait, 1, seconds * 1000) == 1 &&
                      getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
        }
        close(fd);
    }
    freeaddrinfo(found);
    return answers;
}

// SASL EXTERNAL asks for nothing but, perhaps, an authorisation identity:
// every question gets its default answer, or none.
int answerDefaults(LDAP* /*ld*/, unsigned /*flags*/, void* /*defaults*/, void* questions) {
    for (auto* question = static_cast<sasl_interact_t*>(questions);
         question->id != SASL_CB_LIST_END; ++question) {
        const char* answer = question->defresult == nullptr ? "" : question->defresult;
        question->result = answer;
        question->len = static_cast<unsigned>(std::strlen(answer));
    }
    return LDAP_SUCCESS;
}

// What a user can do about a failed bind, when the name suggests it.
std::string bindHint(std::int32_t code, const LdapAddress& address) {
    if (code == QXERR_BIND_REFUSED && address.bindDnCut) {
        return " (the bind DN was cut at a comma: write commas in bindname= as %2c)";
    }
    // A TLS port waits for a handshake that a plain connection never starts,
    // or drops it: the bind is the first request either way.
    if ((code == QXERR_TIMEOUT || code == QXERR_CONNECTION_LOST) && address.scheme == "ldap" &&
        !address.startTls) {
        return " (if the port speaks TLS, it needs ldaps://)";
    }
    return {};
}

}  // namespace

bool isLdapName(const std::string& name) {
    for (std::string_view scheme : {"ldap://", "ldaps://", "ldapi://"}) {
        if (startsWithName(name, scheme)) {
            return true;
        }
    }
    return splitBareHost(name).has_value();
}

std::optional<LdapAddress> parseLdapName(const std::string& name, std::string& why) {
    for (std::string_view scheme : {"ldap://", "ldaps://", "ldapi://"}) {
        if (startsWithName(name, scheme)) {
            return parseUrl(name, why);
        }
    }
    if (const auto bare = splitBareHost(name)) {
        const auto& [host, port] = *bare;
        LdapAddress address;
        address.scheme = "ldap";
        address.host = host;
        address.portGiven = !port.empty();
        address.port = port.empty() ? ldapPort : std::stoi(port);
        const std::string shownHost = host.find(':') != std::string::npos ? "[" + host + "]" : host;
        address.url = "ldap://" + shownHost + ":" + std::to_string(address.port);
        return address;
    }
    why = "not a directory server address";
    return std::nullopt;
}

std::string ldapConnectionKey(const std::string& name) {
    std::string why;
    const std::optional<LdapAddress> address = parseLdapName(name, why);
    if (!address) {
        return fold(name);
    }
    const std::string host = address->scheme == "ldapi" ? address->host : fold(address->host);
    std::string key = address->scheme + "://" + host + ":" + std::to_string(address->port);
    key += "/" + fold(address->bindDn);
    key += address->startTls ? "/starttls" : "";
    return key;
}

// The libldap session of one connection, unbound when it goes.
namespace {

// While the object lives, a write to a server that has gone raises no
// SIGPIPE: libldap then sees EPIPE and reports a lost connection. Standard
// output keeps the default, so a listing into a closed pipe still ends the
// program quietly.
class QuietPipe {
  public:
    QuietPipe() {
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, &saved_);
    }
    ~QuietPipe() {
        sigset_t pending;
        sigpending(&pending);
        if (sigismember(&pending, SIGPIPE) == 1) {
            sigset_t pipe;
            sigemptyset(&pipe);
            sigaddset(&pipe, SIGPIPE);
            const timespec now{0, 0};
            sigtimedwait(&pipe, nullptr, &now);
        }
        pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
    }
    QuietPipe(const QuietPipe&) = delete;
    QuietPipe& operator=(const QuietPipe&) = delete;

  private:
    sigset_t saved_{};
};

}  // namespace

struct LdapSource::Session {
    ~Session() {
        if (ld != nullptr) {
            const QuietPipe quiet;
            ldap_unbind_ext_s(ld, nullptr, nullptr);
        }
    }
    LDAP* ld = nullptr;
    timeval operationTimeout{defaultOperationSeconds, 0};
    int connectSeconds = defaultConnectSeconds;
    // The bind password, so that no server text that echoes it is shown.
    std::string secret;
};

LdapSource::LdapSource(std::string name) : name_(std::move(name)) {}

LdapSource::~LdapSource() = default;

std::string LdapSource::serverName() const {
    if (!address_) {
        return name_;
    }
    if (address_->scheme == "ldapi" || !address_->portGiven) {
        return address_->host;
    }
    return address_->host + ":" + std::to_string(address_->port);
}

namespace {

// The diagnostic text libldap holds (a server's message, or its own or its
// TLS library's words), without the brackets its TLS layer puts around some.
std::string libraryDetail(LDAP* ld, const std::string& secret) {
    char* detail = nullptr;
    std::string text;
    if (ld != nullptr &&
        ldap_get_option(ld, LDAP_OPT_DIAGNOSTIC_MESSAGE, &detail) == LDAP_SUCCESS &&
        detail != nullptr) {
        text = shownServerText(detail, secret);
        ldap_memfree(detail);
    }
    if (text.size() >= 2 && text.front() == '(' && text.back() == ')') {
        text = text.substr(1, text.size() - 2);
    }
    return text;
}

std::string ldapMessage(LDAP* ld, int rc, const std::string& secret) {
    const std::string detail = libraryDetail(ld, secret);
    return std::string(ldap_err2string(rc)) + (detail.empty() ? "" : " (" + detail + ")");
}

// When a certificate does not verify, libldap's diagnostic says no more than
// "unknown error code": the cause `logged` in its TLS log (see tlsCause)
// stands in, else the usual causes are named.
std::string tlsFailureText(LDAP* ld, int rc, const std::string& secret, const std::string& logged) {
    std::string detail = libraryDetail(ld, secret);
    if (detail.empty() || detail == "unknown error code") {
        detail = !logged.empty()
                     ? logged
                     : "TLS: the server's certificate did not verify: an issuer not trusted "
                       "(TLS_CACERT, LDAPTLS_CACERT), expired, or issued for another host";
    }
    return std::string(ldap_err2string(rc)) + " (" + detail + ")";
}

// A timeout that libldap's configuration set, or `fallback` seconds when
// it set none.
timeval configuredTimeout(LDAP* ld, int option, int fallback) {
    timeval* configured = nullptr;
    timeval chosen{fallback, 0};
    if (ldap_get_option(ld, option, &configured) == LDAP_OPT_SUCCESS && configured != nullptr) {
        if (configured->tv_sec > 0 || configured->tv_usec > 0) {
            chosen = *configured;
        }
        ldap_memfree(configured);
    }
    return chosen;
}

// The code for a failure while connecting or binding (`sasl`: a SASL
// EXTERNAL bind).
std::int32_t openFailure(int rc, const LdapAddress& address, int connectSeconds, bool sasl) {
    if (rc != LDAP_SERVER_DOWN && rc != LDAP_CONNECT_ERROR) {
        return bindFailureCode(rc, sasl);
    }
    // TLS that fails leaves libldap with no connection, as a server that
    // cannot be reached does; a port that answers tells them apart.
    if (address.scheme == "ldaps" && portAnswers(address.host, address.port, connectSeconds)) {
        return QXERR_TLS_FAILURE;
    }
    return rc == LDAP_CONNECT_ERROR && address.scheme == "ldaps" ? QXERR_TLS_FAILURE
                                                                 : QXERR_UNREACHABLE;
}

// libldap reports a reply over maxReplyBytes, or a length no reply can
// have, as a lost connection; liblber leaves ERANGE behind for both.
// Captured straight after the call that failed, before anything else can
// change errno.
int refinedFailure(int rc, int savedErrno) {
    return rc == LDAP_SERVER_DOWN && savedErrno == ERANGE ? LDAP_DECODING_ERROR : rc;
}

std::string failureText(LDAP* ld, int rc, int savedErrno, const std::string& secret) {
    if (rc == LDAP_SERVER_DOWN && savedErrno == ERANGE) {
        return "a reply larger than " + std::to_string(maxReplyBytes >> 20) +
               " MiB, or with a length no reply can have";
    }
    return ldapMessage(ld, rc, secret);
}

using Clock = std::chrono::steady_clock;

timeval timeLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
        return {0, 0};
    }
    return {static_cast<time_t>(left.count() / 1000000),
            static_cast<suseconds_t>(left.count() % 1000000)};
}

// One base search, read a message at a time until its result, within
// `limit` altogether. The first entry is kept in `entry`; any further entry
// is dropped as it comes, so a server that sends entries without end fills
// no memory, and is stopped by the time limit like one that sends nothing.
int searchBase(LDAP* ld, const std::string& base, const char* filter, char** attrs, timeval limit,
               Message& entry, int& savedErrno) {
    flushProgress();
    savedErrno = 0;
    int id = 0;
    if (const int rc = ldap_search_ext(ld, base.c_str(), LDAP_SCOPE_BASE, filter, attrs, 0, nullptr,
                                       nullptr, &limit, 0, &id);
        rc != LDAP_SUCCESS) {
        savedErrno = errno;
        return rc;
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(limit.tv_sec) +
                                       std::chrono::microseconds(limit.tv_usec);
    while (true) {
        timeval wait = timeLeft(deadline);
        if (wait.tv_sec == 0 && wait.tv_usec == 0) {
            ldap_abandon_ext(ld, id, nullptr, nullptr);
            return LDAP_TIMEOUT;
        }
        LDAPMessage* raw = nullptr;
        errno = 0;
        const int type = ldap_result(ld, id, LDAP_MSG_ONE, &wait, &raw);
        savedErrno = errno;
        Message message(raw);
        if (type == -1) {
            int rc = LDAP_OTHER;
            ldap_get_option(ld, LDAP_OPT_RESULT_CODE, &rc);
            return rc == LDAP_SUCCESS ? LDAP_OTHER : rc;
        }
        if (type == LDAP_RES_SEARCH_ENTRY) {
            if (!entry) {
                entry = std::move(message);
            }
        } else if (type == LDAP_RES_SEARCH_RESULT) {
            int code = LDAP_OTHER;
            if (ldap_parse_result(ld, message.get(), &code, nullptr, nullptr, nullptr, nullptr,
                                  0) != LDAP_SUCCESS) {
                return LDAP_DECODING_ERROR;
            }
            return code;
        }
        // 0 (this wait is over: the loop checks the deadline), references
        // and intermediate responses: nothing to keep.
    }
}

// Hands each attribute of `entry` with its values to `take`, in the order
// the server sent them. LDAP_DECODING_ERROR when the entry does not decode,
// which ldap_get_values_len would not tell from an attribute that is absent.
// The values point into the message: nothing is copied here.
int forEachAttribute(LDAP* ld, LDAPMessage* entry,
                     const std::function<void(std::string_view, const berval*)>& take) {
    BerElement* rawBer = nullptr;
    berval dn{};
    if (ldap_get_dn_ber(ld, entry, &rawBer, &dn) != LDAP_SUCCESS) {
        if (rawBer != nullptr) {
            ber_free(rawBer, 0);
        }
        return LDAP_DECODING_ERROR;
    }
    const std::unique_ptr<BerElement, BerFree> ber(rawBer);
    while (true) {
        berval type{};
        BerVarray rawValues = nullptr;
        if (ldap_get_attribute_ber(ld, entry, ber.get(), &type, &rawValues) != LDAP_SUCCESS) {
            if (rawValues != nullptr) {
                ber_memfree(rawValues);
            }
            return LDAP_DECODING_ERROR;
        }
        const std::unique_ptr<berval, BerArrayFree> values(rawValues);
        if (type.bv_val == nullptr) {
            return LDAP_SUCCESS;
        }
        static const berval none{0, nullptr};
        take(std::string_view(type.bv_val, type.bv_len), values ? values.get() : &none);
    }
}

}  // namespace

std::int32_t LdapSource::open(std::string& diagnostic) {
    const QuietPipe quiet;
    // Resolving, connecting and binding may each wait for the network: the
    // terminal shows meanwhile what was done before, not turns held back.
    flushProgress();
    address_ = parseLdapName(name_, diagnostic);
    if (!address_) {
        diagnostic = name_ + ": " + diagnostic;
        return QXERR_NO_SUCH_SERVER;
    }
    const LdapAddress& address = *address_;
    if (address.scheme != "ldapi") {
        addrinfo hints{};
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const int resolved = getaddrinfo(address.host.c_str(), nullptr, &hints, &found);
        if (found != nullptr) {
            freeaddrinfo(found);
        }
        if (resolved != 0) {
            diagnostic = name_ + ": " + gai_strerror(resolved) + localSourceHint(name_);
            return resolved == EAI_MEMORY ? QXERR_OUT_OF_MEMORY : QXERR_NO_SUCH_HOST;
        }
    }

    session_ = std::make_unique<Session>();
    if (const int rc = ldap_initialize(&session_->ld, address.url.c_str()); rc != LDAP_SUCCESS) {
        diagnostic = name_ + ": " + ldap_err2string(rc);
        return rc == LDAP_NO_MEMORY ? QXERR_OUT_OF_MEMORY : QXERR_NO_SUCH_SERVER;
    }
    LDAP* ld = session_->ld;
    const int version = LDAP_VERSION3;
    ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(ld, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    const timeval connect = configuredTimeout(ld, LDAP_OPT_NETWORK_TIMEOUT, defaultConnectSeconds);
    session_->operationTimeout = configuredTimeout(ld, LDAP_OPT_TIMEOUT, defaultOperationSeconds);
    session_->connectSeconds = static_cast<int>(connect.tv_sec > 0 ? connect.tv_sec : 1);
    ldap_set_option(ld, LDAP_OPT_NETWORK_TIMEOUT, &connect);
    ldap_set_option(ld, LDAP_OPT_TIMEOUT, &session_->operationTimeout);
    // The connection libldap opens reads through this sockbuf, so the bound
    // holds for every reply on it.
    Sockbuf* sockbuf = nullptr;
    if (ldap_get_option(ld, LDAP_OPT_SOCKBUF, &sockbuf) == LDAP_OPT_SUCCESS && sockbuf != nullptr) {
        ber_len_t most = maxReplyBytes;
        ber_sockbuf_ctrl(sockbuf, LBER_SB_OPT_SET_MAX_INCOMING, &most);
    }

    bool externalBind = false;
    // What libldap logged about the TLS handshake, for a failure to name.
    std::vector<std::string> tlsLog;
    auto tlsText = [&](int rc) {
        return tlsFailureText(ld, rc, session_->secret,
                              tlsCause(tlsLog, address.host, session_->secret));
    };
    auto fail = [&](int rc, const char* what, int savedErrno = 0) {
        const std::int32_t code = openFailure(refinedFailure(rc, savedErrno), address,
                                              session_->connectSeconds, externalBind);
        const std::string text = code == QXERR_TLS_FAILURE
                                     ? tlsText(rc)
                                     : failureText(ld, rc, savedErrno, session_->secret);
        diagnostic = name_ + ": " + what + ": " + text;
        return code;
    };

    // Connecting on its own first tells a server that cannot be reached from
    // one that accepted the connection and then dropped it or answered with
    // something that is no LDAP: after this, a lost connection is that.
    // An ldaps:// connection makes its TLS handshake here.
    const int connected = address.scheme == "ldaps"
                              ? capturingTlsLog(tlsLog, [ld] { return ldap_connect(ld); })
                              : ldap_connect(ld);
    if (connected != LDAP_SUCCESS) {
        return fail(connected, "connect");
    }
    auto failConnected = [&](int rc, const char* what, int savedErrno) {
        if (refinedFailure(rc, savedErrno) != LDAP_SERVER_DOWN) {
            return fail(rc, what, savedErrno);
        }
        diagnostic = name_ + ": " + what + ": " + failureText(ld, rc, savedErrno, session_->secret);
        return QXERR_CONNECTION_LOST;
    };

    if (address.startTls) {
        // Whether the URL marks it critical or not, StartTLS is understood
        // here, so a server that declines it or a certificate that does not
        // verify ends the open: the schema is never read in plain text instead.
        const int rc =
            capturingTlsLog(tlsLog, [ld] { return ldap_start_tls_s(ld, nullptr, nullptr); });
        if (rc != LDAP_SUCCESS) {
            const bool noConnection = rc == LDAP_CONNECT_ERROR || rc == LDAP_SERVER_DOWN;
            if (rc == LDAP_TIMEOUT || (noConnection && !portAnswers(address.host, address.port,
                                                                    session_->connectSeconds))) {
                return fail(rc, "connect");
            }
            diagnostic = name_ + ": StartTLS: " + tlsText(rc);
            return QXERR_TLS_FAILURE;
        }
    }

    int rc = LDAP_SUCCESS;
    errno = 0;
    if (!address.bindDn.empty()) {
        const std::optional<std::string> password = bindPassword(address.bindDn);
        if (!password) {
            diagnostic = name_ + ": no password for " + address.bindDn;
            return QXERR_BIND_REFUSED;
        }
        session_->secret = *password;
        berval credentials{password->size(), const_cast<char*>(password->data())};
        errno = 0;
        rc = ldap_sasl_bind_s(ld, address.bindDn.c_str(), LDAP_SASL_SIMPLE, &credentials, nullptr,
                              nullptr, nullptr);
    } else if (address.scheme == "ldapi") {
        externalBind = true;
        rc = ldap_sasl_interactive_bind_s(ld, nullptr, "EXTERNAL", nullptr, nullptr,
                                          LDAP_SASL_QUIET, answerDefaults, nullptr);
    } else {
        berval anonymous{0, nullptr};
        rc = ldap_sasl_bind_s(ld, nullptr, LDAP_SASL_SIMPLE, &anonymous, nullptr, nullptr, nullptr);
    }
    const int savedErrno = errno;
    if (rc != LDAP_SUCCESS) {
        const std::int32_t code = failConnected(rc, "bind", savedErrno);
        diagnostic += bindHint(code, address);
        return code;
    }
    return QX_SUCCESS;
}

std::int32_t LdapSource::fetch(SchemaContent& content, std::string& diagnostic) {
    const QuietPipe quiet;
    if (!session_ || session_->ld == nullptr) {
        diagnostic = name_ + ": not connected";
        return QXERR_NOT_CONNECTED;
    }
    LDAP* ld = session_->ld;
    auto fail = [&](int rc, const std::string& what, int savedErrno = 0) {
        diagnostic = name_ + ": " + what + ": " + failureText(ld, rc, savedErrno, session_->secret);
        return readFailureCode(refinedFailure(rc, savedErrno));
    };
    int savedErrno = 0;

    // The root DSE names the subschema entry; cn=Subschema only when it
    // names none.
    std::string subschema = "cn=Subschema";
    {
        std::array<char*, 2> attrs{const_cast<char*>("subschemaSubentry"), nullptr};
        Message root;
        const int rc = searchBase(ld, "", "(objectClass=*)", attrs.data(),
                                  session_->operationTimeout, root, savedErrno);
        if (rc != LDAP_SUCCESS && rc != LDAP_NO_SUCH_OBJECT) {
            return fail(rc, "reading the root DSE", savedErrno);
        }
        std::optional<std::string> named;
        if (root) {
            const int decoded =
                forEachAttribute(ld, root.get(), [&](std::string_view type, const berval* values) {
                    if (!named && namesEqual(type, "subschemaSubentry") &&
                        values[0].bv_val != nullptr) {
                        named.emplace(values[0].bv_val, values[0].bv_len);
                    }
                });
            if (decoded != LDAP_SUCCESS) {
                return fail(decoded, "reading the root DSE");
            }
        }
        if (named) {
            // libldap takes the DN as a C string: one with a NUL in it would
            // be searched for cut short, as another entry.
            if (named->find('\0') != std::string::npos) {
                diagnostic = name_ + ": the root DSE names a subschema entry that is no DN: " +
                             shownServerText(*named, session_->secret);
                return QXERR_SERVER_ERROR;
            }
            subschema = std::move(*named);
        }
    }
    const std::string shownSubschema = shownServerText(subschema, session_->secret);

    // The schema's attributes are operational: they come only when named.
    constexpr std::array<const char*, 5> kinds{"objectClasses", "attributeTypes", "ldapSyntaxes",
                                               "nameForms", "dITStructureRules"};
    std::array<char*, 6> attrs{};
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        attrs[i] = const_cast<char*>(kinds[i]);
    }
    Message entry;
    const int rc = searchBase(ld, subschema, "(objectClass=subschema)", attrs.data(),
                              session_->operationTimeout, entry, savedErrno);
    if (rc != LDAP_SUCCESS) {
        return fail(rc, "reading the subschema entry " + shownSubschema, savedErrno);
    }
    if (!entry) {
        diagnostic = name_ + ": the subschema entry " + shownSubschema + " cannot be read";
        return QXERR_NO_SUBSCHEMA;
    }

    Descriptions descriptions;
    std::array<std::vector<Description>*, 5> targets{
        &descriptions.objectClasses, &descriptions.attributeTypes, &descriptions.ldapSyntaxes,
        &descriptions.nameForms, &descriptions.structureRules};
    bool any = false;
    const std::string server = serverName();
    const int decoded =
        forEachAttribute(ld, entry.get(), [&](std::string_view type, const berval* values) {
            for (std::size_t i = 0; i < kinds.size(); ++i) {
                if (!namesEqual(type, kinds[i])) {
                    continue;
                }
                any = true;
                for (const berval* value = values; value->bv_val != nullptr; ++value) {
                    targets[i]->push_back({std::string(value->bv_val, value->bv_len),
                                           server + " " + kinds[i] + " value " +
                                               std::to_string(targets[i]->size() + 1)});
                }
            }
        });
    if (decoded != LDAP_SUCCESS) {
        return fail(decoded, "reading the subschema entry " + shownSubschema);
    }
    // The message holds a copy of every value: it goes before the conversion
    // makes copies of its own, so a huge value is held twice at most.
    entry.reset();
    if (!any) {
        diagnostic =
            name_ + ": the subschema entry " + shownSubschema + " holds no readable schema";
        return QXERR_NO_SUBSCHEMA;
    }
    descriptions.entries.push_back(subschema);
    content = convertDescriptions(descriptions);
    return QX_SUCCESS;
}

}  // namespace dsclient
