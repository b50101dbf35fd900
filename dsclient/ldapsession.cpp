#include "dsclient/ldapsession.h"

#include <ldap.h>
#include <netdb.h>
#include <poll.h>
#include <sasl/sasl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>

#include "dsclient/filesource.h"
#include "dsclient/ldapcodes.h"
#include "dsclient/password.h"
#include "dsclient/quietpipe.h"
#include "dsclient/servertext.h"
#include "dsclient/tlscause.h"
#include "dscontext/dsclient.h"
#include "toollib/namecompare.h"
#include "toollib/progress.h"

namespace dsclient {

namespace {

// The largest reply libldap takes in. It holds a whole message before
// handing it over, and allocates what the message's header declares, so
// without a bound a server decides how much memory the program takes. The
// subschema entry of a real server is a few megabytes.
constexpr ber_len_t maxReplyBytes = 128 << 20;

// The schema's attributes, which are operational: they come only when named.
// The listing asks for the first five (its request stays as it always was);
// a whole-schema read asks for all eight. A server that lacks some of them
// answers without them.
constexpr std::array<const char*, 8> schemaKinds{
    "objectClasses",     "attributeTypes", "ldapSyntaxes",    "nameForms",
    "dITStructureRules", "matchingRules",  "matchingRuleUse", "dITContentRules"};
constexpr std::size_t listedKinds = 5;

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
        if (::connect(fd, at->ai_addr, at->ai_addrlen) == 0) {
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
    if ((code == QXERR_TIMEOUT || code == QXERR_CONNECTION_LOST) &&
        address.scheme == LdapScheme::ldap && !address.startTls) {
        return " (if the port speaks TLS, it needs ldaps://)";
    }
    return {};
}

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
std::int32_t openFailureCode(int rc, const LdapAddress& address, int connectSeconds, bool sasl) {
    if (rc != LDAP_SERVER_DOWN && rc != LDAP_CONNECT_ERROR) {
        return bindFailureCode(rc, sasl);
    }
    // TLS that fails leaves libldap with no connection, as a server that
    // cannot be reached does; a port that answers tells them apart.
    const bool tls = address.scheme == LdapScheme::ldaps;
    if (tls && portAnswers(address.host, address.port, connectSeconds)) {
        return QXERR_TLS_FAILURE;
    }
    return rc == LDAP_CONNECT_ERROR && tls ? QXERR_TLS_FAILURE : QXERR_UNREACHABLE;
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

// The code a search's final message carries.
int searchResult(LDAP* ld, LDAPMessage* message) {
    int code = LDAP_OTHER;
    if (ldap_parse_result(ld, message, &code, nullptr, nullptr, nullptr, nullptr, 0) !=
        LDAP_SUCCESS) {
        return LDAP_DECODING_ERROR;
    }
    return code;
}

// Reads the messages of search `id` until its result, within `limit`
// altogether, keeping the first entry in `entry`; see searchBase.
int awaitSearch(LDAP* ld, int id, timeval limit, Message& entry, int& savedErrno) {
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
        if (type == LDAP_RES_SEARCH_ENTRY && !entry) {
            entry = std::move(message);
        } else if (type == LDAP_RES_SEARCH_RESULT) {
            return searchResult(ld, message.get());
        }
        // 0 (this wait is over: the loop checks the deadline), references,
        // intermediate responses and further entries: nothing to keep.
    }
}

// One base search, read a message at a time until its result, within
// `limit` altogether. The first entry is kept in `entry`; any further entry
// is dropped as it comes, so a server that sends entries without end fills
// no memory, and is stopped by the time limit like one that sends nothing.
int searchBase(LDAP* ld, const std::string& base, const char* filter, char** attrs, timeval limit,
               Message& entry, int& savedErrno, bool showsProgress) {
    if (showsProgress) {
        flushProgress();
    }
    savedErrno = 0;
    int id = 0;
    if (const int rc = ldap_search_ext(ld, base.c_str(), LDAP_SCOPE_BASE, filter, attrs, 0, nullptr,
                                       nullptr, &limit, 0, &id);
        rc != LDAP_SUCCESS) {
        savedErrno = errno;
        return rc;
    }
    return awaitSearch(ld, id, limit, entry, savedErrno);
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

// The schema descriptions of the subschema `entry` go to their kinds of
// `descriptions`, each with its origin on `server`; `any` tells whether the
// entry held a schema attribute at all.
int collectDescriptions(LDAP* ld, LDAPMessage* entry, const std::string& server, std::size_t kinds,
                        Descriptions& descriptions, bool& any) {
    const std::array<std::vector<Description>*, schemaKinds.size()> targets{
        &descriptions.objectClasses,   &descriptions.attributeTypes, &descriptions.ldapSyntaxes,
        &descriptions.nameForms,       &descriptions.structureRules, &descriptions.matchingRules,
        &descriptions.matchingRuleUse, &descriptions.contentRules};
    return forEachAttribute(ld, entry, [&](std::string_view type, const berval* values) {
        for (std::size_t i = 0; i < kinds; ++i) {
            if (!namesEqual(type, schemaKinds[i])) {
                continue;
            }
            any = true;
            std::size_t count = 0;
            for (const berval* value = values; value->bv_val != nullptr; ++value) {
                ++count;
            }
            // Sized once: a large subschema entry holds a hundred thousand values.
            targets[i]->reserve(targets[i]->size() + count);
            std::string prefix = server;
            prefix += ' ';
            prefix += schemaKinds[i];
            prefix += " value ";
            for (const berval* value = values; value->bv_val != nullptr; ++value) {
                Description description{std::string(value->bv_val, value->bv_len), prefix};
                description.origin += std::to_string(targets[i]->size() + 1);
                targets[i]->push_back(std::move(description));
            }
        }
    });
}

}  // namespace

LdapSession::LdapSession(std::string name, LdapAddress address, bool showsProgress)
    : name_(std::move(name)), address_(std::move(address)), showsProgress_(showsProgress) {}

LdapSession::~LdapSession() {
    if (ld_ != nullptr) {
        const QuietPipe quiet;
        ldap_unbind_ext_s(ld_, nullptr, nullptr);
    }
}

std::int32_t LdapSession::open(std::string& diagnostic) {
    using Step = std::int32_t (LdapSession::*)(std::string&);
    for (const Step step : {&LdapSession::resolve, &LdapSession::initialize, &LdapSession::connect,
                            &LdapSession::startTls, &LdapSession::bind}) {
        if (const std::int32_t code = (this->*step)(diagnostic); code != QX_SUCCESS) {
            return code;
        }
    }
    return QX_SUCCESS;
}

std::int32_t LdapSession::resolve(std::string& diagnostic) {
    if (address_.scheme == LdapScheme::ldapi) {
        return QX_SUCCESS;
    }
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int resolved = getaddrinfo(address_.host.c_str(), nullptr, &hints, &found);
    if (found != nullptr) {
        freeaddrinfo(found);
    }
    if (resolved != 0) {
        diagnostic = name_ + ": " + gai_strerror(resolved) + localSourceHint(name_);
        return resolved == EAI_MEMORY ? QXERR_OUT_OF_MEMORY : QXERR_NO_SUCH_HOST;
    }
    return QX_SUCCESS;
}

std::int32_t LdapSession::initialize(std::string& diagnostic) {
    if (const int rc = ldap_initialize(&ld_, address_.url.c_str()); rc != LDAP_SUCCESS) {
        diagnostic = name_ + ": " + ldap_err2string(rc);
        return rc == LDAP_NO_MEMORY ? QXERR_OUT_OF_MEMORY : QXERR_NO_SUCH_SERVER;
    }
    const int version = LDAP_VERSION3;
    ldap_set_option(ld_, LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(ld_, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    const timeval connect = configuredTimeout(ld_, LDAP_OPT_NETWORK_TIMEOUT, defaultConnectSeconds);
    operationTimeout_ = configuredTimeout(ld_, LDAP_OPT_TIMEOUT, defaultOperationSeconds);
    connectSeconds_ = static_cast<int>(connect.tv_sec > 0 ? connect.tv_sec : 1);
    ldap_set_option(ld_, LDAP_OPT_NETWORK_TIMEOUT, &connect);
    ldap_set_option(ld_, LDAP_OPT_TIMEOUT, &operationTimeout_);
    // The connection libldap opens reads through this sockbuf, so the bound
    // holds for every reply on it.
    Sockbuf* sockbuf = nullptr;
    if (ldap_get_option(ld_, LDAP_OPT_SOCKBUF, &sockbuf) == LDAP_OPT_SUCCESS &&
        sockbuf != nullptr) {
        ber_len_t most = maxReplyBytes;
        ber_sockbuf_ctrl(sockbuf, LBER_SB_OPT_SET_MAX_INCOMING, &most);
    }
    return QX_SUCCESS;
}

// Connecting on its own first tells a server that cannot be reached from
// one that accepted the connection and then dropped it or answered with
// something that is no LDAP: after this, a lost connection is that.
// An ldaps:// connection makes its TLS handshake here.
std::int32_t LdapSession::connect(std::string& diagnostic) {
    LDAP* ld = ld_;
    const int connected = address_.scheme == LdapScheme::ldaps
                              ? capturingTlsLog(tlsLog_, [ld] { return ldap_connect(ld); })
                              : ldap_connect(ld);
    if (connected != LDAP_SUCCESS) {
        return openFailure(connected, "connect", 0, diagnostic);
    }
    return QX_SUCCESS;
}

// Whether the URL marks it critical or not, StartTLS is understood here, so
// a server that declines it or a certificate that does not verify ends the
// open: the schema is never read in plain text instead.
std::int32_t LdapSession::startTls(std::string& diagnostic) {
    if (!address_.startTls) {
        return QX_SUCCESS;
    }
    LDAP* ld = ld_;
    const int rc =
        capturingTlsLog(tlsLog_, [ld] { return ldap_start_tls_s(ld, nullptr, nullptr); });
    if (rc == LDAP_SUCCESS) {
        return QX_SUCCESS;
    }
    const bool noConnection = rc == LDAP_CONNECT_ERROR || rc == LDAP_SERVER_DOWN;
    if (rc == LDAP_TIMEOUT ||
        (noConnection && !portAnswers(address_.host, address_.port, connectSeconds_))) {
        return openFailure(rc, "connect", 0, diagnostic);
    }
    diagnostic = name_ + ": StartTLS: " + tlsText(rc);
    return QXERR_TLS_FAILURE;
}

// Anonymously, with `password` as the URL's bindname, or over ldapi with
// SASL EXTERNAL; the libldap result.
int LdapSession::sendBind(const std::optional<std::string>& password) {
    if (password) {
        berval credentials{password->size(), const_cast<char*>(password->data())};
        return ldap_sasl_bind_s(ld_, address_.bindDn.c_str(), LDAP_SASL_SIMPLE, &credentials,
                                nullptr, nullptr, nullptr);
    }
    if (address_.scheme == LdapScheme::ldapi) {
        externalBind_ = true;
        // The SASL library beneath is set up process-wide on its first use,
        // and is not trusted with binds on several threads at once.
        static std::mutex saslMutex;
        const std::lock_guard lock(saslMutex);
        return ldap_sasl_interactive_bind_s(ld_, nullptr, "EXTERNAL", nullptr, nullptr,
                                            LDAP_SASL_QUIET, answerDefaults, nullptr);
    }
    berval anonymous{0, nullptr};
    return ldap_sasl_bind_s(ld_, nullptr, LDAP_SASL_SIMPLE, &anonymous, nullptr, nullptr, nullptr);
}

std::int32_t LdapSession::bind(std::string& diagnostic) {
    std::optional<std::string> password;
    if (!address_.bindDn.empty()) {
        password = bindPassword(address_.bindDn);
        if (!password) {
            diagnostic = name_ + ": no password for " + address_.bindDn;
            return QXERR_BIND_REFUSED;
        }
        secret_ = *password;
    }
    errno = 0;
    const int rc = sendBind(password);
    const int savedErrno = errno;
    if (rc == LDAP_SUCCESS) {
        return QX_SUCCESS;
    }
    const std::int32_t code = connectedFailure(rc, "bind", savedErrno, diagnostic);
    diagnostic += bindHint(code, address_);
    return code;
}

std::string LdapSession::tlsText(int rc) const {
    return tlsFailureText(ld_, rc, secret_, tlsCause(tlsLog_, address_.host, secret_));
}

std::int32_t LdapSession::openFailure(int rc, const char* what, int savedErrno,
                                      std::string& diagnostic) {
    const std::int32_t code =
        openFailureCode(refinedFailure(rc, savedErrno), address_, connectSeconds_, externalBind_);
    const std::string text =
        code == QXERR_TLS_FAILURE ? tlsText(rc) : failureText(ld_, rc, savedErrno, secret_);
    diagnostic = name_ + ": " + what + ": " + text;
    return code;
}

// After the connection was made, one that goes is a lost connection, not a
// server that cannot be reached.
std::int32_t LdapSession::connectedFailure(int rc, const char* what, int savedErrno,
                                           std::string& diagnostic) {
    if (refinedFailure(rc, savedErrno) != LDAP_SERVER_DOWN) {
        return openFailure(rc, what, savedErrno, diagnostic);
    }
    diagnostic = name_ + ": " + what + ": " + failureText(ld_, rc, savedErrno, secret_);
    return QXERR_CONNECTION_LOST;
}

std::int32_t LdapSession::readFailure(int rc, const std::string& what, int savedErrno,
                                      std::string& diagnostic) const {
    diagnostic = name_ + ": " + what + ": " + failureText(ld_, rc, savedErrno, secret_);
    return readFailureCode(refinedFailure(rc, savedErrno));
}

// The root DSE names the subschema entry; `subschema` keeps its
// cn=Subschema when it names none.
std::int32_t LdapSession::subschemaName(std::string& subschema, std::string& diagnostic) {
    std::array<char*, 2> attrs{const_cast<char*>("subschemaSubentry"), nullptr};
    Message root;
    int savedErrno = 0;
    const int rc = searchBase(ld_, "", "(objectClass=*)", attrs.data(), operationTimeout_, root,
                              savedErrno, showsProgress_);
    if (rc != LDAP_SUCCESS && rc != LDAP_NO_SUCH_OBJECT) {
        return readFailure(rc, "reading the root DSE", savedErrno, diagnostic);
    }
    std::optional<std::string> named;
    if (root) {
        const int decoded =
            forEachAttribute(ld_, root.get(), [&](std::string_view type, const berval* values) {
                if (!named && namesEqual(type, "subschemaSubentry") &&
                    values[0].bv_val != nullptr) {
                    named.emplace(values[0].bv_val, values[0].bv_len);
                }
            });
        if (decoded != LDAP_SUCCESS) {
            return readFailure(decoded, "reading the root DSE", 0, diagnostic);
        }
    }
    if (named) {
        // libldap takes the DN as a C string: one with a NUL in it would be
        // searched for cut short, as another entry.
        if (named->find('\0') != std::string::npos) {
            diagnostic = name_ + ": the root DSE names a subschema entry that is no DN: " +
                         shownServerText(*named, secret_);
            return QXERR_SERVER_ERROR;
        }
        subschema = std::move(*named);
    }
    return QX_SUCCESS;
}

std::int32_t LdapSession::readSchema(Descriptions& descriptions, const std::string& server,
                                     SchemaRead read, std::string& diagnostic) {
    const std::size_t kinds = read == SchemaRead::whole ? schemaKinds.size() : listedKinds;
    std::string subschema = "cn=Subschema";
    if (const std::int32_t code = subschemaName(subschema, diagnostic); code != QX_SUCCESS) {
        return code;
    }
    const std::string shown = shownServerText(subschema, secret_);
    std::array<char*, schemaKinds.size() + 1> attrs{};
    for (std::size_t i = 0; i < kinds; ++i) {
        attrs[i] = const_cast<char*>(schemaKinds[i]);
    }
    Message entry;
    int savedErrno = 0;
    const int rc = searchBase(ld_, subschema, "(objectClass=subschema)", attrs.data(),
                              operationTimeout_, entry, savedErrno, showsProgress_);
    if (rc != LDAP_SUCCESS) {
        return readFailure(rc, "reading the subschema entry " + shown, savedErrno, diagnostic);
    }
    if (!entry) {
        diagnostic = name_ + ": the subschema entry " + shown + " cannot be read";
        return QXERR_NO_SUBSCHEMA;
    }
    bool any = false;
    const int decoded = collectDescriptions(ld_, entry.get(), server, kinds, descriptions, any);
    if (decoded != LDAP_SUCCESS) {
        return readFailure(decoded, "reading the subschema entry " + shown, 0, diagnostic);
    }
    if (!any) {
        diagnostic = name_ + ": the subschema entry " + shown + " holds no readable schema";
        return QXERR_NO_SUBSCHEMA;
    }
    descriptions.entries.push_back(subschema);
    return QX_SUCCESS;
}

void prepareLdapLibrary() {
    // Any question about the global options makes libldap initialise.
    int version = 0;
    ldap_get_option(nullptr, LDAP_OPT_PROTOCOL_VERSION, &version);
}

}  // namespace dsclient
