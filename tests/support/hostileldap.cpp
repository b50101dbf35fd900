#include "support/hostileldap.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <lber.h>
#include <ldap.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

// A request larger than this is no request of the program's: the connection
// is dropped rather than buffered without end.
constexpr std::size_t kMaxRequest = 1 << 20;
// Enough for any test; more would only be a client gone wrong.
constexpr std::size_t kMaxConnections = 16;
// The log pipe never fills: lines past this many are dropped, each is cut to
// well under PIPE_BUF so that it is written whole or not at all.
constexpr int kMaxLogLines = 400;
constexpr std::size_t kMaxLogLine = 300;
// What one turn of the loop writes to one connection at most, so that a
// client that reads as fast as the server writes does not hold the loop.
constexpr std::size_t kWriteTurn = 8 << 20;
constexpr std::uint64_t kFloodDeclared = 1ULL << 30;
constexpr std::size_t kFloodChunk = 1 << 20;
constexpr std::size_t kEchoLength = 100000;

class Fd {
  public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    void reset() {
        if (fd_ >= 0) {
            close(fd_);
            fd_ = -1;
        }
    }

  private:
    int fd_ = -1;
};

struct BerFree {
    void operator()(BerElement* ber) const { ber_free(ber, 1); }
};
using Ber = std::unique_ptr<BerElement, BerFree>;
struct BervalFree {
    void operator()(berval* value) const { ber_bvfree(value); }
};
struct StringsFree {
    void operator()(char** strings) const { ber_memvfree(reinterpret_cast<void**>(strings)); }
};

std::string text(const berval& value) {
    return value.bv_val == nullptr ? std::string() : std::string(value.bv_val, value.bv_len);
}

// The encoded bytes of `ber`, or an empty text when encoding failed.
std::string flatten(BerElement* ber) {
    berval* raw = nullptr;
    if (ber_flatten(ber, &raw) != 0 || raw == nullptr) {
        return {};
    }
    const std::unique_ptr<berval, BervalFree> flat(raw);
    return text(*flat);
}

Ber newBer() {
    return Ber(ber_alloc_t(LBER_USE_DER));
}

// An LDAPResult of the operation `op` (bind or search done).
std::string resultMessage(ber_int_t id, ber_tag_t op, ber_int_t code, const std::string& message) {
    const Ber ber = newBer();
    if (!ber || ber_printf(ber.get(), "{it{eso}}", id, op, code, "", message.data(),
                           static_cast<ber_len_t>(message.size())) == -1) {
        return {};
    }
    return flatten(ber.get());
}

std::string entryMessage(ber_int_t id, const std::string& dn,
                         const std::vector<SchemaValues>& attributes) {
    const Ber ber = newBer();
    if (!ber || ber_printf(ber.get(), "{it{s{", id, LDAP_RES_SEARCH_ENTRY, dn.c_str()) == -1) {
        return {};
    }
    for (const SchemaValues& attribute : attributes) {
        if (ber_printf(ber.get(), "{s[", attribute.type.c_str()) == -1) {
            return {};
        }
        for (const std::string& value : attribute.values) {
            if (ber_printf(ber.get(), "o", value.data(), static_cast<ber_len_t>(value.size())) ==
                -1) {
                return {};
            }
        }
        if (ber_printf(ber.get(), "]}") == -1) {
            return {};
        }
    }
    if (ber_printf(ber.get(), "}}}") == -1) {
        return {};
    }
    return flatten(ber.get());
}

// One BER element written out by hand: what liblber refuses to encode is
// exactly what the malformed answers need.
std::string element(unsigned char tag, const std::string& content) {
    std::string out(1, static_cast<char>(tag));
    const std::size_t size = content.size();
    if (size < 0x80) {
        out += static_cast<char>(size);
    } else {
        out += static_cast<char>(0x84);
        for (int shift = 24; shift >= 0; shift -= 8) {
            out += static_cast<char>((size >> shift) & 0xFF);
        }
    }
    return out + content;
}

std::string messageId(ber_int_t id) {
    std::string bytes;
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes += static_cast<char>((static_cast<std::uint32_t>(id) >> shift) & 0xFF);
    }
    return element(0x02, bytes);
}

// A search entry whose framing holds together (the client reads it whole)
// but whose only attribute claims a value set longer than the message.
std::string malformedEntry(ber_int_t id, const std::string& dn) {
    const std::string lyingSet = "\x31\x7F" + element(0x04, "abc");
    const std::string attribute = element(0x30, element(0x04, "attributeTypes") + lyingSet);
    const std::string entry = element(0x64, element(0x04, dn) + element(0x30, attribute));
    return element(0x30, messageId(id) + entry);
}

// A well-framed BER element that is no LDAP message: an OCTET STRING.
std::string notLdap() {
    return element(0x04, "this is not an LDAP message");
}

// The start of a message that declares 1 GiB; the rest is filler.
std::string floodHeader(ber_int_t id, std::uint64_t& rest) {
    static constexpr char kEntryStart[] = "\x64\x84\x3F\xFF\xFF\x00";
    const std::string start = messageId(id) + std::string(kEntryStart, sizeof kEntryStart - 1);
    std::string header = "\x30\x84";
    for (int shift = 24; shift >= 0; shift -= 8) {
        header += static_cast<char>((kFloodDeclared >> shift) & 0xFF);
    }
    rest = kFloodDeclared - start.size();
    return header + start;
}

// The size of the first whole request in `in`: 0 while more bytes are
// needed, npos when it cannot be an LDAP message of a sane size.
std::size_t requestSize(std::string_view in) {
    if (in.empty()) {
        return 0;
    }
    if (static_cast<unsigned char>(in[0]) != 0x30) {
        return std::string_view::npos;
    }
    if (in.size() < 2) {
        return 0;
    }
    const auto first = static_cast<unsigned char>(in[1]);
    std::size_t header = 2;
    std::size_t length = first;
    if ((first & 0x80) != 0) {
        const std::size_t count = first & 0x7F;
        if (count == 0 || count > 4) {
            return std::string_view::npos;
        }
        if (in.size() < 2 + count) {
            return 0;
        }
        length = 0;
        for (std::size_t i = 0; i < count; ++i) {
            length = (length << 8) | static_cast<unsigned char>(in[2 + i]);
        }
        header += count;
    }
    if (length > kMaxRequest) {
        return std::string_view::npos;
    }
    return in.size() < header + length ? 0 : header + length;
}

// The server's side, run in the child process until its deadline.
class Server {
  public:
    Server(const HostileScript& script, Fd listener, Fd log, Clock::time_point deadline)
        : script_(script),
          listener_(std::move(listener)),
          log_(std::move(log)),
          deadline_(deadline) {}

    void run() {
        while (Clock::now() < deadline_) {
            std::vector<pollfd> fds{{listener_.get(), POLLIN, 0}};
            for (const Connection& c : connections_) {
                const bool writing = c.sent < c.out.size() || c.floodLeft > 0 || !c.repeat.empty();
                fds.push_back(
                    {c.fd.get(), static_cast<short>(POLLIN | (writing ? POLLOUT : 0)), 0});
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
            const int wait = static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, 100));
            if (poll(fds.data(), fds.size(), wait) < 0 && errno != EINTR) {
                return;
            }
            if ((fds[0].revents & POLLIN) != 0) {
                accept();
            }
            // fds[i + 1] belongs to connections_[i]; accepting only appended.
            for (std::size_t i = 0; i + 1 < fds.size(); ++i) {
                Connection& c = connections_[i];
                if ((fds[i + 1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                    read(c);
                }
                if (!c.dead && (fds[i + 1].revents & POLLOUT) != 0) {
                    pump(c);
                }
            }
            std::erase_if(connections_, [this](const Connection& c) {
                if (c.dead) {
                    note(c.endNote);
                }
                return c.dead;
            });
        }
    }

  private:
    struct Connection {
        Fd fd;
        std::string in;
        std::string out;
        std::size_t sent = 0;
        bool closeWhenSent = false;
        std::uint64_t floodLeft = 0;
        std::string repeat;  // sent again each time the output runs dry
        bool dead = false;
        std::string endNote;
    };

    void note(std::string line) {
        if (logged_ >= kMaxLogLines) {
            return;
        }
        ++logged_;
        if (line.size() > kMaxLogLine) {
            line.resize(kMaxLogLine);
        }
        std::replace(line.begin(), line.end(), '\n', ' ');
        line += '\n';
        // Non-blocking, and shorter than PIPE_BUF: whole or not at all.
        [[maybe_unused]] const ssize_t written = write(log_.get(), line.data(), line.size());
    }

    void end(Connection& c, std::string why) {
        if (!c.dead) {
            c.dead = true;
            c.endNote = std::move(why);
        }
    }

    void accept() {
        Fd fd(accept4(listener_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (fd.get() < 0 || connections_.size() >= kMaxConnections) {
            return;
        }
        note("connected");
        Connection& added = connections_.emplace_back();
        added.fd = std::move(fd);
    }

    void read(Connection& c) {
        char chunk[65536];
        const ssize_t got = recv(c.fd.get(), chunk, sizeof chunk, MSG_DONTWAIT);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            end(c, "closed by client");
            return;
        }
        if (got < 0) {
            return;
        }
        c.in.append(chunk, static_cast<std::size_t>(got));
        for (std::size_t size = requestSize(c.in); size != 0 && !c.dead; size = requestSize(c.in)) {
            if (size == std::string_view::npos) {
                note("undecodable request");
                end(c, "closed by server");
                return;
            }
            const std::string request = c.in.substr(0, size);
            c.in.erase(0, size);
            handle(c, request);
        }
        pump(c);
    }

    void handle(Connection& c, const std::string& request) {
        berval bytes{request.size(), const_cast<char*>(request.data())};
        const Ber ber(ber_init(&bytes));
        ber_int_t id = 0;
        ber_len_t length = 0;
        if (!ber || ber_scanf(ber.get(), "{i", &id) == LBER_ERROR) {
            note("undecodable request");
            end(c, "closed by server");
            return;
        }
        switch (const ber_tag_t op = ber_peek_tag(ber.get(), &length); op) {
            case LDAP_REQ_BIND:
                bind(c, ber.get(), id);
                break;
            case LDAP_REQ_SEARCH:
                search(c, ber.get(), id);
                break;
            case LDAP_REQ_UNBIND:
                note("unbind");
                break;
            case LDAP_REQ_ABANDON:
                note("abandon");
                break;
            default:
                note("other " + std::to_string(op));
                break;
        }
    }

    void bind(Connection& c, BerElement* ber, ber_int_t id) {
        ber_int_t version = 0;
        berval dn{};
        if (ber_scanf(ber, "{im", &version, &dn) == LBER_ERROR) {
            note("undecodable bind");
            return;
        }
        ber_len_t length = 0;
        const ber_tag_t auth = ber_peek_tag(ber, &length);
        std::string how = "other";
        std::string password;
        berval value{};
        if (auth == LDAP_AUTH_SIMPLE && ber_scanf(ber, "m", &value) != LBER_ERROR) {
            password = text(value);
            how = "simple password=" + password;
        } else if (auth == LDAP_AUTH_SASL && ber_scanf(ber, "{m", &value) != LBER_ERROR) {
            how = "sasl " + text(value);
        }
        note("bind v" + std::to_string(version) + " dn=" + text(dn) + " " + how);
        switch (script_.behaviour) {
            case HostileBehaviour::Silent:
                return;
            case HostileBehaviour::NotLdap:
                c.out += notLdap();
                return;
            case HostileBehaviour::EchoingRefusal: {
                std::string message = "\x1b[2J\x1b]0;owned\x07password " + password + " refused\n";
                while (message.size() < kEchoLength) {
                    message += " again: " + password + "\r\x1b[31m";
                }
                c.out += resultMessage(id, LDAP_RES_BIND, LDAP_INVALID_CREDENTIALS, message);
                return;
            }
            default:
                c.out += resultMessage(id, LDAP_RES_BIND, LDAP_SUCCESS, "");
        }
    }

    void search(Connection& c, BerElement* ber, ber_int_t id) {
        berval base{};
        ber_int_t scope = 0;
        ber_int_t deref = 0;
        ber_int_t sizeLimit = 0;
        ber_int_t timeLimit = 0;
        ber_int_t typesOnly = 0;
        char** raw = nullptr;
        if (ber_scanf(ber, "{meeiibxv", &base, &scope, &deref, &sizeLimit, &timeLimit, &typesOnly,
                      &raw) == LBER_ERROR) {
            note("undecodable search");
            return;
        }
        const std::unique_ptr<char*, StringsFree> attrs(raw);
        std::string names;
        for (char** name = attrs.get(); name != nullptr && *name != nullptr; ++name) {
            if (!names.empty()) {
                names += ',';
            }
            names += *name;
        }
        note("search base=" + text(base) + " scope=" + std::to_string(scope) + " attrs=" + names);
        const HostileBehaviour behaviour = script_.behaviour;
        if (behaviour == HostileBehaviour::Silent || behaviour == HostileBehaviour::BindOnly) {
            return;
        }
        const std::string done = resultMessage(id, LDAP_RES_SEARCH_RESULT, LDAP_SUCCESS, "");
        if (base.bv_len == 0) {
            c.out += entryMessage(id, "", {{"subschemaSubentry", {script_.subschemaDn}}});
            c.out += done;
            return;
        }
        const std::string dn = text(base);
        switch (behaviour) {
            case HostileBehaviour::CloseInSubschema:
            case HostileBehaviour::TruncatedSubschema: {
                const std::string entry = entryMessage(id, dn, script_.schema);
                c.out += entry.substr(0, entry.size() / 2);
                c.closeWhenSent = behaviour == HostileBehaviour::CloseInSubschema;
                return;
            }
            case HostileBehaviour::MalformedEntry:
                c.out += malformedEntry(id, dn);
                c.out += done;
                return;
            case HostileBehaviour::Flood:
                c.out += floodHeader(id, c.floodLeft);
                return;
            case HostileBehaviour::EndlessEntries:
                c.repeat = entryMessage(id, dn, script_.schema);
                return;
            default:
                c.out += entryMessage(id, dn, script_.schema);
                c.out += done;
        }
    }

    // Writes what the connection has to send, as far as the socket takes it
    // now, refilling endless output as it goes.
    void pump(Connection& c) {
        std::size_t turn = 0;
        while (!c.dead && turn < kWriteTurn) {
            if (c.sent == c.out.size()) {
                c.out.clear();
                c.sent = 0;
                if (c.floodLeft > 0) {
                    const std::size_t size =
                        static_cast<std::size_t>(std::min<std::uint64_t>(kFloodChunk, c.floodLeft));
                    c.out.assign(size, 'x');
                    c.floodLeft -= size;
                } else if (!c.repeat.empty()) {
                    c.out = c.repeat;
                } else {
                    if (c.closeWhenSent) {
                        end(c, "closed by server");
                    }
                    return;
                }
            }
            const ssize_t put = send(c.fd.get(), c.out.data() + c.sent, c.out.size() - c.sent,
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
            if (put < 0) {
                if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                    end(c, "closed by client");
                }
                return;
            }
            c.sent += static_cast<std::size_t>(put);
            turn += static_cast<std::size_t>(put);
        }
    }

    const HostileScript& script_;
    Fd listener_;
    Fd log_;
    Clock::time_point deadline_;
    std::vector<Connection> connections_;
    int logged_ = 0;
};

}  // namespace

std::vector<SchemaValues> smallSchema() {
    return {
        {"ldapSyntaxes",
         {"( 1.3.6.1.4.1.1466.115.121.1.15 DESC 'Directory String' )",
          "( 1.3.6.1.4.1.1466.115.121.1.38 DESC 'OID' )"}},
        {"attributeTypes",
         {"( 2.5.4.0 NAME 'objectClass' EQUALITY objectIdentifierMatch "
          "SYNTAX 1.3.6.1.4.1.1466.115.121.1.38 )",
          "( 2.5.4.41 NAME 'name' EQUALITY caseIgnoreMatch "
          "SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{32768} )",
          "( 2.5.4.3 NAME ( 'cn' 'commonName' ) SUP name )"}},
        {"objectClasses",
         {"( 2.5.6.0 NAME 'top' ABSTRACT MUST objectClass )",
          "( 1.3.6.1.4.1.99999.2.1 NAME 'siteThing' SUP top STRUCTURAL MUST cn )"}},
    };
}

HostileLdapServer::HostileLdapServer(const HostileScript& script, std::chrono::seconds lifetime) {
    Fd listener(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener.get() < 0 ||
        ::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(listener.get(), 16) != 0 ||
        getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        error_ = std::string("listening on 127.0.0.1: ") + std::strerror(errno);
        return;
    }
    int ends[2] = {-1, -1};
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        return;
    }
    Fd readEnd(ends[0]);
    Fd writeEnd(ends[1]);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        error_ = std::string("fork: ") + std::strerror(errno);
        return;
    }
    if (pid == 0) {
        // Never outlive the test: not its thread, not its lifetime (the alarm
        // ends even a child stuck outside the loop).
        if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) {
            _exit(0);
        }
        alarm(static_cast<unsigned>(lifetime.count()) + 2);
        readEnd.reset();
        try {
            Server(script, std::move(listener), std::move(writeEnd), Clock::now() + lifetime).run();
        } catch (...) {
            // Nothing to report to: the test sees the connection end.
        }
        _exit(0);
    }
    pid_ = pid;
    port_ = ntohs(address.sin_port);
    logFd_ = readEnd.release();
}

HostileLdapServer::~HostileLdapServer() {
    stop();
    if (logFd_ >= 0) {
        close(logFd_);
    }
}

std::string HostileLdapServer::hostPort() const {
    return "127.0.0.1:" + std::to_string(port_);
}

std::string HostileLdapServer::ldapUrl() const {
    return "ldap://" + hostPort();
}

void HostileLdapServer::stop() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = 0;
    }
    drainLog();
}

void HostileLdapServer::drainLog() {
    if (logFd_ < 0) {
        return;
    }
    char chunk[4096];
    ssize_t got = 0;
    while ((got = read(logFd_, chunk, sizeof chunk)) > 0) {
        pending_.append(chunk, static_cast<std::size_t>(got));
    }
    for (std::size_t end = pending_.find('\n'); end != std::string::npos;
         end = pending_.find('\n')) {
        log_.push_back(pending_.substr(0, end));
        pending_.erase(0, end + 1);
    }
}

std::vector<std::string> HostileLdapServer::log() {
    drainLog();
    return log_;
}

bool HostileLdapServer::waitForLine(std::string_view line, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (true) {
        drainLog();
        if (std::find(log_.begin(), log_.end(), line) != log_.end()) {
            return true;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || logFd_ < 0) {
            return false;
        }
        pollfd wait{logFd_, POLLIN, 0};
        if (poll(&wait, 1, static_cast<int>(std::min<std::int64_t>(left.count(), 50))) > 0 &&
            (wait.revents & POLLIN) == 0) {
            return false;  // the child has ended: nothing more will come
        }
    }
}
