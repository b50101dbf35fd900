#pragma once

#include <sys/time.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dsclient/descriptions.h"
#include "dsclient/ldapaddress.h"

struct ldap;  // libldap's session, LDAP in its headers

namespace dsclient {

// Used when libldap's configuration (ldap.conf, ldaprc, LDAPNETWORK_TIMEOUT,
// LDAPTIMEOUT) sets no timeout of its own: nothing waits without end.
constexpr int defaultConnectSeconds = 10;
constexpr int defaultOperationSeconds = 60;

// One libldap session with a directory server: protocol version 3,
// referrals not chased, bounded timeouts, no reply larger than 128 MiB.
// Every diagnostic begins with the server name as typed, and shows the
// server's own text only as shownServerText does. Unbinds when it goes.
// Callers hold a QuietPipe around each call.
class LdapSession {
  public:
    // `showsProgress`: before each wait on the server the terminal is
    // brought up to date (flushProgress); false on a thread other than the
    // one that writes the progress.
    LdapSession(std::string name, LdapAddress address, bool showsProgress = true);
    ~LdapSession();
    LdapSession(const LdapSession&) = delete;
    LdapSession& operator=(const LdapSession&) = delete;

    // Resolves the host, connects, sets up TLS as asked and binds:
    // anonymously, as the URL's bindname with a password, or over ldapi with
    // SASL EXTERNAL. Returns 0 or the QXERR_ code of the step that failed,
    // with the step and the cause in `diagnostic`.
    std::int32_t open(std::string& diagnostic);

    // True after an open that got as far as a libldap session.
    bool connected() const { return ld_ != nullptr; }

    // The schema descriptions of the subschema entry that the root DSE names
    // (cn=Subschema when it names none), each with `server` in its origin,
    // and the entry's name: the kinds a listing uses, or all eight. Only the
    // first entry of each search is read. QXERR_NO_SUBSCHEMA when the entry
    // cannot be read or holds none of the kinds asked for; otherwise 0 or
    // the code readFailureCode gives.
    enum class SchemaRead { listing, whole };
    std::int32_t readSchema(Descriptions& descriptions, const std::string& server, SchemaRead read,
                            std::string& diagnostic);

  private:
    std::int32_t resolve(std::string& diagnostic);
    std::int32_t initialize(std::string& diagnostic);
    std::int32_t connect(std::string& diagnostic);
    std::int32_t startTls(std::string& diagnostic);
    std::int32_t bind(std::string& diagnostic);
    int sendBind(const std::optional<std::string>& password);
    std::int32_t openFailure(int rc, const char* what, int savedErrno, std::string& diagnostic);
    std::int32_t connectedFailure(int rc, const char* what, int savedErrno,
                                  std::string& diagnostic);
    std::string tlsText(int rc) const;
    std::int32_t subschemaName(std::string& subschema, std::string& diagnostic);
    std::int32_t readFailure(int rc, const std::string& what, int savedErrno,
                             std::string& diagnostic) const;

    std::string name_;
    LdapAddress address_;
    bool showsProgress_;
    ldap* ld_ = nullptr;
    timeval operationTimeout_{defaultOperationSeconds, 0};
    int connectSeconds_ = defaultConnectSeconds;
    // The bind password, so that no server text that echoes it is shown.
    std::string secret_;
    bool externalBind_ = false;
    // What libldap logged about the TLS handshake, for a failure to name.
    std::vector<std::string> tlsLog_;
};

// Has libldap read its configuration (ldap.conf, ldaprc, the environment)
// now, on the calling thread, so that sessions opened later on other
// threads find it done.
void prepareLdapLibrary();

}  // namespace dsclient
