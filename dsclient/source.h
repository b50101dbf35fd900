#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dsclient/descriptions.h"
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

    // The schema descriptions the source holds, as it holds them (none is
    // parsed here), for reading every field of a schema. A source that holds
    // none, as the in-memory directory of the tests, answers
    // QXERR_INVALID_ARGUMENT.
    virtual std::int32_t fetchDescriptions(Descriptions& out, std::string& diagnostic);

    // The source's name as QXGetFileServerName gives it (before cutting).
    virtual std::string serverName() const = 0;

    // The notes a source made to hold back rather than write to standard
    // error (see FileSource) and made since the last call; for
    // writeSourceNote on the thread that writes the program's output.
    virtual std::vector<std::string> takeHeldNotes();
};

}  // namespace dsclient
