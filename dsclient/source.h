#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dsclient/sourceschema.h"

namespace dsclient {

// One place a schema can be read from: local schema files, the in-memory
// directory of the tests, or (through the same calls) a directory server.
// A connection owns its source; closing the connection destroys it.
class Source {
  public:
    virtual ~Source() = default;

    // Makes the source ready to answer: reads files, binds to a server.
    // Returns 0 or a QXERR_ code, with a one-line note in `diagnostic`.
    virtual std::int32_t open(std::string& diagnostic) = 0;

    // The schema the source holds. Called once per connection; the library
    // keeps the result for every read through that connection.
    virtual std::int32_t fetch(SchemaContent& content, std::string& diagnostic) = 0;

    // The source's name as QXGetFileServerName gives it (before cutting).
    virtual std::string serverName() const = 0;

    // The most definitions one reply part may hold; 0 for as many as fit.
    virtual std::size_t partLimit() const { return 0; }

    // The name of another source that answers reads in this one's place (a
    // referral), or an empty text when the source answers itself.
    virtual std::string referral() const { return {}; }
};

// Chooses the source that the name `name` (as typed) stands for, by its form.
// Null when the name is no form this library knows (QXERR_NO_SUCH_SERVER).
std::unique_ptr<Source> makeSource(const std::string& name);

// Why `name` is no source, for the diagnostic of QXERR_NO_SUCH_SERVER.
std::string noSourceReason(const std::string& name);

// The key under which an open connection to `name` is found again: names of
// one source give one key (a file path compared exactly, a host name without
// regard to letter case).
std::string connectionKey(const std::string& name);

}  // namespace dsclient
