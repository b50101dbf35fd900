// The program against LDAP servers that misbehave on purpose: servers that
// hang, close, lie about lengths, flood, or hand over schema values that are
// huge, numerous or broken. Each gives one defined outcome within the
// timeouts, in bounded memory, with nothing else on standard output.

#include <algorithm>
#include <chrono>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/hostileldap.h"
#include "support/runprogram.h"
#include "support/tempdir.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Far above what a correct run needs, far below what a runaway copy of the
// 50 MB value or an unbounded reply would take.
constexpr long kMemoryBoundKib = 1024L * 1024;
// The operation and connect timeouts each run is given, in seconds.
constexpr int kTimeout = 2;
// A run that waits for one timeout, with room for a slow sanitizer build.
constexpr auto kWithinTimeouts = 10s;

std::string attachFailure(const std::string& name, const std::string& code) {
    std::string shown = name;
    std::transform(shown.begin(), shown.end(), shown.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return "Could not attach to server " + shown + ".  QXCCOpenConnByName returned " + code + "\n";
}

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += "  " + line + "\n";
    }
    return text;
}

// Lines of `text` that are definition names: not indented, not headers.
std::size_t nameLines(const std::string& text) {
    std::istringstream lines(text);
    std::size_t names = 0;
    for (std::string line; std::getline(lines, line);) {
        names += !line.empty() && line[0] != '\t' && line.find(" Definitions") == std::string::npos;
    }
    return names;
}

const std::string kRootDseSearch = "search base= scope=0 attrs=subschemaSubentry";
const std::string kSchemaAttrs =
    " scope=0 attrs=objectClasses,attributeTypes,ldapSyntaxes,nameForms,dITStructureRules";
// A DN that would clear the screen if it reached a terminal raw.
const std::string kHostileDn = "cn=Sub\x1b[2Jschema";
const std::string kSubschemaSearch = "search base=" + kHostileDn + kSchemaAttrs;
const std::string kAnonymousBind = "bind v3 dn= simple password=";

std::vector<SchemaValues> withValues(const std::string& type, std::vector<std::string> values) {
    std::vector<SchemaValues> schema = smallSchema();
    for (SchemaValues& attribute : schema) {
        if (attribute.type == type) {
            for (std::string& value : values) {
                attribute.values.push_back(std::move(value));
            }
        }
    }
    return schema;
}

// Runs the program with libldap's configuration confined to the test and
// short timeouts, and checks what every run against a hostile server must
// show: no terminal control byte and no password on either stream, a
// standard error that stays small, and bounded memory.
class HostileServers : public testing::Test {
  protected:
    RunResult run(const std::vector<std::string>& args, const std::string& input = {},
                  int limitSeconds = 30, int timeout = kTimeout) {
        const std::vector<std::string> env{"LDAPTIMEOUT=" + std::to_string(timeout),
                                           "LDAPNETWORK_TIMEOUT=" + std::to_string(timeout),
                                           "LDAPCONF=" + (work.path() / "ldap.conf").string(),
                                           "HOME=" + work.path().string()};
        const auto started = Clock::now();
        RunResult result =
            runProgram(work.path(), args, {}, nullptr, RunOptions{input, env, limitSeconds});
        elapsed = Clock::now() - started;
        for (const std::string* stream : {&result.out, &result.err}) {
            EXPECT_EQ(stream->find("sekrit"), std::string::npos) << "the password came through";
        }
        // A listing redirected to a file keeps a name's bytes as they are;
        // a diagnostic or an error line never holds a server's raw bytes.
        EXPECT_EQ(result.err.find('\x1b'), std::string::npos) << "a control sequence came through";
        if (result.status != 0) {
            EXPECT_EQ(result.out.find('\x1b'), std::string::npos) << result.out.substr(0, 400);
        }
        // A listing's progress grows with the schema; a failure's note does not.
        if (result.status != 0) {
            EXPECT_LT(result.err.size(), 4096u) << result.err.substr(0, 400);
        }
        EXPECT_LT(result.peakKib, kMemoryBoundKib);
        return result;
    }
    void SetUp() override { work.write("ldap.conf", ""); }

    ScopedTempDir work;
    Clock::duration elapsed{};
};

TEST_F(HostileServers, ServersThatBreakTheProtocolGiveTheLibrarysCodeWithinTheTimeouts) {
    struct Case {
        const char* what;
        HostileBehaviour behaviour;
        bool attachFails;  // else the first reader fails
        std::string code;
        std::string lastRequest;  // the server's log shows the run got this far
    };
    const std::vector<Case> cases{
        {"silent", HostileBehaviour::Silent, true, "-319:fffffec1", kAnonymousBind},
        // libldap drops a connection whose reply is no LDAP message, and
        // reports it as it reports a close: the two cannot be told apart.
        {"not LDAP", HostileBehaviour::NotLdap, true, "-322:fffffebe", kAnonymousBind},
        {"bind only", HostileBehaviour::BindOnly, false, "-319:fffffec1", kRootDseSearch},
        {"closes mid-entry", HostileBehaviour::CloseInSubschema, false, "-322:fffffebe",
         kSubschemaSearch},
        {"entry never ends", HostileBehaviour::TruncatedSubschema, false, "-319:fffffec1",
         kSubschemaSearch},
        {"malformed entry", HostileBehaviour::MalformedEntry, false, "-323:fffffebd",
         kSubschemaSearch},
        {"1 GiB declared", HostileBehaviour::Flood, false, "-323:fffffebd", kSubschemaSearch},
        // Entries of 1 MiB each, as fast as the client takes them: a client
        // that kept them all would pass the memory bound before its timeout.
        {"endless entries", HostileBehaviour::EndlessEntries, false, "-319:fffffec1",
         kSubschemaSearch},
    };
    const std::vector<SchemaValues> padded = withValues(
        "attributeTypes",
        {"( 1.3.6.1.4.1.99999.1.2 NAME 'padded' DESC '" + std::string(1 << 20, 'x') + "' )"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HostileLdapServer server({c.behaviour, kHostileDn, padded});
        ASSERT_TRUE(server.running()) << server.error();
        const RunResult result = run({server.hostPort()});
        EXPECT_EQ(result.status, 1) << result.err;
        EXPECT_EQ(result.out, c.attachFails ? attachFailure(server.hostPort(), c.code)
                                            : "QXDSReadClassDef returned " + c.code + "\n")
            << result.err.substr(0, 400);
        EXPECT_LT(elapsed, kWithinTimeouts);
        if (c.behaviour == HostileBehaviour::Silent) {
            // A TLS port waits like this for a handshake a plain connection never starts.
            EXPECT_NE(result.err.find("(if the port speaks TLS, it needs ldaps://)"),
                      std::string::npos)
                << result.err;
        }
        std::cerr << "[ info     ] " << c.what << ": status " << result.status << ", "
                  << std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()
                  << " ms, peak " << result.peakKib / 1024 << " MiB\n";
        server.stop();
        EXPECT_TRUE(contains(server.log(), c.lastRequest)) << joined(server.log());
    }
}

TEST_F(HostileServers, ARefusedBindShowsNeitherThePasswordNorTheServersControlBytes) {
    HostileLdapServer server({HostileBehaviour::EchoingRefusal, "cn=Subschema", smallSchema()});
    ASSERT_TRUE(server.running()) << server.error();
    const std::string name = server.ldapUrl() + "/????bindname=cn=reader%2cdc=example";
    const RunResult result = run({name}, "sekrit\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, attachFailure(name, "-318:fffffec2"));
    // The reason is still given, on one line.
    EXPECT_NE(result.err.find("Invalid credentials (the server's text is withheld: it contains "
                              "the password)"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    server.stop();
    EXPECT_TRUE(contains(server.log(), "bind v3 dn=cn=reader,dc=example simple password=sekrit"))
        << joined(server.log());
}

TEST_F(HostileServers, AWellBehavedServerIsReadLikeTheSameSchemaInAFile) {
    HostileLdapServer server({HostileBehaviour::Answer, "cn=schema,cn=config", smallSchema()});
    ASSERT_TRUE(server.running()) << server.error();
    const RunResult fromServer = run({server.hostPort()});
    EXPECT_EQ(fromServer.status, 0) << fromServer.out << fromServer.err;

    std::string ldif = "dn: cn=schema,cn=config\n";
    for (const SchemaValues& attribute : smallSchema()) {
        for (const std::string& value : attribute.values) {
            ldif += attribute.type + ": " + value + "\n";
        }
    }
    work.write("same.ldif", ldif);
    const RunResult fromFile = run({"same.ldif"});
    ASSERT_EQ(fromFile.status, 0) << fromFile.out;
    EXPECT_EQ(fromServer.out, fromFile.out);
    EXPECT_NE(fromServer.out.find("\nsiteThing\n"), std::string::npos) << fromServer.out;

    // One bind, the root DSE, the subschema entry it names, and an unbind.
    ASSERT_TRUE(server.waitForLine("closed by client"));
    EXPECT_EQ(server.log(),
              (std::vector<std::string>{"connected", kAnonymousBind, kRootDseSearch,
                                        "search base=cn=schema,cn=config" + kSchemaAttrs, "unbind",
                                        "closed by client"}));
}

TEST_F(HostileServers, HugeNumerousOrBrokenValuesAreListedOrRefusedInBoundedMemory) {
    std::vector<std::string> many;
    many.reserve(100000);
    for (int i = 0; i < 100000; ++i) {
        many.push_back("( 1.3.6.1.4.1.99999.3." + std::to_string(i) + " NAME 'many" +
                       std::to_string(i) + "' SUP name )");
    }
    struct Case {
        const char* what;
        std::vector<SchemaValues> schema;
        std::vector<std::string> args;
        int status;
        std::string out;        // the whole output when the read fails, else a name listed
        std::size_t names = 0;  // definitions listed, when it is read
        std::string note = "does not parse";  // on standard error, when it fails
    };
    std::vector<Case> cases;
    cases.push_back(
        {"50 MB description",
         withValues("attributeTypes", {"( 1.3.6.1.4.1.99999.1.1 NAME 'hugeAttr' DESC '" +
                                       std::string(50 << 20, 'x') + "' )"}),
         {"/A"},
         0,
         "\nhugeAttr\n",
         4});
    cases.push_back({"50 MB that does not parse",
                     withValues("attributeTypes", {std::string(50 << 20, '(')}),
                     {},
                     1,
                     "QXDSReadAttrDef returned -303:fffffed1\n"});
    cases.push_back({"100,000 values",
                     withValues("attributeTypes", std::move(many)),
                     {"/A"},
                     0,
                     "\nmany99999\n",
                     100003});
    cases.push_back({"attribute type does not parse",
                     withValues("attributeTypes", {"( 1.2.3.4 NAME 'broken' SYNTAX"}),
                     {},
                     1,
                     "QXDSReadAttrDef returned -303:fffffed1\n"});
    cases.push_back({"object class does not parse",
                     withValues("objectClasses", {"( 1.2.3.5 NAME 'broken' MUST ( cn $ )"}),
                     {},
                     1,
                     "QXDSReadClassDef returned -303:fffffed1\n"});
    // libldap takes any bytes in a quoted name; the listing, redirected,
    // keeps them as they are.
    cases.push_back({"control bytes in a name",
                     withValues("attributeTypes", {"( 1.2.3.6 NAME 'esc\x1b[2Jname' SUP name )"}),
                     {"/A"},
                     0,
                     "\nesc\x1b[2Jname\n",
                     4});
    // Refused with the library's code when it is handed out, never cut.
    cases.push_back({"a name longer than the library's limit",
                     withValues("attributeTypes",
                                {"( 1.2.3.7 NAME 'a" + std::string(70, 'b') + "' SUP name )"}),
                     {"/A"},
                     1,
                     "QXDSGetAttrDef returned -308:fffffecc\n",
                     0,
                     ""});
    cases.push_back({"syntax does not parse",
                     withValues("ldapSyntaxes", {"not a syntax"}),
                     {"/S"},
                     1,
                     "QXDSReadSyntaxes returned -303:fffffed1\n"});
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        HostileLdapServer server({HostileBehaviour::Answer, "cn=Subschema", std::move(c.schema)});
        ASSERT_TRUE(server.running()) << server.error();
        std::vector<std::string> args{server.hostPort()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        // Generous, as these cases are about what is sent, not when: only a
        // hang is caught here, not slowness (of a sanitizer build, say).
        const RunResult result = run(args, {}, 300, 60);
        EXPECT_EQ(result.status, c.status) << result.out.substr(0, 400) << result.err;
        if (c.status == 0) {
            EXPECT_NE(result.out.find(c.out), std::string::npos);
            EXPECT_EQ(nameLines(result.out), c.names);
        } else {
            EXPECT_EQ(result.out, c.out);
            EXPECT_NE(result.err.find(c.note), std::string::npos) << result.err;
        }
        std::cerr << "[ info     ] " << c.what << ": status " << result.status << ", "
                  << std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()
                  << " ms, peak " << result.peakKib / 1024 << " MiB\n";
    }
}

}  // namespace
