#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// How the server treats a client, from the first request on. Every
// behaviour reads and logs what the client sends; they differ in what they
// write back.
enum class HostileBehaviour {
    // Answers the bind, the root DSE and the subschema entry as a server
    // should, with the script's values: the control case.
    Answer,
    // Accepts the connection and never writes a byte.
    Silent,
    // Answers the bind, never a search.
    BindOnly,
    // Answers the bind and the root DSE; sends the first half of the
    // subschema entry's message, then closes the connection.
    CloseInSubschema,
    // As CloseInSubschema, but the connection stays open: the message never
    // ends.
    TruncatedSubschema,
    // Sends a subschema entry that is a well-framed message whose attribute
    // list does not decode (a value set longer than the message).
    MalformedEntry,
    // Answers the bind with a BER element that is no LDAP message.
    NotLdap,
    // Starts the subschema entry with a header that declares 1 GiB and sends
    // filler for as long as the client reads.
    Flood,
    // Sends the subschema entry again and again, never the end of the search.
    EndlessEntries,
    // Refuses the bind with a diagnostic message that echoes the password it
    // was sent, carries terminal control sequences and is 100,000 bytes long.
    EchoingRefusal,
};

// The values of one attribute of the subschema entry.
struct SchemaValues {
    std::string type;  // as the server names it, e.g. "attributeTypes"
    std::vector<std::string> values;
};

struct HostileScript {
    HostileBehaviour behaviour = HostileBehaviour::Answer;
    // What the root DSE names as its subschemaSubentry.
    std::string subschemaDn = "cn=Subschema";
    // The subschema entry's attributes, sent in this order whatever the
    // client asked for.
    std::vector<SchemaValues> schema;
};

// A small, valid schema: two syntaxes, three attribute types, two classes.
std::vector<SchemaValues> smallSchema();

// A scripted LDAP server on 127.0.0.1, on a port nobody else holds, in a
// child process of its own. Connections are served at the same time, each by
// the script. The child ends when the object goes (it is killed and reaped),
// when its lifetime is over, or when the thread that started it ends; no
// loop in it waits past its lifetime. Start and use it from the test's thread.
class HostileLdapServer {
  public:
    // The child works on its own copy of `script`.
    explicit HostileLdapServer(const HostileScript& script,
                               std::chrono::seconds lifetime = std::chrono::seconds(60));
    ~HostileLdapServer();
    HostileLdapServer(const HostileLdapServer&) = delete;
    HostileLdapServer& operator=(const HostileLdapServer&) = delete;

    // Started, and not yet stopped.
    bool running() const { return pid_ > 0; }
    std::string error() const { return error_; }
    int port() const { return port_; }
    std::string hostPort() const;  // 127.0.0.1:PORT
    std::string ldapUrl() const;   // ldap://127.0.0.1:PORT

    // What the server has seen so far, one line for each event:
    //   "connected", "bind v3 dn=DN simple password=TEXT" (or "sasl MECH"),
    //   "search base=DN scope=N attrs=A,B", "unbind", "abandon",
    //   "other TAG", "closed by client", "closed by server".
    std::vector<std::string> log();
    // Waits, at most `limit`, until the log holds `line`.
    bool waitForLine(std::string_view line,
                     std::chrono::milliseconds limit = std::chrono::seconds(5));

    // Kills the server and reaps it; idempotent. Its port refuses
    // connections afterwards.
    void stop();

  private:
    void drainLog();

    pid_t pid_ = 0;
    int port_ = 0;
    int logFd_ = -1;
    std::string pending_;  // the start of a log line not ended yet
    std::vector<std::string> log_;
    std::string error_;
};
