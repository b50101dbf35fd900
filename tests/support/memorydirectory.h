#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dsclient/sourceschema.h"

// The in-memory directory: servers defined in code, for tests. It plugs into
// the library through its hooks as soon as any of the functions below is
// first used: its servers are found by name before any other kind of
// source, a call can be made to fail at its n-th use, and every call can be
// logged.
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
const std::vector<std::string>& calls();

// With `on`, no name reaches a directory server over the network: what is
// neither a server of this directory nor a local schema source is "no such
// server". For harnesses that feed the program arbitrary names.
void keepOffline(bool on);

// Forgets every server, armed failure, count and log line.
void reset();

// Closes every connection but the default one, as the end of a process
// would; for harnesses that run the program many times in one process.
void closeConnections();

}  // namespace dsclient::memory
