#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dsclient {

// How a directory server is reached: plain LDAP (perhaps with StartTLS),
// LDAP over TLS, or LDAP over a local socket.
enum class LdapScheme { ldap, ldaps, ldapi };

// The scheme's name as a URL writes it: "ldap", "ldaps" or "ldapi".
std::string_view schemeName(LdapScheme scheme);

// True when `name` begins with a directory server URL's scheme and its
// "//" (ldap://, ldaps:// or ldapi://, letter case ignored).
bool hasLdapScheme(std::string_view name);

// Where and how a server name says to reach a directory server.
struct LdapAddress {
    LdapScheme scheme = LdapScheme::ldap;
    std::string host;  // as typed; for ldapi the socket path, decoded
    int port = 0;      // 389 or 636 unless given; 0 for ldapi
    bool portGiven = false;
    std::string url;        // what libldap is handed: scheme, host and port only
    std::string bindDn;     // from the bindname extension; empty: no DN to bind as
    bool startTls = false;  // the StartTLS extension, critical or not
    // The bindname extension went on after a raw comma, which ends an
    // extension in a URL: the DN was cut there.
    bool bindDnCut = false;
};

// True when `name` has the form of a directory server's name: an ldap://,
// ldaps:// or ldapi:// URL (scheme in any case), or a bare host or
// host:port (an IPv6 address in brackets).
bool isLdapName(const std::string& name);

// The address `name` stands for, or nothing (with the reason in `why`) when
// it does not parse, names a bad port or carries a critical extension this
// library does not know.
std::optional<LdapAddress> parseLdapName(const std::string& name, std::string& why);

// The key under which a connection to `name` is found again: the host
// without regard to letter case, the port, the bind DN and the StartTLS
// request; an ldapi socket path compared exactly.
std::string ldapConnectionKey(const std::string& name);

}  // namespace dsclient
