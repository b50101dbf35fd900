#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "dsclient/source.h"
#include "dsclient/sourceschema.h"

namespace dsclient {

// Where and how a server name says to reach a directory server.
struct LdapAddress {
    std::string scheme;  // "ldap", "ldaps" or "ldapi"
    std::string host;    // as typed; for ldapi the socket path, decoded
    int port = 0;        // 389 or 636 unless given; 0 for ldapi
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

// A directory server read over LDAP through libldap: protocol version 3,
// referrals not chased, bounded timeouts (10 s to connect and 60 s for each
// operation unless libldap's configuration sets others). The schema is read
// once, from the subschema entry that the root DSE names. A server is not
// trusted: no reply may be larger than 128 MiB, entries beyond the first of a
// search are dropped, an entry that does not decode fails the read, and its
// text reaches a diagnostic only cut short, with control bytes as \xHH and
// never with the bind password in it.
class LdapSource : public Source {
  public:
    explicit LdapSource(std::string name);
    ~LdapSource() override;
    LdapSource(const LdapSource&) = delete;
    LdapSource& operator=(const LdapSource&) = delete;

    // Initialises the session, sets up TLS as asked and binds: anonymously,
    // as the URL's bindname with a password, or over ldapi with SASL EXTERNAL.
    std::int32_t open(std::string& diagnostic) override;
    std::int32_t fetch(SchemaContent& content, std::string& diagnostic) override;
    // The host, or host:port when a port was given.
    std::string serverName() const override;

  private:
    struct Session;

    std::string name_;
    std::optional<LdapAddress> address_;
    std::unique_ptr<Session> session_;
};

}  // namespace dsclient
