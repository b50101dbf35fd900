// The program against real directory servers that each test starts on the
// loopback address: listing, comparing, TLS, binds, and servers that fail.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/runprogram.h"
#include "support/slapdserver.h"
#include "support/tempdir.h"

namespace fs = std::filesystem;

namespace {

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// The names after one tab between `header` and the next empty line: a
// report's section of unique names.
std::set<std::string> uniqueNames(const std::string& report, const std::string& header) {
    std::set<std::string> names;
    const std::size_t at = report.find("\n" + header + "\n");
    if (at == std::string::npos) {
        return {"(no section " + header + ")"};
    }
    std::istringstream lines(report.substr(at + header.size() + 2));
    for (std::string line; std::getline(lines, line) && !line.empty();) {
        names.insert(line.substr(1));
    }
    return names;
}

// Runs the program with libldap's configuration confined to the test: no
// ldap.conf or ldaprc of the machine or the user, and `settings` added.
class LiveServers : public testing::Test {
  protected:
    RunResult run(const std::vector<std::string>& args, std::vector<std::string> settings = {},
                  const std::string& input = {}, int limitSeconds = 60) {
        settings.push_back("LDAPCONF=" + (work.path() / "ldap.conf").string());
        settings.push_back("HOME=" + work.path().string());
        RunOptions options{input, settings, limitSeconds};
        return runProgram(work.path(), args, {}, nullptr, options);
    }
    void SetUp() override { work.write("ldap.conf", ""); }

    ScopedTempDir work;
};

SlapdOptions loadedWith(std::vector<std::string> schemas, std::vector<std::string> extra = {}) {
    SlapdOptions options;
    options.schemas = std::move(schemas);
    options.extraSchemaText = std::move(extra);
    return options;
}

TEST_F(LiveServers, ListAndCompareServersLoadedWithOtherSchemas) {
    SlapdServer plain(loadedWith({"core", "cosine"}));
    SlapdServer more(loadedWith({"core", "cosine", "inetorgperson"}));
    ASSERT_TRUE(plain.running()) << plain.error();
    ASSERT_TRUE(more.running()) << more.error();

    const RunResult listing = run({plain.ldapUrl()});
    EXPECT_EQ(listing.status, 0) << listing.out;
    EXPECT_NE(listing.out.find("\npilotPerson\n"), std::string::npos);
    EXPECT_EQ(listing.out.find("inetOrgPerson"), std::string::npos);

    const RunResult report = run({plain.ldapUrl(), more.ldapUrl()});
    EXPECT_EQ(report.status, 1);
    const std::string a = upper(plain.ldapUrl());
    const std::string b = upper(more.ldapUrl());
    EXPECT_NE(report.out.find("\nComparing " + a + " with " + b + "...\n"), std::string::npos);
    EXPECT_EQ(uniqueNames(report.out, "Classes unique to " + b),
              std::set<std::string>{"inetOrgPerson"});
    EXPECT_EQ(uniqueNames(report.out, "Attributes unique to " + b),
              (std::set<std::string>{"carLicense", "departmentNumber", "displayName",
                                     "employeeNumber", "employeeType", "jpegPhoto",
                                     "preferredLanguage", "userPKCS12", "userSMIMECertificate"}));
    for (const char* section : {"Classes unique to ", "Attributes unique to ",
                                "Syntaxes unique to ", "Definition differences for "}) {
        EXPECT_EQ(uniqueNames(report.out, std::string(section) + a), std::set<std::string>{"NONE"})
            << section;
    }

    // The same server in both positions, and a server with its own listing.
    EXPECT_EQ(run({plain.ldapUrl(), plain.ldapUrl()}).status, 0);
    work.write("plain.ref", listing.out);
    EXPECT_EQ(run({"plain.ref", plain.ldapUrl()}).status, 0);

    // Servers in a list file beside the reference: one report each, and the
    // list run ends with status 0 whatever the reports found.
    work.write("servers.lst", "; both servers\n" + plain.ldapUrl() + "\n" + more.ldapUrl() + "\n");
    const RunResult listRun = run({"plain.ref", "servers.lst", "/C"});
    EXPECT_EQ(listRun.status, 0);
    EXPECT_NE(listRun.out.find("Comparing PLAIN.REF with " + a + "..."), std::string::npos);
    EXPECT_NE(listRun.out.find("Comparing PLAIN.REF with " + b + "..."), std::string::npos);
    EXPECT_EQ(uniqueNames(listRun.out, "Classes unique to " + b),
              std::set<std::string>{"inetOrgPerson"});

    // A server against the files it was loaded from: the files hold nothing
    // the server lacks; the server adds definitions of its own.
    const std::string files =
        readFile("/etc/ldap/schema/core.schema") + readFile("/etc/ldap/schema/cosine.schema");
    work.write("loaded.schema", files);
    const RunResult againstFiles = run({"loaded.schema", plain.ldapUrl(), "/C", "/A"});
    EXPECT_EQ(againstFiles.status, 1);
    EXPECT_EQ(uniqueNames(againstFiles.out, "Classes unique to LOADED.SCHEMA"),
              std::set<std::string>{"NONE"});
    EXPECT_EQ(uniqueNames(againstFiles.out, "Attributes unique to LOADED.SCHEMA"),
              std::set<std::string>{"NONE"});
    EXPECT_EQ(uniqueNames(againstFiles.out, "Classes unique to " + a).count("olcGlobal"), 1u);

    // A server that is gone: the attach message names it in upper case.
    const std::string url = plain.ldapUrl();
    plain.stop();
    const RunResult refused = run({url});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "Could not attach to server " + upper(url) +
                               ".  QXCCOpenConnByName returned -316:fffffec4\n");
}

TEST_F(LiveServers, TlsAndBindsAreCheckedNeverSkipped) {
    SlapdOptions options = loadedWith({"core"});
    options.tls = true;
    options.ldapi = true;
    SlapdServer server(options);
    ASSERT_TRUE(server.running()) << server.error();
    const std::string trusted = "LDAPTLS_CACERT=" + server.caFile();
    const std::string untrusted = "LDAPTLS_CACERT=" + server.badCaFile();
    const std::string startTls = server.ldapUrl() + "/????StartTLS";
    const std::string critical = server.ldapUrl() +
                                 "/???"
                                 "?!StartTLS";
    const std::string admin = server.ldapUrl() + "/????bindname=cn=admin%2cdc=example%2cdc=com";

    struct Case {
        std::string name;
        std::vector<std::string> settings;
        std::string input;
        int status;
        std::string code;  // in the attach message, when it fails
    };
    const std::vector<Case> cases{
        {server.ldapsUrl(), {trusted}, "", 0, ""},
        {server.ldapsUrl(), {untrusted}, "", 1, "-317:fffffec3"},
        {server.ldapsUrl(), {}, "", 1, "-317:fffffec3"},
        {startTls, {trusted}, "", 0, ""},
        {critical, {trusted}, "", 0, ""},
        {startTls, {untrusted}, "", 1, "-317:fffffec3"},
        {admin, {}, "secret\n", 0, ""},
        {admin, {}, "wrong\n", 1, "-318:fffffec2"},
        {admin, {}, "", 1, "-318:fffffec2"},
        {server.ldapiUrl(), {}, "", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + " " + (c.settings.empty() ? "" : c.settings[0]));
        const RunResult result = run({c.name, "/S"}, c.settings, c.input);
        EXPECT_EQ(result.status, c.status) << result.out << result.err;
        if (c.status == 0) {
            EXPECT_NE(result.out.find("\nSyntax Definitions\n"), std::string::npos);
        } else {
            EXPECT_EQ(result.out, "Could not attach to server " + upper(c.name) +
                                      ".  QXCCOpenConnByName returned " + c.code + "\n");
        }
        // No password ever reaches the output.
        EXPECT_EQ(result.out.find("secret"), std::string::npos);
        EXPECT_EQ(result.err.find("secret"), std::string::npos);
        EXPECT_EQ(result.err.find("wrong"), std::string::npos);
    }

    // A list run binding twice as one DN reads the password once.
    work.write("twice.lst", admin + "\n" + admin + "\n");
    const RunResult twice = run({"twice.lst", "/S"}, {}, "secret\n");
    EXPECT_EQ(twice.status, 0);
    EXPECT_EQ(twice.out.find("Could not attach"), std::string::npos) << twice.out;
}

// Failures a user can act on say what to do, on standard error.
TEST_F(LiveServers, FailedAttachesNameTheirCause) {
    SlapdOptions options = loadedWith({"core"});
    options.tls = true;
    SlapdServer server(options);
    ASSERT_TRUE(server.running()) << server.error();
    const std::string untrusted = "LDAPTLS_CACERT=" + server.badCaFile();
    const std::string plainToTls = "ldap://127.0.0.1:" + std::to_string(server.tlsPort());
    const std::string kUnverified =
        "(TLS: the server's certificate is not signed by a trusted CA (an unknown issuer: "
        "TLS_CACERT or LDAPTLS_CACERT names the CAs to trust))";
    struct Case {
        std::string name;
        std::vector<std::string> settings;
        std::string input;
        std::string code;
        std::string note;  // part of the line on standard error
    };
    const std::vector<Case> cases{
        {server.ldapsUrl(), {untrusted}, "", "-317:fffffec3", kUnverified},
        {server.ldapUrl() + "/????StartTLS", {untrusted}, "", "-317:fffffec3", kUnverified},
        {server.ldapUrl() + "/????bindname=cn=admin,dc=example,dc=com",
         {},
         "secret\n",
         "-318:fffffec2",
         "(the bind DN was cut at a comma: write commas in bindname= as %2c)"},
        // slapd drops the connection; other servers wait until the timeout.
        {plainToTls,
         {"LDAPTIMEOUT=2", "LDAPNETWORK_TIMEOUT=2"},
         "",
         "-322:fffffebe",
         "(if the port speaks TLS, it needs ldaps://)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RunResult result = run({c.name, "/S"}, c.settings, c.input);
        EXPECT_EQ(result.out, "Could not attach to server " + upper(c.name) +
                                  ".  QXCCOpenConnByName returned " + c.code + "\n");
        EXPECT_NE(result.err.find(c.note), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find("(("), std::string::npos) << result.err;
    }
}

TEST_F(LiveServers, CertificatesThatDoNotVerifyNameTheirCause) {
    using Certificate = SlapdOptions::Certificate;
    struct Case {
        Certificate certificate;
        bool trustedCa;
        std::string cause;
    };
    const std::string certificate = "(TLS: the server's certificate ";
    const std::vector<Case> cases{
        {Certificate::expired, true, certificate + "has expired)"},
        {Certificate::notYetValid, true, certificate + "is not valid yet)"},
        {Certificate::otherHost, true,
         certificate + "was issued for another host name (other.example), not for 127.0.0.1)"},
        {Certificate::expired, false,
         certificate + "is not signed by a trusted CA (an unknown issuer: TLS_CACERT or "
                       "LDAPTLS_CACERT names the CAs to trust) and has expired)"},
    };
    for (const Case& c : cases) {
        SlapdOptions options = loadedWith({"core"});
        options.tls = true;
        options.certificate = c.certificate;
        SlapdServer server(options);
        ASSERT_TRUE(server.running()) << server.error();
        const std::string ca =
            "LDAPTLS_CACERT=" + (c.trustedCa ? server.caFile() : server.badCaFile());
        for (const std::string& name : {server.ldapsUrl(), server.ldapUrl() + "/????StartTLS"}) {
            SCOPED_TRACE(name + " " + c.cause);
            const RunResult result = run({name, "/S"}, {ca});
            EXPECT_EQ(result.out, "Could not attach to server " + upper(name) +
                                      ".  QXCCOpenConnByName returned -317:fffffec3\n");
            EXPECT_NE(result.err.find(c.cause), std::string::npos) << result.err;
            // libldap's log, raised for the handshake, stays off the terminal.
            EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        }
    }
}

TEST_F(LiveServers, ChangedDefinitionsShowInTheDifferenceSections) {
    const std::string before =
        "attributetype ( 1.3.6.1.4.1.99999.1.1 NAME 'siteCode' SUP name SINGLE-VALUE )\n"
        "attributetype ( 1.3.6.1.4.1.99999.1.2 NAME 'siteNote' SUP name )\n"
        "objectclass ( 1.3.6.1.4.1.99999.2.1 NAME 'siteThing' SUP country STRUCTURAL\n"
        "  MUST ( cn $ siteCode ) MAY description )\n";
    const std::string after =
        "attributetype ( 1.3.6.1.4.1.99999.1.1 NAME 'siteCode' SUP name )\n"
        "attributetype ( 1.3.6.1.4.1.99999.1.2 NAME 'siteNote' SUP name SINGLE-VALUE )\n"
        "objectclass ( 1.3.6.1.4.1.99999.2.1 NAME 'siteThing' SUP top AUXILIARY\n"
        "  MUST cn MAY ( description $ siteCode $ siteNote ) )\n";
    SlapdServer first(loadedWith({"core"}, {before}));
    SlapdServer second(loadedWith({"core"}, {after}));
    ASSERT_TRUE(first.running()) << first.error();
    ASSERT_TRUE(second.running()) << second.error();
    const RunResult report = run({first.ldapUrl(), second.ldapUrl(), "/C", "/A"});
    EXPECT_EQ(report.status, 1);
    const std::string a = upper(first.ldapUrl());
    const std::string b = upper(second.ldapUrl());
    const std::string expected =
        "\nComparing " + a + " with " + b + "...\n" + "\nClasses unique to " + a + "\n\tNONE\n" +
        "\nClasses unique to " + b + "\n\tNONE\n" + "\nAttributes unique to " + a + "\n\tNONE\n" +
        "\nAttributes unique to " + b + "\n\tNONE\n" + "\nDefinition differences for " + a + "\n" +
        "\nClass Definitions\nsiteThing\n\tFlags\n\t\tDS_EFFECTIVE_CLASS\n"
        "\tSuper Class\n\t\tcountry\n\tMandatory Attributes\n\t\tsiteCode\n"
        "\nAttribute Definitions\nsiteCode\n\tFlags\n"
        "\t\tDS_SINGLE_VALUED_ATTR\n" +
        "\nDefinition differences for " + b + "\n" +
        "\nClass Definitions\nsiteThing\n\tFlags\n\t\tDS_AUXILIARY_CLASS\n"
        "\tSuper Class\n\t\ttop\n\tOptional Attributes\n"
        "\t\tsiteCode\n\t\tsiteNote\n"
        "\nAttribute Definitions\nsiteNote\n\tFlags\n"
        "\t\tDS_SINGLE_VALUED_ATTR\n";
    EXPECT_EQ(report.out, expected);
}

// A socket that accepts connections (the kernel completes them) and never
// answers: the server that hangs.
class SilentListener {
  public:
    SilentListener() : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 && listen(fd_, 8) == 0 &&
            getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            port_ = ntohs(address.sin_port);
        }
    }
    ~SilentListener() { close(fd_); }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;
    int port() const { return port_; }

  private:
    int fd_;
    int port_ = 0;
};

TEST_F(LiveServers, ServersThatFailGiveTheLibrarysCodesWithinTheBounds) {
    SilentListener silent;
    ASSERT_NE(silent.port(), 0);
    const std::string hanging = "127.0.0.1:" + std::to_string(silent.port());
    const auto started = std::chrono::steady_clock::now();
    const RunResult timedOut = run({hanging}, {"LDAPTIMEOUT=2", "LDAPNETWORK_TIMEOUT=2"}, "", 30);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(25));
    EXPECT_EQ(timedOut.status, 1);
    EXPECT_EQ(timedOut.out, "Could not attach to server " + hanging +
                                ".  QXCCOpenConnByName returned " + "-319:fffffec1\n");

    // A subschema entry that anonymous users may not read fails the first
    // reader; nothing is listed as if the schema were empty.
    SlapdOptions hidden = loadedWith({"core"});
    hidden.backend = "ldif";
    hidden.access = "access to dn.base=\"cn=Subschema\" by * none\naccess to * by * read";
    SlapdServer server(hidden);
    ASSERT_TRUE(server.running()) << server.error();
    const RunResult refused = run({server.ldapUrl()});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.out == "QXDSReadClassDef returned -320:fffffec0\n" ||
                refused.out == "QXDSReadClassDef returned -321:fffffebf\n")
        << refused.out;
}

// Fetching ahead changes when servers are read, never what a run writes:
// each list below is run one server at a time and with servers fetched
// ahead, and the two runs must agree byte for byte, in both modes.
TEST_F(LiveServers, ListRunsWriteTheSameWithServersFetchedAhead) {
    SlapdServer plain(loadedWith({"core"}));
    SlapdServer more(loadedWith({"core", "cosine"}));
    SlapdOptions secured = loadedWith({"core", "cosine", "inetorgperson"});
    secured.tls = true;
    SlapdServer tls(secured);
    ASSERT_TRUE(plain.running()) << plain.error();
    ASSERT_TRUE(more.running()) << more.error();
    ASSERT_TRUE(tls.running()) << tls.error();
    SilentListener silent;
    ASSERT_NE(silent.port(), 0);
    const std::string hanging = "127.0.0.1:" + std::to_string(silent.port());
    const std::vector<std::string> settings{"LDAPTIMEOUT=2", "LDAPNETWORK_TIMEOUT=2",
                                            "LDAPTLS_CACERT=" + tls.caFile()};

    work.write("base.ref", run({plain.ldapUrl()}).out);
    fs::create_directory(work.path() / "empty");
    std::string upperMore = more.ldapUrl();
    upperMore.replace(0, 4, "LDAP");
    const std::string refusedBind =
        plain.ldapUrl() + "/????bindname=cn=admin%2cdc=example%2cdc=com";
    work.write("servers.lst", "; every kind of line\n" + plain.ldapUrl() + "\n" + tls.ldapsUrl() +
                                  "\n" + hanging + "\nbase.ref\n" + more.ldapUrl() + "\n" +
                                  refusedBind + "\nmissing.schema\n/C\n" + plain.ldapUrl() +
                                  "\nfile:empty\n" + upperMore + "\n" + refusedBind + "\n" +
                                  tls.ldapsUrl() + "\nnot a host\n");
    // A reference file that cannot be opened ends the process while the
    // servers after it are being fetched.
    work.write("ends.lst", more.ldapUrl() + "\nmissing.ref\n" + hanging + "\n" + tls.ldapsUrl() +
                               "\n" + plain.ldapUrl() + "\n");

    const std::vector<std::vector<std::string>> runs{
        {"base.ref", "servers.lst", "--summary"},
        {"servers.lst"},
        {"--full", "servers.lst", "--summary"},
        {"--json", "servers.lst", "/A"},
        {"base.ref", "ends.lst"},
        {"--full", "ends.lst"},
    };
    for (const std::vector<std::string>& args : runs) {
        std::vector<std::string> one = args;
        one.insert(one.begin(), "--jobs=1");
        std::vector<std::string> ahead = args;
        ahead.insert(ahead.begin(), {"--jobs", "16"});
        const RunResult expected = run(one, settings, "wrong\n", 120);
        const RunResult result = run(ahead, settings, "wrong\n", 120);
        const std::string shown = testing::PrintToString(args);
        EXPECT_EQ(result.status, expected.status) << shown;
        EXPECT_EQ(result.out, expected.out) << shown;
        EXPECT_EQ(result.err, expected.err) << shown;
    }

    // What the runs agree on is what each line makes of its server.
    const RunResult listed = run({"base.ref", "servers.lst", "--summary"}, settings, "wrong\n");
    EXPECT_EQ(listed.status, 0);
    const auto with = [](const std::string& name, const char* what) {
        std::string line = "BASE.REF with ";
        line += upper(name);
        line += what;
        return line;
    };
    const std::vector<std::string> lines{with(plain.ldapUrl(), ": no differences"),
                                         with(tls.ldapsUrl(), ": differences"),
                                         with(hanging, ": could not be read"),
                                         with(refusedBind, ": could not be read"),
                                         with("missing.schema", ": could not be read"),
                                         with("file:empty", ": differences"),
                                         "BASE.REF: listed"};
    for (const std::string& line : lines) {
        EXPECT_NE(listed.out.find(line), std::string::npos) << line << "\n" << listed.out;
    }
    EXPECT_NE(listed.err.find("file:empty: the folder holds no .schema or .ldif file"),
              std::string::npos);
    EXPECT_EQ(run({"base.ref", "ends.lst"}, settings).status, 3);
}

}  // namespace
