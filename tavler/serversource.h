#pragma once

#include <array>
#include <cstdint>
#include <iostream>
#include <string>

class DSContext;

// The server state of one invocation: for each schema position, the
// connection it reads through, whether this invocation opened that
// connection itself, and the handle of the position's directory context.
// Error lines go to `errorLines`: JSON output keeps standard output for its
// documents alone. `failure` is the last failure in one line, for a summary.
struct ServerState {
    std::array<bool, 2> closeConn{};
    std::array<std::uint32_t, 2> contextHandle{};
    std::array<std::uint32_t, 2> connHandle{};
    std::uint32_t curConnID = 0;
    std::ostream* errorLines = &std::cout;
    std::string failure;
};

// True when `word` begins with a server-name scheme (file:, ldap://, ldaps://
// or ldapi://, letter case ignored): such a word names a server whatever else
// it contains, ".ref" or ".lst" included.
bool hasServerScheme(const std::string& word);

// Finds or opens the connection to the server `typedName` (as typed) for
// position `i` and directs the position's context to it. On failure a line
// naming the server as `shownName` (upper case) is on the state's error
// lines, its text in `failure`, and the result is false.
bool attachServer(ServerState& state, int i, const std::string& shownName,
                  const std::string& typedName);

// Closes, position 0 first, the connections this invocation opened itself.
void closeServers(const ServerState& state);

// A local schema file is built into as many small pieces as a reference
// file of the same schema, and more for a while (its text, what the library
// makes of it, the model): its heap is readied the same way, for three times
// its size. A folder, or a name that is no file, leaves the heap as it is.
void readyHeapForSchemaFile(const std::string& typedName);
