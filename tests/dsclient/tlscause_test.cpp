// What libldap's TLS log tells of a certificate that does not verify.

#include "dsclient/tlscause.h"

#include <ldap.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

const std::string kUntrusted =
    "TLS: the server's certificate is not signed by a trusted CA (an unknown issuer: TLS_CACERT "
    "or LDAPTLS_CACERT names the CAs to trust)";

TEST(TlsCause, LoggedLinesNameTheCause) {
    struct Case {
        std::string label;
        std::vector<std::string> lines;
        std::string host;
        std::string cause;
    };
    const std::string cantConnect = "TLS: can't connect: (unknown error code).";
    const std::vector<Case> cases{
        {"unknown issuer",
         {"TLS: peer cert untrusted or revoked (0x42)", cantConnect},
         "127.0.0.1",
         kUntrusted},
        {"expired",
         {"TLS: peer cert untrusted or revoked (0x402)"},
         "127.0.0.1",
         "TLS: the server's certificate has expired"},
        {"not valid yet",
         {"TLS: peer cert untrusted or revoked (0x202)"},
         "127.0.0.1",
         "TLS: the server's certificate is not valid yet"},
        {"both faults",
         {"TLS: peer cert untrusted or revoked (0x442)"},
         "h",
         kUntrusted + " and has expired"},
        {"libldap's own date check",
         {"TLS: peer certificate is expired"},
         "h",
         "TLS: the server's certificate has expired"},
        {"another host",
         {"TLS: hostname (127.0.0.1) does not match common name in certificate (other.example).",
          cantConnect},
         "127.0.0.1",
         "TLS: the server's certificate was issued for another host name (other.example), not for "
         "127.0.0.1"},
        // libldap checks localhost as the machine's own name.
        {"localhost",
         {"TLS: hostname (vm) does not match common name in certificate (other.example)."},
         "localhost",
         "TLS: the server's certificate was issued for another host name (other.example), not for "
         "localhost (checked as vm)"},
        {"host case",
         {"TLS: hostname (db.example) does not match common name in certificate (x)."},
         "DB.Example",
         "TLS: the server's certificate was issued for another host name (x), not for DB.Example"},
        {"no common name",
         {"TLS: unable to get common name from peer certificate."},
         "h",
         "TLS: the server's certificate was issued for another host name, not for h"},
        {"subjectAltName only",
         {"TLS: hostname (h) does not match subjectAltName in certificate."},
         "h",
         "TLS: the server's certificate was issued for another host name, not for h"},
        // The certificate's name is the server's text; libldap cuts a long line.
        {"hostile name",
         {"TLS: hostname (h) does not match common name in certificate (\x1b[2Jx).", cantConnect},
         "h",
         "TLS: the server's certificate was issued for another host name (\\x1B[2Jx), not for h"},
        {"cut line",
         {"TLS: hostname (h) does not match common name in certificate (abc"},
         "h",
         "TLS: the server's certificate was issued for another host name (abc), not for h"},
        // Causes not named here leave the generic text to the caller.
        {"revoked", {"TLS: peer cert untrusted or revoked (0x22)"}, "h", ""},
        {"status unreadable", {"TLS: peer cert untrusted or revoked (0xzz)"}, "h", ""},
        {"only the failure", {cantConnect}, "h", ""},
        {"nothing logged", {}, "h", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(dsclient::tlsCause(c.lines, c.host, ""), c.cause);
    }
}

// Left raised, libldap's trace would reach the terminal for the rest of the
// run; and a line another thread logs just as the level is put back must not
// reach it either.
TEST(TlsCause, CaptureRestoresLibldapsLogSettings) {
    int level = 0;
    ldap_get_option(nullptr, LDAP_OPT_DEBUG_LEVEL, &level);
    ASSERT_EQ(level, 0);
    std::vector<std::string> lines;
    int raised = 0;
    EXPECT_EQ(dsclient::capturingTlsLog(lines,
                                        [&raised] {
                                            ldap_get_option(nullptr, LDAP_OPT_DEBUG_LEVEL, &raised);
                                            return 7;
                                        }),
              7);
    EXPECT_NE(raised, 0);
    int after = -1;
    BER_LOG_PRINT_FN printAfter = nullptr;
    ldap_get_option(nullptr, LDAP_OPT_DEBUG_LEVEL, &after);
    ber_get_option(nullptr, LBER_OPT_LOG_PRINT_FN, &printAfter);
    EXPECT_EQ(after, level);
    ASSERT_NE(printAfter, nullptr);
    testing::internal::CaptureStderr();
    printAfter("TLS: logged late by another thread\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(lines.empty());
}

}  // namespace
