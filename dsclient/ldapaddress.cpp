#include "dsclient/ldapaddress.h"

#include <ldap.h>

#include <array>
#include <memory>
#include <tuple>
#include <utility>

#include "toollib/namecompare.h"

namespace dsclient {

namespace {

constexpr int ldapPort = 389;
constexpr const char* notAnAddress = "not a directory server address";

struct SchemeForm {
    LdapScheme scheme;
    std::string_view name;
    std::string_view prefix;
};
constexpr std::array<SchemeForm, 3> schemes{{{LdapScheme::ldap, "ldap", "ldap://"},
                                             {LdapScheme::ldaps, "ldaps", "ldaps://"},
                                             {LdapScheme::ldapi, "ldapi", "ldapi://"}}};

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

// `[v6]` or `[v6]:port`, split; nothing when the word is not one.
std::optional<std::pair<std::string, std::string>> splitBracketedHost(const std::string& word) {
    const std::size_t close = word.find(']');
    if (close == std::string::npos) {
        return std::nullopt;
    }
    std::string host = word.substr(1, close - 1);
    std::string port;
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
    return std::make_pair(std::move(host), std::move(port));
}

// A bare `host`, `host:port`, `[v6]` or `[v6]:port`, split; nothing when the
// word is not one.
std::optional<std::pair<std::string, std::string>> splitBareHost(const std::string& word) {
    std::string host = word;
    std::string port;
    if (!word.empty() && word.front() == '[') {
        const auto bracketed = splitBracketedHost(word);
        if (!bracketed) {
            return std::nullopt;
        }
        std::tie(host, port) = *bracketed;
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

std::string fold(std::string text) {
    for (char& c : text) {
        c = foldName(c);
    }
    return text;
}

// The URL libldap is handed for a host and port over TCP.
std::string tcpUrl(LdapScheme scheme, const std::string& host, int port) {
    const std::string shownHost = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return std::string(schemeName(scheme)) + "://" + shownHost + ":" + std::to_string(port);
}

// `attr=value`, as the rest of a DN after a raw comma is, and no extension
// of the x- kind.
bool looksLikeRdn(std::string_view text) {
    const std::size_t equals = text.find('=');
    return equals != std::string_view::npos && equals > 0 && !startsWithName(text, "x-");
}

// The host and port of a TCP URL, checked further than libldap does: the
// host's characters and the port's range, the port counted as given when
// the authority has a colon after the host (after an IPv6 address's
// brackets).
bool takeTcpAuthority(const std::string& name, const LDAPURLDesc& desc, LdapAddress& address) {
    if (!isHost(address.host) || desc.lud_port < 1 || desc.lud_port > 65535) {
        return false;
    }
    address.port = desc.lud_port;
    const std::size_t hostStart = name.find("//") + 2;
    const std::string authority = name.substr(hostStart, name.find('/', hostStart) - hostStart);
    const std::size_t bracket = authority.rfind(']');
    const std::size_t colon = authority.find(':', bracket == std::string::npos ? 0 : bracket);
    address.portGiven = colon != std::string::npos;
    if (address.portGiven && !isPort(std::string_view(authority).substr(colon + 1))) {
        return false;
    }
    address.url = tcpUrl(address.scheme, address.host, address.port);
    return true;
}

// Reads the URL's extensions into `address`; false (with the reason in
// `why`) for a critical one this library does not know.
bool takeExtensions(char** extensions, LdapAddress& address, std::string& why) {
    for (char** ext = extensions; ext != nullptr && *ext != nullptr; ++ext) {
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
            return false;
        }
    }
    if (address.scheme != LdapScheme::ldap) {
        address.startTls = false;  // ldaps is TLS already; ldapi is local
    }
    return true;
}

// The address a URL with scheme `scheme` names.
std::optional<LdapAddress> parseUrl(const std::string& name, LdapScheme scheme, std::string& why) {
    LDAPURLDesc* raw = nullptr;
    if (ldap_url_parse(name.c_str(), &raw) != LDAP_URL_SUCCESS || raw == nullptr) {
        why = notAnAddress;
        return std::nullopt;
    }
    const std::unique_ptr<LDAPURLDesc, UrlDescFree> desc(raw);
    LdapAddress address;
    address.scheme = scheme;
    address.host = desc->lud_host == nullptr ? "" : desc->lud_host;
    if (scheme == LdapScheme::ldapi) {
        address.url = name.substr(0, name.find('/', std::string("ldapi://").size()));
    } else if (!takeTcpAuthority(name, *desc, address)) {
        why = notAnAddress;
        return std::nullopt;
    }
    if (!takeExtensions(desc->lud_exts, address, why)) {
        return std::nullopt;
    }
    return address;
}

// The scheme `name` begins with, if it begins with one.
std::optional<LdapScheme> schemeOf(std::string_view name) {
    for (const SchemeForm& form : schemes) {
        if (startsWithName(name, form.prefix)) {
            return form.scheme;
        }
    }
    return std::nullopt;
}

}  // namespace

std::string_view schemeName(LdapScheme scheme) {
    for (const SchemeForm& form : schemes) {
        if (form.scheme == scheme) {
            return form.name;
        }
    }
    return {};
}

bool hasLdapScheme(std::string_view name) {
    return schemeOf(name).has_value();
}

bool isLdapName(const std::string& name) {
    return hasLdapScheme(name) || splitBareHost(name).has_value();
}

std::optional<LdapAddress> parseLdapName(const std::string& name, std::string& why) {
    if (const std::optional<LdapScheme> scheme = schemeOf(name)) {
        return parseUrl(name, *scheme, why);
    }
    if (const auto bare = splitBareHost(name)) {
        const auto& [host, port] = *bare;
        LdapAddress address;
        address.host = host;
        address.portGiven = !port.empty();
        address.port = port.empty() ? ldapPort : std::stoi(port);
        address.url = tcpUrl(LdapScheme::ldap, host, address.port);
        return address;
    }
    why = notAnAddress;
    return std::nullopt;
}

std::string ldapConnectionKey(const std::string& name) {
    std::string why;
    const std::optional<LdapAddress> address = parseLdapName(name, why);
    if (!address) {
        return fold(name);
    }
    const bool local = address->scheme == LdapScheme::ldapi;
    std::string key = std::string(schemeName(address->scheme)) + "://" +
                      (local ? address->host : fold(address->host)) + ":" +
                      std::to_string(address->port);
    key += '/';
    key += fold(address->bindDn);
    key += address->startTls ? "/starttls" : "";
    return key;
}

}  // namespace dsclient
