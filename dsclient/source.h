#pragma once

#include <cstdint>
#include <string>

#include "dsclient/sourceschema.h"

namespace dsclient {

// One place a schema can be read from: local schema files or a directory
// server, or whatever a test harness puts in their place.
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
};

}  // namespace dsclient
