#include "support/slapdserver.h"

#include <arpa/inet.h>
#include <ldap.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct LdapUnbind {
    void operator()(LDAP* ld) const { ldap_unbind_ext_s(ld, nullptr, nullptr); }
};
using Ldap = std::unique_ptr<LDAP, LdapUnbind>;

struct LdapMessageFree {
    void operator()(LDAPMessage* message) const { ldap_msgfree(message); }
};

// A handle with short time limits; with `caFile` it trusts that CA alone.
Ldap connectTo(const std::string& url, const std::string& caFile = "") {
    LDAP* raw = nullptr;
    if (ldap_initialize(&raw, url.c_str()) != LDAP_SUCCESS) {
        return nullptr;
    }
    Ldap ld(raw);
    const int version = LDAP_VERSION3;
    const timeval limit{3, 0};
    ldap_set_option(ld.get(), LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(ld.get(), LDAP_OPT_NETWORK_TIMEOUT, &limit);
    ldap_set_option(ld.get(), LDAP_OPT_TIMEOUT, &limit);
    if (!caFile.empty()) {
        const int demand = LDAP_OPT_X_TLS_DEMAND;
        const int client = 0;
        ldap_set_option(ld.get(), LDAP_OPT_X_TLS_CACERTFILE, caFile.c_str());
        ldap_set_option(ld.get(), LDAP_OPT_X_TLS_REQUIRE_CERT, &demand);
        ldap_set_option(ld.get(), LDAP_OPT_X_TLS_NEWCTX, &client);
    }
    return ld;
}

// The values of `attribute` on the entry `base`; `code` gets the result.
std::vector<std::string> readValues(LDAP* ld, const std::string& base, const std::string& attribute,
                                    int* code = nullptr) {
    std::vector<std::string> values;
    std::string wanted = attribute;
    char* attributes[] = {wanted.data(), nullptr};
    timeval limit{3, 0};
    LDAPMessage* raw = nullptr;
    const int rc = ldap_search_ext_s(ld, base.c_str(), LDAP_SCOPE_BASE, "(objectClass=*)",
                                     attributes, 0, nullptr, nullptr, &limit, 0, &raw);
    const std::unique_ptr<LDAPMessage, LdapMessageFree> result(raw);
    if (code != nullptr) {
        *code = rc;
    }
    if (rc != LDAP_SUCCESS) {
        return values;
    }
    for (LDAPMessage* entry = ldap_first_entry(ld, raw); entry != nullptr;
         entry = ldap_next_entry(ld, entry)) {
        berval** found = ldap_get_values_len(ld, entry, attribute.c_str());
        for (int i = 0; found != nullptr && found[i] != nullptr; ++i) {
            values.emplace_back(found[i]->bv_val, found[i]->bv_len);
        }
        ldap_value_free_len(found);
    }
    return values;
}

bool anyContains(const std::vector<std::string>& values, const std::string& part) {
    for (const std::string& value : values) {
        if (value.find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

int simpleBind(LDAP* ld, const std::string& dn, std::string password) {
    berval credentials{static_cast<ber_len_t>(password.size()), password.data()};
    return ldap_sasl_bind_s(ld, dn.c_str(), LDAP_SASL_SIMPLE, &credentials, nullptr, nullptr,
                            nullptr);
}

std::string whoAmI(LDAP* ld) {
    berval* identity = nullptr;
    if (ldap_whoami_s(ld, &identity, nullptr, nullptr) != LDAP_SUCCESS) {
        return "(failed)";
    }
    std::string text = identity != nullptr ? std::string(identity->bv_val, identity->bv_len) : "";
    ber_bvfree(identity);
    return text;
}

// EXTERNAL needs no answers: the peer's credentials are the identity.
int noPrompts(LDAP*, unsigned, void*, void*) {
    return LDAP_SUCCESS;
}

bool refusesConnections(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    const bool refused = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 &&
                         errno == ECONNREFUSED;
    close(fd);
    return refused;
}

constexpr const char* kMarkSchema =
    "attributetype ( 2.25.318044537711829452817165042 NAME 'fixtureMark'\n"
    "  EQUALITY caseIgnoreMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )\n";

}  // namespace

TEST(SlapdServerTest, ServesSchemaEntriesAndBindsThenStops) {
    SlapdOptions options;
    options.schemas = {"core", "cosine"};
    options.extraSchemaText = {kMarkSchema};
    options.ldif =
        "dn: dc=example,dc=com\nobjectClass: dcObject\nobjectClass: organization\n"
        "dc: example\no: Example\n";
    const auto started = std::chrono::steady_clock::now();
    SlapdServer server(options);
    const auto startup = std::chrono::steady_clock::now() - started;
    ASSERT_TRUE(server.running()) << server.error();
    EXPECT_EQ(server.error(), "");
    EXPECT_LT(startup, std::chrono::seconds(2));
    EXPECT_EQ(server.ldapUrl(), "ldap://127.0.0.1:" + std::to_string(server.port()));
    EXPECT_EQ(server.tlsPort(), 0);
    EXPECT_EQ(server.ldapsUrl(), "");
    EXPECT_EQ(server.ldapiUrl(), "");

    Ldap ld = connectTo(server.ldapUrl());
    ASSERT_TRUE(ld);
    const std::vector<std::string> subentry = readValues(ld.get(), "", "subschemaSubentry");
    ASSERT_EQ(subentry.size(), 1u);
    const std::vector<std::string> classes = readValues(ld.get(), subentry[0], "objectClasses");
    const std::vector<std::string> types = readValues(ld.get(), subentry[0], "attributeTypes");
    EXPECT_TRUE(anyContains(classes, "'pilotPerson'"));
    EXPECT_TRUE(anyContains(classes, "'person'"));
    EXPECT_TRUE(anyContains(types, "'favouriteDrink'"));
    EXPECT_TRUE(anyContains(types, "NAME 'fixtureMark'"));
    EXPECT_EQ(readValues(ld.get(), options.suffix, "o"), std::vector<std::string>{"Example"});

    EXPECT_EQ(simpleBind(ld.get(), options.rootDN, options.rootPassword), LDAP_SUCCESS);
    EXPECT_EQ(whoAmI(ld.get()), "dn:" + options.rootDN);
    EXPECT_EQ(simpleBind(ld.get(), options.rootDN, "not the password"), LDAP_INVALID_CREDENTIALS);
    ld.reset();

    const pid_t pid = server.pid();
    const int port = server.port();
    ASSERT_GT(pid, 0);
    server.stop();
    EXPECT_FALSE(server.running());
    EXPECT_EQ(server.pid(), 0);
    // Reaped, not a zombie: the id names no process any more.
    EXPECT_EQ(kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
    EXPECT_TRUE(refusesConnections(port));
    EXPECT_EQ(server.port(), port);
    server.stop();
    EXPECT_FALSE(server.running());
}

TEST(SlapdServerTest, SecureListenersCheckTheCertificateAndThePeer) {
    SlapdOptions options;
    options.tls = true;
    options.ldapi = true;
    SlapdServer server(options);
    ASSERT_TRUE(server.running()) << server.error();
    EXPECT_EQ(server.ldapsUrl(), "ldaps://127.0.0.1:" + std::to_string(server.tlsPort()));
    EXPECT_NE(server.tlsPort(), server.port());
    EXPECT_EQ(server.ldapiUrl().rfind("ldapi://%2F", 0), 0u) << server.ldapiUrl();
    EXPECT_EQ(server.ldapiUrl().find('/', 8), std::string::npos) << server.ldapiUrl();

    int code = -1;
    {
        Ldap ld = connectTo(server.ldapsUrl(), server.caFile());
        ASSERT_TRUE(ld);
        EXPECT_FALSE(readValues(ld.get(), "", "subschemaSubentry", &code).empty());
        EXPECT_EQ(code, LDAP_SUCCESS);
    }
    {
        Ldap ld = connectTo(server.ldapsUrl(), server.badCaFile());
        ASSERT_TRUE(ld);
        EXPECT_TRUE(readValues(ld.get(), "", "subschemaSubentry", &code).empty());
        // The same URL answered with the right CA, so this is the certificate check.
        EXPECT_TRUE(code == LDAP_SERVER_DOWN || code == LDAP_CONNECT_ERROR)
            << ldap_err2string(code);
    }
    {
        Ldap ld = connectTo(server.ldapUrl(), server.caFile());
        ASSERT_TRUE(ld);
        EXPECT_EQ(ldap_start_tls_s(ld.get(), nullptr, nullptr), LDAP_SUCCESS);
        EXPECT_EQ(simpleBind(ld.get(), options.rootDN, options.rootPassword), LDAP_SUCCESS);
    }
    {
        Ldap ld = connectTo(server.ldapUrl(), server.badCaFile());
        ASSERT_TRUE(ld);
        EXPECT_NE(ldap_start_tls_s(ld.get(), nullptr, nullptr), LDAP_SUCCESS);
    }
    {
        Ldap ld = connectTo(server.ldapiUrl());
        ASSERT_TRUE(ld);
        EXPECT_EQ(ldap_sasl_interactive_bind_s(ld.get(), nullptr, "EXTERNAL", nullptr, nullptr,
                                               LDAP_SASL_QUIET, noPrompts, nullptr),
                  LDAP_SUCCESS);
        EXPECT_EQ(whoAmI(ld.get()), "dn:" + options.rootDN);
        EXPECT_FALSE(readValues(ld.get(), "", "subschemaSubentry").empty());
    }
}

TEST(SlapdServerTest, AppliesAccessRulesAndReportsWhatItCannotServe) {
    {
        SlapdOptions options;
        options.backend = "ldif";
        options.access =
            "access to dn.base=\"cn=Subschema\" by users read by * none\n"
            "access to * by * read";
        SlapdServer server(options);
        ASSERT_TRUE(server.running()) << server.error();
        Ldap ld = connectTo(server.ldapUrl());
        ASSERT_TRUE(ld);
        EXPECT_TRUE(readValues(ld.get(), "cn=Subschema", "objectClasses").empty());
        ASSERT_EQ(simpleBind(ld.get(), options.rootDN, options.rootPassword), LDAP_SUCCESS);
        EXPECT_TRUE(anyContains(readValues(ld.get(), "cn=Subschema", "objectClasses"), "'person'"));
    }
    {
        SlapdOptions options;
        options.extraSchemaText = {"attributetype ( 2.25.1 NAME 'broken' SYNTAX"};
        SlapdServer server(options);
        EXPECT_FALSE(server.running());
        EXPECT_EQ(server.pid(), 0);
        EXPECT_NE(server.error().find("rejected its configuration"), std::string::npos)
            << server.error();
        EXPECT_NE(server.error().find("extra-1.schema"), std::string::npos) << server.error();
    }
    {
        SlapdOptions options;
        options.backend = "bdb";
        EXPECT_NE(SlapdServer(options).error().find("unknown backend"), std::string::npos);
        options.backend = "mdb";
        options.schemas = {"../../etc/passwd"};
        EXPECT_NE(SlapdServer(options).error().find("no schema file"), std::string::npos);
        options.schemas = {"core"};
        options.rootPassword = "secret\nrootdn cn=other";
        EXPECT_NE(SlapdServer(options).error().find("single lines"), std::string::npos);
    }
}
