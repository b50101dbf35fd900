#include "dsclient/ldapsource.h"

#include <ldap.h>
#include <netdb.h>
#include <poll.h>
#include <sasl/sasl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "dsclient/conversion.h"
#include "dsclient/descriptions.h"
#include "dsclient/password.h"
#include "dscontext/dsclient.h"
#include "toollib/namecompare.h"

namespace dsclient {

namespace {

// Used when libldap's configuration (ldap.conf, ldaprc, LDAPNETWORK_TIMEOUT,
// LDAPTIMEOUT) sets no timeout of its own: nothing waits without end.
constexpr int defaultConnectSeconds = 10;
constexpr int defaultOperationSeconds = 60;

constexpr int ldapPort = 389;
constexpr int ldapsPort = 636;

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
struct BervalsFree {
    void operator()(berval** values) const { ldap_value_free_len(values); }
};
using Message = std::unique_ptr<LDAPMessage, MessageFree>;

std::string fold(std::string text) {
    for (char& c : text) {
        c = foldName(c);
    }
    return text;
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
struct LdapSource::Session {
    ~Session() {
        if (ld != nullptr) {
            ldap_unbind_ext_s(ld, nullptr, nullptr);
        }
    }
    LDAP* ld = nullptr;
    timeval operationTimeout{defaultOperationSeconds, 0};
    int connectSeconds = defaultConnectSeconds;
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

std::string ldapMessage(LDAP* ld, int rc) {
    std::string text = ldap_err2string(rc);
    char* detail = nullptr;
    if (ld != nullptr &&
        ldap_get_option(ld, LDAP_OPT_DIAGNOSTIC_MESSAGE, &detail) == LDAP_SUCCESS &&
        detail != nullptr) {
        if (*detail != '\0') {
            text += std::string(" (") + detail + ")";
        }
        ldap_memfree(detail);
    }
    return text;
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

// The code for a failure while connecting or binding.
std::int32_t openFailure(int rc, const LdapAddress& address, int connectSeconds) {
    switch (rc) {
        case LDAP_TIMEOUT:
            return QXERR_TIMEOUT;
        case LDAP_NO_MEMORY:
            return QXERR_OUT_OF_MEMORY;
        case LDAP_SERVER_DOWN:
        case LDAP_CONNECT_ERROR:
            // TLS that fails leaves libldap with no connection, as a server
            // that cannot be reached does; a port that answers tells them apart.
            if (address.scheme == "ldaps" &&
                portAnswers(address.host, address.port, connectSeconds)) {
                return QXERR_TLS_FAILURE;
            }
            return rc == LDAP_CONNECT_ERROR && address.scheme == "ldaps" ? QXERR_TLS_FAILURE
                                                                         : QXERR_UNREACHABLE;
        case LDAP_INVALID_CREDENTIALS:
        case LDAP_INAPPROPRIATE_AUTH:
        case LDAP_AUTH_METHOD_NOT_SUPPORTED:
        case LDAP_STRONG_AUTH_REQUIRED:
        case LDAP_CONFIDENTIALITY_REQUIRED:
        case LDAP_UNWILLING_TO_PERFORM:
        case LDAP_INSUFFICIENT_ACCESS:
        case LDAP_INVALID_DN_SYNTAX:
        case LDAP_AUTH_UNKNOWN:
            return QXERR_BIND_REFUSED;
        default:
            return QXERR_SERVER_ERROR;
    }
}

// The code for a failure while reading the schema.
std::int32_t readFailure(int rc) {
    switch (rc) {
        case LDAP_TIMEOUT:
        case LDAP_TIMELIMIT_EXCEEDED:
            return QXERR_TIMEOUT;
        case LDAP_NO_MEMORY:
            return QXERR_OUT_OF_MEMORY;
        case LDAP_SERVER_DOWN:
        case LDAP_CONNECT_ERROR:
            return QXERR_CONNECTION_LOST;
        case LDAP_INSUFFICIENT_ACCESS:
            return QXERR_ACCESS_DENIED;
        case LDAP_NO_SUCH_OBJECT:
            return QXERR_NO_SUBSCHEMA;
        default:
            return QXERR_SERVER_ERROR;
    }
}

}  // namespace

std::int32_t LdapSource::open(std::string& diagnostic) {
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
            diagnostic = name_ + ": " + gai_strerror(resolved);
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

    auto fail = [&](int rc, const char* what) {
        diagnostic = name_ + ": " + what + ": " + ldapMessage(ld, rc);
        return openFailure(rc, address, session_->connectSeconds);
    };

    if (address.startTls) {
        // Whether the URL marks it critical or not, StartTLS is understood
        // here, so a server that declines it or a certificate that does not
        // verify ends the open: the schema is never read in plain text instead.
        if (const int rc = ldap_start_tls_s(ld, nullptr, nullptr); rc != LDAP_SUCCESS) {
            const bool noConnection = rc == LDAP_CONNECT_ERROR || rc == LDAP_SERVER_DOWN;
            if (rc == LDAP_TIMEOUT || (noConnection && !portAnswers(address.host, address.port,
                                                                    session_->connectSeconds))) {
                return fail(rc, "connect");
            }
            diagnostic = name_ + ": StartTLS: " + ldapMessage(ld, rc);
            return QXERR_TLS_FAILURE;
        }
    }

    int rc = LDAP_SUCCESS;
    if (!address.bindDn.empty()) {
        const std::optional<std::string> password = bindPassword(address.bindDn);
        if (!password) {
            diagnostic = name_ + ": no password for " + address.bindDn;
            return QXERR_BIND_REFUSED;
        }
        berval credentials{password->size(), const_cast<char*>(password->data())};
        rc = ldap_sasl_bind_s(ld, address.bindDn.c_str(), LDAP_SASL_SIMPLE, &credentials, nullptr,
                              nullptr, nullptr);
    } else if (address.scheme == "ldapi") {
        rc = ldap_sasl_interactive_bind_s(ld, nullptr, "EXTERNAL", nullptr, nullptr,
                                          LDAP_SASL_QUIET, answerDefaults, nullptr);
    } else {
        berval anonymous{0, nullptr};
        rc = ldap_sasl_bind_s(ld, nullptr, LDAP_SASL_SIMPLE, &anonymous, nullptr, nullptr, nullptr);
    }
    if (rc != LDAP_SUCCESS) {
        return fail(rc, "bind");
    }
    return QX_SUCCESS;
}

std::int32_t LdapSource::fetch(SchemaContent& content, std::string& diagnostic) {
    if (!session_ || session_->ld == nullptr) {
        diagnostic = name_ + ": not connected";
        return QXERR_NOT_CONNECTED;
    }
    LDAP* ld = session_->ld;
    auto fail = [&](int rc, const std::string& what) {
        diagnostic = name_ + ": " + what + ": " + ldapMessage(ld, rc);
        return readFailure(rc);
    };

    // The root DSE names the subschema entry; cn=Subschema only when it
    // names none.
    std::string subschema = "cn=Subschema";
    {
        std::array<char*, 2> attrs{const_cast<char*>("subschemaSubentry"), nullptr};
        LDAPMessage* raw = nullptr;
        const int rc = ldap_search_ext_s(ld, "", LDAP_SCOPE_BASE, "(objectClass=*)", attrs.data(),
                                         0, nullptr, nullptr, &session_->operationTimeout, 0, &raw);
        const Message result(raw);
        if (rc != LDAP_SUCCESS && rc != LDAP_NO_SUCH_OBJECT) {
            return fail(rc, "reading the root DSE");
        }
        LDAPMessage* entry = result ? ldap_first_entry(ld, result.get()) : nullptr;
        if (entry != nullptr) {
            const std::unique_ptr<berval*, BervalsFree> values(
                ldap_get_values_len(ld, entry, "subschemaSubentry"));
            if (values && values.get()[0] != nullptr) {
                subschema.assign(values.get()[0]->bv_val, values.get()[0]->bv_len);
            }
        }
    }

    // The schema's attributes are operational: they come only when named.
    constexpr std::array<const char*, 5> kinds{"objectClasses", "attributeTypes", "ldapSyntaxes",
                                               "nameForms", "dITStructureRules"};
    std::array<char*, 6> attrs{};
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        attrs[i] = const_cast<char*>(kinds[i]);
    }
    LDAPMessage* raw = nullptr;
    const int rc =
        ldap_search_ext_s(ld, subschema.c_str(), LDAP_SCOPE_BASE, "(objectClass=subschema)",
                          attrs.data(), 0, nullptr, nullptr, &session_->operationTimeout, 0, &raw);
    const Message result(raw);
    if (rc != LDAP_SUCCESS) {
        return fail(rc, "reading the subschema entry " + subschema);
    }
    LDAPMessage* entry = result ? ldap_first_entry(ld, result.get()) : nullptr;
    if (entry == nullptr) {
        diagnostic = name_ + ": the subschema entry " + subschema + " cannot be read";
        return QXERR_NO_SUBSCHEMA;
    }

    Descriptions descriptions;
    std::array<std::vector<Description>*, 5> targets{
        &descriptions.objectClasses, &descriptions.attributeTypes, &descriptions.ldapSyntaxes,
        &descriptions.nameForms, &descriptions.structureRules};
    bool any = false;
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        const std::unique_ptr<berval*, BervalsFree> values(
            ldap_get_values_len(ld, entry, kinds[i]));
        if (!values) {
            continue;
        }
        any = true;
        for (std::size_t n = 0; values.get()[n] != nullptr; ++n) {
            const berval* value = values.get()[n];
            targets[i]->push_back(
                {std::string(value->bv_val, value->bv_len),
                 serverName() + " " + kinds[i] + " value " + std::to_string(n + 1)});
        }
    }
    if (!any) {
        diagnostic = name_ + ": the subschema entry " + subschema + " holds no readable schema";
        return QXERR_NO_SUBSCHEMA;
    }
    descriptions.entries.push_back(subschema);
    content = convertDescriptions(descriptions);
    return QX_SUCCESS;
}

}  // namespace dsclient
