#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dsclient/source.h"
#include "dsclient/sourceschema.h"

// The in-memory directory: servers defined in code, for tests. Its servers
// are found by name before any other kind of source. It also instruments
// the library: a call can be made to fail at its n-th use, and every call
// can be logged.
namespace dsclient::memory {

struct Server {
    std::string name;  // found without regard to letter case
    SchemaContent content;
    std::size_t partSize = 0;   // definitions per reply part at most; 0: as many as fit
    std::string answeredBy;     // another server that answers the reads of this one
    std::int32_t openCode = 0;  // what opening a connection to it answers
};

// Defines a server, replacing one of the same name.
void addServer(Server server);
// The server named `name`, or null.
const Server* findServer(std::string_view name);

// Makes the `use`-th call (counted from 1, from the first failure armed
// since the last reset) of the
// library function `call` return `code` without doing anything.
void failCall(const std::string& call, unsigned use, std::int32_t code);

// Turns the call log on or off; the log holds one line per call,
// "NAME(DETAIL) = CODE".
void recordCalls(bool on);
bool recordingCalls();
const std::vector<std::string>& calls();

// With `on`, no name reaches a directory server over the network: what is
// neither a server of this directory nor a local schema source is "no such
// server". For harnesses that feed the program arbitrary names.
void keepOffline(bool on);
bool offline();

// Forgets every server, armed failure, count and log line.
void reset();

// Closes every connection but the default one, as the end of a process
// would; for harnesses that run the program many times in one process.
void closeConnections();

// For the library's calls: counts a use of `call` and gives the code armed
// for it, if any; and appends a line to the log when it is on.
std::optional<std::int32_t> injectedFailure(const char* call);
void logCall(const char* call, const std::string& detail, std::int32_t code);

// A connection's view of one server of the directory.
class MemorySource : public Source {
  public:
    explicit MemorySource(Server server) : server_(std::move(server)) {}
    std::int32_t open(std::string& diagnostic) override;
    std::int32_t fetch(SchemaContent& content, std::string& diagnostic) override;
    std::string serverName() const override { return server_.name; }
    std::size_t partLimit() const override { return server_.partSize; }
    std::string referral() const override { return server_.answeredBy; }

  private:
    Server server_;
};

}  // namespace dsclient::memory
