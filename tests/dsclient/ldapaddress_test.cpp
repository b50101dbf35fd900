// Server names of directory servers: which words are one, what they name,
// and under which key a connection to them is found again. No server is
// contacted here.

#include "dsclient/ldapaddress.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "dscontext/dsclient.h"

namespace {

using dsclient::LdapScheme;

TEST(LdapNames, FormsAndWhatTheyName) {
    struct Case {
        std::string name;
        bool valid;
        LdapScheme scheme;
        std::string url, host;
        int port;
        bool portGiven, startTls;
        std::string bindDn;
    };
    const std::vector<Case> cases{
        {"dir.example", true, LdapScheme::ldap, "ldap://dir.example:389", "dir.example", 389, false,
         false, ""},
        {"Dir-1.Example:3890", true, LdapScheme::ldap, "ldap://Dir-1.Example:3890", "Dir-1.Example",
         3890, true, false, ""},
        {"[::1]:3890", true, LdapScheme::ldap, "ldap://[::1]:3890", "::1", 3890, true, false, ""},
        {"LDAP://127.0.0.1", true, LdapScheme::ldap, "ldap://127.0.0.1:389", "127.0.0.1", 389,
         false, false, ""},
        {"ldaps://127.0.0.1:6360", true, LdapScheme::ldaps, "ldaps://127.0.0.1:6360", "127.0.0.1",
         6360, true, false, ""},
        {"ldaps://host", true, LdapScheme::ldaps, "ldaps://host:636", "host", 636, false, false,
         ""},
        {"ldap://[::1]/", true, LdapScheme::ldap, "ldap://[::1]:389", "::1", 389, false, false, ""},
        {"ldap://h/????StartTLS", true, LdapScheme::ldap, "ldap://h:389", "h", 389, false, true,
         ""},
        {"ldap://h/???"
         "?!StartTLS",
         true, LdapScheme::ldap, "ldap://h:389", "h", 389, false, true, ""},
        {"ldaps://h/????StartTLS", true, LdapScheme::ldaps, "ldaps://h:636", "h", 636, false, false,
         ""},
        {"ldap://h:1/????bindname=cn=admin%2cdc=example", true, LdapScheme::ldap, "ldap://h:1", "h",
         1, true, false, "cn=admin,dc=example"},
        {"ldapi://%2Frun%2Fs.sock", true, LdapScheme::ldapi, "ldapi://%2Frun%2Fs.sock",
         "/run/s.sock", 0, false, false, ""},
        {"ldap://h/???"
         "?!x-unknown",
         false, LdapScheme::ldap, "", "", 0, false, false, ""},
        {"ldap://h/????x-unknown", true, LdapScheme::ldap, "ldap://h:389", "h", 389, false, false,
         ""},
        {"ldap://h:0", false, LdapScheme::ldap, "", "", 0, false, false, ""},
        {"ldap://h:70000", false, LdapScheme::ldap, "", "", 0, false, false, ""},
        {"ldap://a b", false, LdapScheme::ldap, "", "", 0, false, false, ""},
        {"host:port", false, LdapScheme::ldap, "", "", 0, false, false, ""},
        {"a name with spaces", false, LdapScheme::ldap, "", "", 0, false, false, ""},
        {"[::1", false, LdapScheme::ldap, "", "", 0, false, false, ""},
        {"", false, LdapScheme::ldap, "", "", 0, false, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string why;
        const auto address = dsclient::parseLdapName(c.name, why);
        ASSERT_EQ(address.has_value(), c.valid) << why;
        if (!address) {
            EXPECT_FALSE(why.empty());
            continue;
        }
        EXPECT_EQ(address->scheme, c.scheme);
        EXPECT_EQ(address->url, c.url);
        EXPECT_EQ(address->host, c.host);
        EXPECT_EQ(address->port, c.port);
        EXPECT_EQ(address->portGiven, c.portGiven);
        EXPECT_EQ(address->startTls, c.startTls);
        EXPECT_EQ(address->bindDn, c.bindDn);
    }
    EXPECT_TRUE(dsclient::isLdapName("ldap://a b")) << "a URL, though a bad one";
    EXPECT_FALSE(dsclient::isLdapName("a name with spaces"));
}

TEST(LdapNames, ConnectionKeysIgnoreTheCaseOfHostsOnly) {
    using dsclient::ldapConnectionKey;
    EXPECT_EQ(ldapConnectionKey("Dir.Example"), ldapConnectionKey("ldap://dir.example:389"));
    EXPECT_EQ(ldapConnectionKey("DIR.EXAMPLE:389"), ldapConnectionKey("ldap://dir.example/"));
    EXPECT_NE(ldapConnectionKey("dir.example"), ldapConnectionKey("ldaps://dir.example"));
    EXPECT_NE(ldapConnectionKey("dir.example"), ldapConnectionKey("dir.example:3890"));
    EXPECT_NE(ldapConnectionKey("dir.example"),
              ldapConnectionKey("ldap://dir.example/????StartTLS"));
    EXPECT_NE(ldapConnectionKey("ldap://h/????bindname=cn=a"),
              ldapConnectionKey("ldap://h/????bindname=cn=b"));
    EXPECT_NE(ldapConnectionKey("ldapi://%2Ftmp%2FA"), ldapConnectionKey("ldapi://%2Ftmp%2Fa"))
        << "a socket path is a file path";
}

TEST(SourceSchemes, AWordWithASchemeNamesASourceWhateverElseItHolds) {
    const std::vector<std::pair<const char*, int>> cases{
        {"file:x.lst", 1},
        {"FILE:/a", 1},
        {"ldap://h.ref", 1},
        {"LDAPS://h", 1},
        {"ldapi://%2Fs", 1},
        {"ldap:/h", 0},
        {"ldapx://h", 0},
        {"x.lst", 0},
        {"dir.example", 0},
        {"files:x", 0},
        {"", 0},
    };
    for (const auto& [name, expected] : cases) {
        EXPECT_EQ(QXNameHasSourceScheme(name), expected) << name;
    }
    EXPECT_EQ(QXNameHasSourceScheme(nullptr), 0);
}

}  // namespace
