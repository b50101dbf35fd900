#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/tempdir.h"

// A program started by a test, reading /dev/null and writing both output
// streams to one file. It is stopped and reaped when the object goes. The
// kernel kills it if the thread that started it ends first (a crashed or
// killed test leaves no server behind), so start it from the test's thread.
class ChildProcess {
  public:
    ChildProcess() = default;
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Runs argv[0], which must be a path, not a name to look up. With
    // `ownHostName`, the child gets a host name of its own ("localhost",
    // where the system allows it), so that a server asking for its own fully
    // qualified name finds it in /etc/hosts instead of asking a name server.
    // False (and `error()` says why) when nothing could be started.
    bool start(const std::vector<std::string>& argv, const std::filesystem::path& output,
               bool ownHostName = false);

    // The exit status (128 + N for signal N) once the program has ended;
    // it is reaped on the way, so this never reports a zombie as alive.
    std::optional<int> poll();
    std::optional<int> waitFor(std::chrono::milliseconds limit);

    // SIGTERM, up to `grace` to end, then SIGKILL; idempotent.
    void stop(std::chrono::milliseconds grace = std::chrono::seconds(5));

    // The process id until the program has ended and been reaped, else 0.
    pid_t pid() const { return ended_ ? 0 : pid_; }
    bool started() const { return pid_ > 0; }
    std::string error() const { return error_; }

  private:
    pid_t pid_ = 0;
    bool ended_ = true;
    int status_ = -1;
    std::string error_;
};

// Runs a program to its end, at most `limit` long (then it is killed and the
// result is -1), and returns its exit status with its output in `output`.
int runBounded(const std::vector<std::string>& argv, const std::filesystem::path& logFile,
               std::chrono::milliseconds limit, std::string* output = nullptr);

struct SlapdOptions {
    // Names of the files /etc/ldap/schema/NAME.schema, included in order.
    std::vector<std::string> schemas{"core"};
    // More schema files, given by their text; included after `schemas`.
    std::vector<std::string> extraSchemaText;
    // Also listens on ldaps:// and offers StartTLS on ldap://, with a server
    // certificate for IP:127.0.0.1 and DNS:localhost signed by caFile().
    bool tls = false;
    // With `tls`, how the server's certificate fails a client's check, if
    // at all: dated before or after today, or issued (by the CA of caFile())
    // for DNS:other.example and nothing else. The readiness probe of a
    // server with a flawed certificate does not check it.
    enum class Certificate { valid, expired, notYetValid, otherHost };
    Certificate certificate = Certificate::valid;
    // Also listens on ldapi:// in the server's folder. A SASL EXTERNAL bind
    // there by the user running the tests is mapped to rootDN.
    bool ldapi = false;
    std::string suffix = "dc=example,dc=com";
    // Empty for a server without a root account (and without the EXTERNAL
    // mapping); an empty rootPassword leaves simple binds as rootDN failing.
    std::string rootDN = "cn=admin,dc=example,dc=com";
    std::string rootPassword = "secret";
    // Access directives written as they are, one per line, ahead of the
    // database: they govern the root DSE and the subschema entry too. The
    // root account is never restricted by them.
    std::string access = "access to * by * read";
    // "mdb" or "ldif". The backend adds its own definitions to the published
    // schema, so servers whose schemas are compared should share it.
    std::string backend = "mdb";
    // Entries loaded before the server starts, as LDIF text.
    std::string ldif;
};

// A private slapd on 127.0.0.1 (and optionally a socket in its own folder),
// on ports nobody else holds, with its configuration, database and test
// certificates in a temporary folder removed when the object goes. The
// constructor returns once the server answers a root DSE search on its own
// listener, or has given up (at most about 15 s); running() tells which.
// Not for use from several threads at once.
class SlapdServer {
  public:
    explicit SlapdServer(SlapdOptions options = {});
    ~SlapdServer();
    SlapdServer(const SlapdServer&) = delete;
    SlapdServer& operator=(const SlapdServer&) = delete;

    // Started and still alive.
    bool running() const;
    // Why the server did not start: the failed step with slapd's or
    // openssl's own words. Empty when it started.
    std::string error() const { return error_; }
    // What slapd has written so far.
    std::string log() const;

    // The ports keep their values after stop(), so a test can check that
    // they refuse connections. tlsPort() is 0 without `tls`.
    int port() const { return port_; }
    int tlsPort() const { return tlsPort_; }
    std::string ldapUrl() const;    // ldap://127.0.0.1:PORT
    std::string ldapsUrl() const;   // ldaps://127.0.0.1:PORT, empty without `tls`
    std::string ldapiUrl() const;   // ldapi://%2F...%2Fslapd.sock, empty without `ldapi`
    std::string caFile() const;     // PEM of the CA that signed the server's certificate
    std::string badCaFile() const;  // PEM of another CA, which does not verify the server
    // 0 unless the server process exists (it has not ended and been reaped).
    pid_t pid() const { return slapd_.pid(); }
    const SlapdOptions& options() const { return options_; }
    const std::filesystem::path& directory() const { return dir_.path(); }

    // Stops the server now; idempotent. Afterwards its ports refuse
    // connections and its process is gone.
    void stop();

  private:
    bool prepare();
    bool makeCertificates();
    std::vector<std::string> signServerCertificate(const std::string& openssl,
                                                   const std::string& cnf) const;
    std::string configuration() const;
    bool launch(std::chrono::steady_clock::time_point deadline, bool& retry);

    SlapdOptions options_;
    ScopedTempDir dir_;
    std::string error_;
    int port_ = 0;
    int tlsPort_ = 0;
    // Asking whether it still runs reaps it once it has ended.
    mutable ChildProcess slapd_;
};
