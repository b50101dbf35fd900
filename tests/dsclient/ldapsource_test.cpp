// Directory servers as sources: the bind password, and what the source
// does before it asks a server. The live tests start servers of their own.

#include "dsclient/ldapsource.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dsclient/descriptions.h"
#include "dsclient/password.h"
#include "dscontext/dsclient.h"
#include "support/capture.h"
#include "support/hostileldap.h"
#include "support/slapdserver.h"
#include "toollib/progress.h"

namespace {

using dsclient::Description;
using dsclient::Descriptions;
using dsclient::LdapSource;
using dsclient::SchemaContent;

TEST(BindPassword, TakenOncePerDnFromStandardInputLineByLine) {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const std::string input = "first secret\r\nsecond\nleft for others\n";
    ASSERT_EQ(write(pipeFds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
    close(pipeFds[1]);
    const int savedStdin = dup(STDIN_FILENO);
    dup2(pipeFds[0], STDIN_FILENO);
    close(pipeFds[0]);

    const auto a = dsclient::bindPassword("cn=a");
    const auto again = dsclient::bindPassword("cn=a");
    const auto b = dsclient::bindPassword("cn=b");
    std::string rest(64, '\0');
    rest.resize(static_cast<std::size_t>(read(STDIN_FILENO, rest.data(), rest.size())));

    dup2(savedStdin, STDIN_FILENO);
    close(savedStdin);
    EXPECT_EQ(a, "first secret");
    EXPECT_EQ(again, "first secret") << "asked once per DN";
    EXPECT_EQ(b, "second");
    EXPECT_EQ(rest, "left for others\n") << "nothing past the line is taken";
    EXPECT_EQ(dsclient::bindPassword("cn=c"), std::nullopt) << "standard input at its end";
}

// A child asks for a password on a pseudo-terminal of its own and is ended
// by a signal at the prompt: the terminal has its echo back, and the child
// ended by that signal as it would have without the prompt.
TEST(BindPassword, ASignalAtThePromptLeavesTheTerminalsEchoOn) {
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(strsignal(signal));
        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(grantpt(master), 0);
        ASSERT_EQ(unlockpt(master), 0);
        const std::string slavePath = ptsname(master);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            setsid();  // the terminal opened next becomes the child's own
            const int slave = open(slavePath.c_str(), O_RDWR);
            dup2(slave, STDIN_FILENO);
            dsclient::bindPassword("cn=admin");
            _exit(0);
        }
        std::string seen;
        char buf[256];
        for (ssize_t got = 0;
             seen.find(": ") == std::string::npos && (got = read(master, buf, sizeof buf)) > 0;) {
            seen.append(buf, static_cast<std::size_t>(got));
        }
        EXPECT_EQ(seen, "Password for cn=admin: ");
        const int slave = open(slavePath.c_str(), O_RDWR | O_NOCTTY);
        termios mode{};
        ASSERT_EQ(tcgetattr(slave, &mode), 0);
        EXPECT_EQ(mode.c_lflag & ECHO, 0u) << "echo is off at the prompt";

        kill(pid, signal);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        ASSERT_EQ(tcgetattr(slave, &mode), 0);
        EXPECT_NE(mode.c_lflag & ECHO, 0u) << "echo is back";
        close(slave);
        close(master);
    }
}

// A loopback port that refuses connections: one the kernel handed out and
// nobody listens on any more.
int closedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}

TEST(LdapSource, GatheredSpinnerTurnsAreWrittenBeforeTheServerIsAsked) {
    const int port = closedPort();
    ASSERT_NE(port, 0);
    StreamCapture err(std::cerr);
    SpinnerBatch batch;
    whirlyGig();
    dsclient::LdapSource source("127.0.0.1:" + std::to_string(port));
    std::string diagnostic;
    EXPECT_EQ(source.open(diagnostic), QXERR_UNREACHABLE) << diagnostic;
    EXPECT_EQ(err.text().size(), 2u) << "the turn went out while the batch still lasts";
}

// One description of each kind a subschema entry can hold, with the name of
// the attribute that holds it, in the order QXDSReadDescriptions hands out.
std::vector<SchemaValues> everyKind() {
    return {
        {"ldapSyntaxes", {"( 1.3.6.1.4.1.1466.115.121.1.15 DESC 'Directory String' )"}},
        {"matchingRules",
         {"( 2.5.13.2 NAME 'caseIgnoreMatch' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )"}},
        {"matchingRuleUse", {"( 2.5.13.2 APPLIES cn )"}},
        {"attributeTypes", {"( 2.5.4.3 NAME 'cn' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )"}},
        {"objectClasses", {"( 2.5.6.6 NAME 'person' MUST cn )"}},
        {"dITContentRules", {"( 2.5.6.6 MAY cn )"}},
        {"dITStructureRules", {"( 1 FORM personForm )"}},
        {"nameForms", {"( 1.9.1 NAME 'personForm' OC person MUST cn )"}},
    };
}

std::vector<std::vector<Description>*> byKind(Descriptions& d) {
    return {&d.ldapSyntaxes,  &d.matchingRules, &d.matchingRuleUse, &d.attributeTypes,
            &d.objectClasses, &d.contentRules,  &d.structureRules,  &d.nameForms};
}

// A whole-schema read asks for all eight attributes and keeps each value
// under its kind; the listing's read asks for its five as it always has.
TEST(LdapSource, AWholeSchemaReadAsksForEveryKind) {
    HostileScript script;
    script.schema = everyKind();
    HostileLdapServer server(script);
    ASSERT_TRUE(server.running()) << server.error();
    LdapSource source(server.ldapUrl());
    std::string diagnostic;
    ASSERT_EQ(source.open(diagnostic), 0) << diagnostic;
    Descriptions read;
    ASSERT_EQ(source.fetchDescriptions(read, diagnostic), 0) << diagnostic;
    const std::vector<SchemaValues> sent = everyKind();
    const auto kinds = byKind(read);
    for (std::size_t kind = 0; kind < sent.size(); ++kind) {
        ASSERT_EQ(kinds[kind]->size(), 1u) << sent[kind].type;
        EXPECT_EQ(kinds[kind]->front().text, sent[kind].values.front());
        EXPECT_EQ(kinds[kind]->front().origin,
                  server.hostPort() + " " + sent[kind].type + " value 1");
    }
    SchemaContent content;
    ASSERT_EQ(source.fetch(content, diagnostic), 0) << diagnostic;
    const std::string search =
        "search base=cn=Subschema scope=0 attrs=objectClasses,"
        "attributeTypes,ldapSyntaxes,nameForms,dITStructureRules";
    EXPECT_TRUE(server.waitForLine(search + ",matchingRules,matchingRuleUse,dITContentRules"));
    EXPECT_TRUE(server.waitForLine(search));
}

// slapd publishes syntaxes, matching rules and their uses of its own, and
// the content rules of its schema files; it has no name forms or structure
// rules to give.
TEST(LdapSource, AWholeSchemaReadOfSlapd) {
    SlapdOptions options;
    options.extraSchemaText = {
        "ditcontentrule ( 2.5.6.6 NAME 'personRule' DESC 'people' AUX uidObject "
        "MAY description )\n"};
    SlapdServer server(options);
    ASSERT_TRUE(server.running()) << server.error();
    LdapSource source(server.ldapUrl());
    std::string diagnostic;
    ASSERT_EQ(source.open(diagnostic), 0) << diagnostic;
    Descriptions read;
    ASSERT_EQ(source.fetchDescriptions(read, diagnostic), 0) << diagnostic;
    const auto kinds = byKind(read);
    for (std::size_t kind = 0; kind < 6; ++kind) {
        EXPECT_FALSE(kinds[kind]->empty()) << "kind " << kind;
    }
    EXPECT_TRUE(read.nameForms.empty());
    EXPECT_TRUE(read.structureRules.empty());
    ASSERT_EQ(read.contentRules.size(), 1u);
    EXPECT_NE(read.contentRules[0].text.find("'personRule'"), std::string::npos);
    EXPECT_EQ(read.matchingRuleUse.front().origin,
              "127.0.0.1:" + std::to_string(server.port()) + " matchingRuleUse value 1");
    EXPECT_EQ(read.entries, std::vector<std::string>{"cn=Subschema"});
}

}  // namespace
