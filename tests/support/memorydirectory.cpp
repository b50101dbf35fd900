#include "support/memorydirectory.h"

#include <map>
#include <memory>
#include <optional>
#include <utility>

#include "dsclient/callobserver.h"
#include "dsclient/client.h"
#include "dsclient/filesource.h"
#include "dsclient/ldapaddress.h"
#include "dsclient/source.h"
#include "dsclient/sourcefactory.h"
#include "dscontext/dsclient.h"
#include "toollib/namecompare.h"

namespace dsclient::memory {

namespace {

// A connection's view of one server of the directory.
class MemorySource : public Source {
  public:
    explicit MemorySource(Server server) : server_(std::move(server)) {}
    std::int32_t open(std::string& /*diagnostic*/) override { return server_.openCode; }
    std::int32_t fetch(SchemaContent& content, std::string& /*diagnostic*/) override {
        content = server_.content;
        return QX_SUCCESS;
    }
    std::string serverName() const override { return server_.name; }

  private:
    Server server_;
};

// What a directory server's name opens while the directory keeps offline.
class UnreachableSource : public Source {
  public:
    explicit UnreachableSource(std::string name) : name_(std::move(name)) {}
    std::int32_t open(std::string& diagnostic) override {
        diagnostic = name_ + ": no such server";
        return QXERR_NO_SUCH_SERVER;
    }
    std::int32_t fetch(SchemaContent& /*content*/, std::string& /*diagnostic*/) override {
        return QXERR_NOT_CONNECTED;
    }
    std::string serverName() const override { return name_; }

  private:
    std::string name_;
};

struct Armed {
    unsigned use;
    std::int32_t code;
};

// Counts the uses of each call once a failure is armed, answers for the
// armed use, and logs each call while the log is on.
class Instruments : public CallObserver {
  public:
    std::optional<std::int32_t> before(const char* call) override {
        if (failures.empty()) {
            return std::nullopt;  // nothing armed: no need to count
        }
        const unsigned use = ++uses[call];
        const auto [first, last] = failures.equal_range(call);
        for (auto it = first; it != last; ++it) {
            if (it->second.use == use) {
                return it->second.code;
            }
        }
        return std::nullopt;
    }
    void after(const char* call, const std::function<std::string()>& detail,
               std::int32_t code) override {
        if (logging) {
            log.push_back(std::string(call) + "(" + (detail ? detail() : std::string()) +
                          ") = " + std::to_string(code));
        }
    }

    std::map<std::string, unsigned, std::less<>> uses;
    std::multimap<std::string, Armed, std::less<>> failures;
    bool logging = false;
    std::vector<std::string> log;
};

ChosenSource chooseSource(const std::string& name);

// The directory plugs itself into the library when it is first used.
struct Directory {
    Directory() {
        installSourceFactory(chooseSource);
        installCallObserver(&instruments);
    }
    ~Directory() {
        installCallObserver(nullptr);
        installSourceFactory({});
    }
    Directory(const Directory&) = delete;
    Directory& operator=(const Directory&) = delete;

    std::vector<Server> servers;
    Instruments instruments;
    bool offline = false;
};

Directory& directory() {
    static Directory instance;
    return instance;
}

ChosenSource chooseSource(const std::string& name) {
    ChosenSource chosen;
    if (const Server* server = findServer(name)) {
        chosen.source = std::make_unique<MemorySource>(*server);
        chosen.partLimit = server->partSize;
        chosen.referral = server->answeredBy;
    } else if (directory().offline && !isFileSourceName(name) && isLdapName(name)) {
        chosen.source = std::make_unique<UnreachableSource>(name);
    }
    return chosen;
}

}  // namespace

void addServer(Server server) {
    for (Server& held : directory().servers) {
        if (namesEqual(held.name, server.name)) {
            held = std::move(server);
            return;
        }
    }
    directory().servers.push_back(std::move(server));
}

const Server* findServer(std::string_view name) {
    for (const Server& held : directory().servers) {
        if (namesEqual(held.name, name)) {
            return &held;
        }
    }
    return nullptr;
}

void failCall(const std::string& call, unsigned use, std::int32_t code) {
    directory().instruments.failures.emplace(call, Armed{use, code});
}

void recordCalls(bool on) {
    directory().instruments.logging = on;
}

const std::vector<std::string>& calls() {
    return directory().instruments.log;
}

void keepOffline(bool on) {
    directory().offline = on;
}

void reset() {
    Directory& dir = directory();
    dir.servers.clear();
    dir.instruments = Instruments{};
    dir.offline = false;
}

void closeConnections() {
    dsclient::closeConnections();
}

}  // namespace dsclient::memory
