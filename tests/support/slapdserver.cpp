#include "support/slapdserver.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ldap.h>
#include <netinet/in.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

constexpr const char* kSlapd = "/usr/sbin/slapd";
constexpr const char* kSchemaDir = "/etc/ldap/schema";
constexpr const char* kModuleDir = "/usr/lib/ldap";
// Covers every start attempt together; a healthy start takes a fraction of a second.
constexpr auto kStartLimit = 15s;
// Each helper program (openssl, the configuration check, loading entries).
constexpr auto kToolLimit = 10s;
// Another process can take a port between our choosing it and slapd binding it.
constexpr int kStartAttempts = 5;
// One connection attempt or search of the readiness probe.
constexpr timeval kProbeLimit{2, 0};

std::string readText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool writeText(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return static_cast<bool>(out);
}

// A value as one slapd.conf token: the parser takes a backslash as "the
// next character literally", inside quotes as well.
std::string quoted(const std::string& value) {
    std::string out = "\"";
    for (const char c : value) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

std::string percentEncoded(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : text) {
        if (std::isalnum(c) != 0 || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}

bool hasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// A loopback TCP socket bound to a port the kernel picked; the port stays
// taken while the socket is open, so two of them never share one.
int reservePort(std::vector<std::unique_ptr<FileDescriptor>>& held) {
    auto socketFd =
        std::make_unique<FileDescriptor>(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (socketFd->get() < 0) {
        return 0;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    if (bind(socketFd->get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        getsockname(socketFd->get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    held.push_back(std::move(socketFd));
    return ntohs(address.sin_port);
}

std::string programOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const fs::path candidate = fs::path(dir.empty() ? "." : dir) / name;
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate.string();
        }
    }
    return {};
}

struct LdapUnbind {
    void operator()(LDAP* ld) const { ldap_unbind_ext_s(ld, nullptr, nullptr); }
};
struct LdapMessageFree {
    void operator()(LDAPMessage* message) const { ldap_msgfree(message); }
};

struct ProbeResult {
    bool answered = false;
    int code = LDAP_SUCCESS;
    std::string message;
};

// Any LDAP result to a root DSE search means the server is serving, even a
// refusal by the access rules under test; only transport failures do not.
ProbeResult probeRootDse(const std::string& url, const std::string& caFile,
                         bool flawedCertificate = false) {
    ProbeResult result;
    LDAP* raw = nullptr;
    result.code = ldap_initialize(&raw, url.c_str());
    const std::unique_ptr<LDAP, LdapUnbind> ld(raw);
    if (result.code != LDAP_SUCCESS) {
        result.message = ldap_err2string(result.code);
        return result;
    }
    const int version = LDAP_VERSION3;
    ldap_set_option(ld.get(), LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(ld.get(), LDAP_OPT_NETWORK_TIMEOUT, &kProbeLimit);
    ldap_set_option(ld.get(), LDAP_OPT_TIMEOUT, &kProbeLimit);
    ldap_set_option(ld.get(), LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    if (!caFile.empty()) {
        // A certificate made to fail the check is served all the same.
        const int demand = flawedCertificate ? LDAP_OPT_X_TLS_NEVER : LDAP_OPT_X_TLS_DEMAND;
        const int client = 0;
        ldap_set_option(ld.get(), LDAP_OPT_X_TLS_CACERTFILE, caFile.c_str());
        ldap_set_option(ld.get(), LDAP_OPT_X_TLS_REQUIRE_CERT, &demand);
        ldap_set_option(ld.get(), LDAP_OPT_X_TLS_NEWCTX, &client);
    }
    char noAttributes[] = "1.1";
    char* attributes[] = {noAttributes, nullptr};
    timeval limit = kProbeLimit;
    LDAPMessage* rawResult = nullptr;
    result.code = ldap_search_ext_s(ld.get(), "", LDAP_SCOPE_BASE, "(objectClass=*)", attributes, 0,
                                    nullptr, nullptr, &limit, 0, &rawResult);
    const std::unique_ptr<LDAPMessage, LdapMessageFree> reply(rawResult);
    result.answered = result.code != LDAP_SERVER_DOWN && result.code != LDAP_CONNECT_ERROR &&
                      result.code != LDAP_TIMEOUT && result.code != LDAP_UNAVAILABLE &&
                      result.code != LDAP_BUSY;
    result.message = ldap_err2string(result.code);
    char* diagnostic = nullptr;
    if (ldap_get_option(ld.get(), LDAP_OPT_DIAGNOSTIC_MESSAGE, &diagnostic) == LDAP_OPT_SUCCESS &&
        diagnostic != nullptr) {
        if (*diagnostic != '\0') {
            result.message += std::string(" (") + diagnostic + ")";
        }
        ldap_memfree(diagnostic);
    }
    return result;
}

int decodedStatus(int waitStatus) {
    if (WIFEXITED(waitStatus)) {
        return WEXITSTATUS(waitStatus);
    }
    return WIFSIGNALED(waitStatus) ? 128 + WTERMSIG(waitStatus) : -1;
}

}  // namespace

bool ChildProcess::start(const std::vector<std::string>& argv, const fs::path& output,
                         bool ownHostName) {
    stop();
    error_.clear();
    if (argv.empty()) {
        error_ = "no program to run";
        return false;
    }
    // Everything the child needs is made here: between fork and exec it may
    // only make system calls, as other threads could hold the allocator's locks.
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    const std::string outputPath = output.string();
    rlimit files{};
    const int highestFd = getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY
                              ? static_cast<int>(std::min<rlim_t>(files.rlim_cur, 65536))
                              : 65536;
    const pid_t parent = getpid();

    const pid_t pid = fork();
    if (pid < 0) {
        error_ = std::string("fork: ") + std::strerror(errno);
        return false;
    }
    if (pid == 0) {
        if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) {
            _exit(127);
        }
        if (ownHostName && unshare(CLONE_NEWUTS) == 0) {
            sethostname("localhost", 9);
        }
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(out, 2) < 0) {
            _exit(127);
        }
        if (close_range(3, ~0U, 0) != 0) {
            for (int fd = 3; fd < highestFd; ++fd) {
                close(fd);
            }
        }
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    pid_ = pid;
    ended_ = false;
    status_ = -1;
    return true;
}

std::optional<int> ChildProcess::poll() {
    if (pid_ <= 0) {
        return std::nullopt;
    }
    if (!ended_) {
        int waitStatus = 0;
        const pid_t reaped = waitpid(pid_, &waitStatus, WNOHANG);
        if (reaped == pid_) {
            ended_ = true;
            status_ = decodedStatus(waitStatus);
        } else if (reaped < 0 && errno == ECHILD) {
            // Someone else reaped it (SIGCHLD ignored, say): gone all the same.
            ended_ = true;
        }
    }
    return ended_ ? std::optional<int>(status_) : std::nullopt;
}

std::optional<int> ChildProcess::waitFor(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (true) {
        if (auto status = poll(); status || pid_ <= 0) {
            return status;
        }
        if (Clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(2ms);
    }
}

void ChildProcess::stop(std::chrono::milliseconds grace) {
    if (pid_ <= 0 || poll()) {
        return;
    }
    // Not reaped yet, so the id cannot have passed to another process.
    kill(pid_, SIGTERM);
    if (waitFor(grace)) {
        return;
    }
    kill(pid_, SIGKILL);
    if (!waitFor(5s)) {
        error_ = "process " + std::to_string(pid_) + " survived SIGKILL for 5 s";
    }
}

int runBounded(const std::vector<std::string>& argv, const fs::path& logFile,
               std::chrono::milliseconds limit, std::string* output) {
    ChildProcess child;
    int status = -1;
    if (child.start(argv, logFile)) {
        const std::optional<int> ended = child.waitFor(limit);
        child.stop(1s);
        status = ended.value_or(-1);
    }
    if (output != nullptr) {
        *output = child.error().empty() ? readText(logFile) : child.error();
        if (status == -1 && child.error().empty()) {
            *output += "\n(stopped after " + std::to_string(limit.count()) + " ms)";
        }
    }
    return status;
}

SlapdServer::SlapdServer(SlapdOptions options) : options_(std::move(options)) {
    if (!prepare()) {
        return;
    }
    const auto deadline = Clock::now() + kStartLimit;
    for (int attempt = 1; attempt <= kStartAttempts && Clock::now() < deadline; ++attempt) {
        bool retry = false;
        if (launch(deadline, retry)) {
            error_.clear();
            return;
        }
        if (!retry) {
            return;
        }
    }
    error_ = "slapd found no free port in " + std::to_string(kStartAttempts) +
             " attempts; last: " + error_;
}

SlapdServer::~SlapdServer() {
    stop();
}

bool SlapdServer::prepare() {
    const SlapdOptions& o = options_;
    if (dir_.path().empty() || !fs::is_directory(dir_.path())) {
        error_ = "could not make a temporary folder";
        return false;
    }
    if (o.suffix.empty()) {
        error_ = "the suffix is empty";
        return false;
    }
    // A line break would let a value smuggle its own configuration lines.
    if (hasLineBreak(o.suffix) || hasLineBreak(o.rootDN) || hasLineBreak(o.rootPassword)) {
        error_ = "suffix, rootDN and rootPassword must be single lines";
        return false;
    }
    if (o.backend != "mdb" && o.backend != "ldif") {
        error_ = "unknown backend \"" + o.backend + "\" (mdb or ldif)";
        return false;
    }
    for (const std::string& name : o.schemas) {
        const bool plainName = !name.empty() && name[0] != '.' &&
                               name.find_first_not_of(
                                   "abcdefghijklmnopqrstuvwxyz"
                                   "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._-") == std::string::npos;
        if (!plainName || !fs::exists(fs::path(kSchemaDir) / (name + ".schema"))) {
            error_ = "no schema file " + (fs::path(kSchemaDir) / (name + ".schema")).string();
            return false;
        }
    }
    if (o.ldapi) {
        // The socket's path must fit sockaddr_un.sun_path, terminator included.
        const std::string socketPath = (dir_.path() / "slapd.sock").string();
        if (socketPath.size() >= sizeof(sockaddr_un{}.sun_path)) {
            error_ = "socket path too long for ldapi: " + socketPath;
            return false;
        }
    }
    std::error_code ec;
    fs::create_directory(dir_.path() / "db", ec);
    if (ec) {
        error_ = "could not make the database folder: " + ec.message();
        return false;
    }
    for (std::size_t i = 0; i < o.extraSchemaText.size(); ++i) {
        const fs::path file = dir_.path() / ("extra-" + std::to_string(i + 1) + ".schema");
        if (!writeText(file, o.extraSchemaText[i])) {
            error_ = "could not write " + file.string();
            return false;
        }
    }
    if (o.tls && !makeCertificates()) {
        return false;
    }
    const fs::path conf = dir_.path() / "slapd.conf";
    if (!writeText(conf, configuration())) {
        error_ = "could not write " + conf.string();
        return false;
    }
    // A fresh database folder fails the check unless -u skips opening it.
    std::string output;
    int status = runBounded({kSlapd, "-Tt", "-u", "-f", conf.string()}, dir_.path() / "check.log",
                            kToolLimit, &output);
    if (status != 0) {
        error_ =
            "slapd rejected its configuration (status " + std::to_string(status) + "):\n" + output;
        return false;
    }
    if (!o.ldif.empty()) {
        const fs::path entries = dir_.path() / "entries.ldif";
        if (!writeText(entries, o.ldif)) {
            error_ = "could not write " + entries.string();
            return false;
        }
        status = runBounded({kSlapd, "-Ta", "-q", "-f", conf.string(), "-l", entries.string()},
                            dir_.path() / "add.log", kToolLimit, &output);
        if (status != 0) {
            error_ = "slapd could not load the entries (status " + std::to_string(status) + "):\n" +
                     output;
            return false;
        }
    }
    return true;
}

bool SlapdServer::makeCertificates() {
    const std::string openssl = programOnPath("openssl");
    if (openssl.empty()) {
        error_ = "no openssl program on PATH";
        return false;
    }
    const fs::path& d = dir_.path();
    const bool otherHost = options_.certificate == SlapdOptions::Certificate::otherHost;
    // The server certificate names both forms a test may dial; the client
    // library checks the name in the URL against them.
    const std::string config =
        "[req]\n"
        "distinguished_name = dn\n"
        "prompt = no\n"
        "[dn]\n"
        "CN = unused\n"
        "[ca_ext]\n"
        "basicConstraints = critical, CA:TRUE\n"
        "keyUsage = critical, keyCertSign, cRLSign\n"
        "subjectKeyIdentifier = hash\n"
        "[server_ext]\n"
        "basicConstraints = critical, CA:FALSE\n"
        "keyUsage = critical, digitalSignature\n"
        "extendedKeyUsage = serverAuth\n"
        "subjectAltName = IP:127.0.0.1, DNS:localhost\n"
        "subjectKeyIdentifier = hash\n"
        "authorityKeyIdentifier = keyid\n"
        "[other_host_ext]\n"
        "basicConstraints = critical, CA:FALSE\n"
        "keyUsage = critical, digitalSignature\n"
        "extendedKeyUsage = serverAuth\n"
        "subjectAltName = DNS:other.example\n"
        "subjectKeyIdentifier = hash\n"
        "authorityKeyIdentifier = keyid\n"
        // `openssl ca` alone takes any validity dates, and it keeps a database.
        "[dated_ca]\n"
        "dir = " +
        d.string() +
        "\n"
        "database = $dir/index.txt\n"
        "serial = $dir/serial\n"
        "new_certs_dir = $dir\n"
        "default_md = sha256\n"
        "policy = any_name\n"
        "[any_name]\n"
        "commonName = supplied\n";
    const std::string cnf = (d / "openssl.cnf").string();
    if (!writeText(cnf, config) || !writeText(d / "index.txt", "") ||
        !writeText(d / "serial", "10\n")) {
        error_ = "could not write " + cnf + " or its CA database";
        return false;
    }
    // EC keys: RSA generation would cost more than the whole server start.
    const std::vector<std::string> newKey = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256",
                                             "-nodes"};
    auto withKey = [&](std::vector<std::string> head, std::vector<std::string> tail) {
        head.insert(head.end(), newKey.begin(), newKey.end());
        head.insert(head.end(), tail.begin(), tail.end());
        return head;
    };
    const std::vector<std::vector<std::string>> steps = {
        withKey({openssl, "req", "-x509", "-config", cnf, "-extensions", "ca_ext"},
                {"-keyout", (d / "ca.key").string(), "-out", (d / "ca.pem").string(), "-days", "7",
                 "-subj", "/CN=Test CA"}),
        withKey({openssl, "req", "-x509", "-config", cnf, "-extensions", "ca_ext"},
                {"-keyout", (d / "other-ca.key").string(), "-out", (d / "other-ca.pem").string(),
                 "-days", "7", "-subj", "/CN=Other test CA"}),
        withKey({openssl, "req", "-new", "-config", cnf},
                {"-keyout", (d / "server.key").string(), "-out", (d / "server.csr").string(),
                 "-subj", otherHost ? "/CN=other.example" : "/CN=127.0.0.1"}),
        signServerCertificate(openssl, cnf),
    };
    for (const std::vector<std::string>& step : steps) {
        std::string output;
        const int status = runBounded(step, d / "openssl.log", kToolLimit, &output);
        if (status != 0) {
            error_ = "openssl " + step[1] + " failed (status " + std::to_string(status) + "):\n" +
                     output;
            return false;
        }
    }
    return true;
}

// The server's certificate, signed by the test CA, flawed as the options say.
std::vector<std::string> SlapdServer::signServerCertificate(const std::string& openssl,
                                                            const std::string& cnf) const {
    using Certificate = SlapdOptions::Certificate;
    const fs::path& d = dir_.path();
    const std::string ca = (d / "ca.pem").string();
    const std::string caKey = (d / "ca.key").string();
    const std::string csr = (d / "server.csr").string();
    const std::string out = (d / "server.pem").string();
    const Certificate kind = options_.certificate;
    if (kind == Certificate::expired || kind == Certificate::notYetValid) {
        const bool past = kind == Certificate::expired;
        const std::string start = past ? "20200101000000Z" : "20990101000000Z";
        const std::string end = past ? "20200201000000Z" : "20990201000000Z";
        return {openssl,      "ca",      "-batch",     "-config",  cnf,        "-name",
                "dated_ca",   "-cert",   ca,           "-keyfile", caKey,      "-extensions",
                "server_ext", "-notext", "-startdate", start,      "-enddate", end,
                "-in",        csr,       "-out",       out};
    }
    const std::string extensions = kind == Certificate::otherHost ? "other_host_ext" : "server_ext";
    return {openssl,  "x509",        "-req",        "-in",  csr,     "-CA", ca,
            "-CAkey", caKey,         "-set_serial", "2",    "-days", "7",   "-extfile",
            cnf,      "-extensions", extensions,    "-out", out};
}

std::string SlapdServer::configuration() const {
    const SlapdOptions& o = options_;
    const fs::path& d = dir_.path();
    std::string conf = "# Every file this server writes lies in this folder.\n";
    for (const std::string& name : o.schemas) {
        conf += "include " + quoted((fs::path(kSchemaDir) / (name + ".schema")).string()) + "\n";
    }
    for (std::size_t i = 0; i < o.extraSchemaText.size(); ++i) {
        conf += "include " + quoted((d / ("extra-" + std::to_string(i + 1) + ".schema")).string()) +
                "\n";
    }
    conf += "pidfile " + quoted((d / "slapd.pid").string()) + "\n";
    conf += "argsfile " + quoted((d / "slapd.args").string()) + "\n";
    conf += "loglevel none\n";
    if (o.backend == "mdb") {
        conf += "modulepath " + quoted(kModuleDir) + "\n";
        conf += "moduleload back_mdb\n";
    }
    if (o.tls) {
        conf += "TLSCACertificateFile " + quoted((d / "ca.pem").string()) + "\n";
        conf += "TLSCertificateFile " + quoted((d / "server.pem").string()) + "\n";
        conf += "TLSCertificateKeyFile " + quoted((d / "server.key").string()) + "\n";
    }
    if (!o.rootDN.empty()) {
        // The identity slapd gives a peer on its local socket; only the user
        // running the tests becomes the root account.
        const std::string peer = "gidNumber=" + std::to_string(getgid()) +
                                 "\\+uidNumber=" + std::to_string(getuid()) +
                                 ",cn=peercred,cn=external,cn=auth";
        conf += "authz-regexp " + quoted(peer) + " " + quoted(o.rootDN) + "\n";
    }
    conf += o.access + "\n";
    conf += "database " + o.backend + "\n";
    conf += "suffix " + quoted(o.suffix) + "\n";
    if (!o.rootDN.empty()) {
        conf += "rootdn " + quoted(o.rootDN) + "\n";
        if (!o.rootPassword.empty()) {
            conf += "rootpw " + quoted(o.rootPassword) + "\n";
        }
    }
    conf += "directory " + quoted((d / "db").string()) + "\n";
    return conf;
}

bool SlapdServer::launch(Clock::time_point deadline, bool& retry) {
    retry = false;
    {
        std::vector<std::unique_ptr<FileDescriptor>> held;
        port_ = reservePort(held);
        tlsPort_ = options_.tls ? reservePort(held) : 0;
        if (port_ == 0 || (options_.tls && tlsPort_ == 0)) {
            error_ = std::string("no free loopback port: ") + std::strerror(errno);
            return false;
        }
    }
    std::string urls = ldapUrl() + "/";
    if (options_.tls) {
        urls += " " + ldapsUrl() + "/";
    }
    if (options_.ldapi) {
        urls += " " + ldapiUrl() + "/";
    }
    const fs::path pidFile = dir_.path() / "slapd.pid";
    std::error_code ec;
    fs::remove(pidFile, ec);
    // "-d none" keeps slapd in the foreground, so the process we wait for is
    // the server itself, and still writes its error messages.
    if (!slapd_.start(
            {kSlapd, "-d", "none", "-f", (dir_.path() / "slapd.conf").string(), "-h", urls},
            dir_.path() / "slapd.log", true)) {
        error_ = "could not start slapd: " + slapd_.error();
        return false;
    }
    const std::string pidText = std::to_string(slapd_.pid());
    ProbeResult probe;
    bool ready = false;
    while (!ready && Clock::now() < deadline) {
        if (const std::optional<int> status = slapd_.poll()) {
            const std::string text = log();
            retry = text.find("Address already in use") != std::string::npos;
            error_ = "slapd ended with status " + std::to_string(*status) + " before answering:\n" +
                     text;
            return false;
        }
        // slapd writes its pid file only after binding every listener, so
        // from then on an answer on the port comes from this server.
        const std::string written = readText(pidFile);
        if (written.substr(0, written.find_first_of("\r\n")) == pidText) {
            probe = probeRootDse(ldapUrl(), "");
            // Still alive after answering: the listener was not another's.
            ready = probe.answered && !slapd_.poll();
        }
        if (!ready) {
            std::this_thread::sleep_for(5ms);
        }
    }
    if (!ready) {
        error_ =
            "slapd did not answer on " + ldapUrl() + " within " +
            std::to_string(std::chrono::duration_cast<std::chrono::seconds>(kStartLimit).count()) +
            " s (" + probe.message + "):\n" + log();
        slapd_.stop();
        return false;
    }
    if (options_.tls) {
        // The plain listener answers, so a failure here is the certificates.
        const bool flawed = options_.certificate != SlapdOptions::Certificate::valid;
        probe = probeRootDse(ldapsUrl(), caFile(), flawed);
        if (!probe.answered || probe.code != LDAP_SUCCESS) {
            error_ =
                "TLS root DSE search on " + ldapsUrl() + " failed: " + probe.message + "\n" + log();
            slapd_.stop();
            return false;
        }
    }
    return true;
}

bool SlapdServer::running() const {
    return slapd_.started() && !slapd_.poll();
}

std::string SlapdServer::log() const {
    return readText(dir_.path() / "slapd.log");
}

std::string SlapdServer::ldapUrl() const {
    return "ldap://127.0.0.1:" + std::to_string(port_);
}

std::string SlapdServer::ldapsUrl() const {
    return options_.tls ? "ldaps://127.0.0.1:" + std::to_string(tlsPort_) : std::string();
}

std::string SlapdServer::ldapiUrl() const {
    return options_.ldapi ? "ldapi://" + percentEncoded((dir_.path() / "slapd.sock").string())
                          : std::string();
}

std::string SlapdServer::caFile() const {
    return options_.tls ? (dir_.path() / "ca.pem").string() : std::string();
}

std::string SlapdServer::badCaFile() const {
    return options_.tls ? (dir_.path() / "other-ca.pem").string() : std::string();
}

void SlapdServer::stop() {
    slapd_.stop();
}
