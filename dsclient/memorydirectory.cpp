#include "dsclient/memorydirectory.h"

#include <map>
#include <utility>

#include "toollib/namecompare.h"

namespace dsclient::memory {

namespace {

struct Armed {
    unsigned use;
    std::int32_t code;
};

struct Directory {
    std::vector<Server> servers;
    std::map<std::string, unsigned, std::less<>> uses;
    std::multimap<std::string, Armed, std::less<>> failures;
    bool logging = false;
    bool offline = false;
    std::vector<std::string> log;
};

Directory& directory() {
    static Directory instance;
    return instance;
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
    directory().failures.emplace(call, Armed{use, code});
}

void recordCalls(bool on) {
    directory().logging = on;
}

bool recordingCalls() {
    return directory().logging;
}

const std::vector<std::string>& calls() {
    return directory().log;
}

void keepOffline(bool on) {
    directory().offline = on;
}

bool offline() {
    return directory().offline;
}

void reset() {
    directory() = Directory{};
}

std::optional<std::int32_t> injectedFailure(const char* call) {
    Directory& dir = directory();
    if (dir.failures.empty()) {
        return std::nullopt;  // nothing armed: no need to count
    }
    const unsigned use = ++dir.uses[call];
    const auto [first, last] = dir.failures.equal_range(call);
    for (auto it = first; it != last; ++it) {
        if (it->second.use == use) {
            return it->second.code;
        }
    }
    return std::nullopt;
}

void logCall(const char* call, const std::string& detail, std::int32_t code) {
    Directory& dir = directory();
    if (dir.logging) {
        dir.log.push_back(std::string(call) + "(" + detail + ") = " + std::to_string(code));
    }
}

std::int32_t MemorySource::open(std::string& /*diagnostic*/) {
    return server_.openCode;
}

std::int32_t MemorySource::fetch(SchemaContent& content, std::string& /*diagnostic*/) {
    content = server_.content;
    return 0;
}

}  // namespace dsclient::memory
