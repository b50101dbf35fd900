#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "dsclient/descriptions.h"
#include "dsclient/ldapaddress.h"
#include "dsclient/ldapsession.h"
#include "dsclient/source.h"
#include "dsclient/sourceschema.h"

namespace dsclient {

// A directory server read over LDAP (see LdapSession for how the server is
// spoken to and how little it is trusted). The schema is read once, from
// the subschema entry that the root DSE names.
class LdapSource : public Source {
  public:
    // `showsProgress`: see LdapSession.
    explicit LdapSource(std::string name, bool showsProgress = true);
    ~LdapSource() override;
    LdapSource(const LdapSource&) = delete;
    LdapSource& operator=(const LdapSource&) = delete;

    // Parses the name (QXERR_NO_SUCH_SERVER when it names no address) and
    // opens a session to the server it names.
    std::int32_t open(std::string& diagnostic) override;
    // Reads the schema descriptions and converts them.
    std::int32_t fetch(SchemaContent& content, std::string& diagnostic) override;
    // Reads the schema descriptions, all eight kinds, as the server gives them.
    std::int32_t fetchDescriptions(Descriptions& out, std::string& diagnostic) override;
    // The host, or host:port when a port was given.
    std::string serverName() const override;

  private:
    std::int32_t readDescriptions(Descriptions& out, LdapSession::SchemaRead read,
                                  std::string& diagnostic);

    std::string name_;
    bool showsProgress_;
    std::optional<LdapAddress> address_;
    std::unique_ptr<LdapSession> session_;
};

}  // namespace dsclient
