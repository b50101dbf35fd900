#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dsclient/descriptions.h"
#include "dsclient/source.h"
#include "dsclient/sourceschema.h"

namespace dsclient {

// True when `name` begins with "file:" (letter case ignored).
bool hasFileScheme(std::string_view name);

// True when `name` stands for local schema files: it begins with "file:" or
// ends with ".schema" or ".ldif" (letter case ignored).
bool isFileSourceName(const std::string& name);

// The path a file source name stands for: "file:" removed, and a "//" right
// after it dropped; the rest as typed, with no percent-decoding.
std::string fileSourcePath(const std::string& name);

// For a server name that is no source, or a host that does not resolve:
// " (a local schema file or folder is named file:NAME)" when a file or
// folder of that name exists, so the user sees the name they meant; else
// an empty text.
std::string localSourceHint(const std::string& name);

// Writes a note of a source on standard error, after what standard output
// holds, padded as the error line is to cover the status line.
void writeSourceNote(std::string text);

// Schema files read when the connection opens, and converted at the first
// fetch. A folder without schema files opens as an empty source, with one
// line on standard error that says so (or, made with `holdsNotes`, held
// for takeHeldNotes).
class FileSource : public Source {
  public:
    explicit FileSource(std::string name, bool holdsNotes = false);

    // Reads the files. QXERR_CANNOT_OPEN or QXERR_CANNOT_PARSE for a file
    // that cannot be read or whose form is wrong; a description that does
    // not parse fails only the read of its kind, later.
    std::int32_t open(std::string& diagnostic) override;

    // The content converted from what the open read (QXERR_CANNOT_OPEN
    // before an open), handed over as it is made: the connection keeps it,
    // and the source keeps neither it nor the descriptions. The files are
    // read again when the open's descriptions were handed out before.
    std::int32_t fetch(SchemaContent& content, std::string& diagnostic) override;

    // The descriptions the open read, handed over without a copy; when they
    // were handed out or converted before, the files read again.
    std::int32_t fetchDescriptions(Descriptions& out, std::string& diagnostic) override;

    // The name as typed.
    std::string serverName() const override;

    std::vector<std::string> takeHeldNotes() override;

  private:
    // The open's descriptions, once; after that the files read again.
    std::int32_t takeDescriptions(Descriptions& out, std::string& diagnostic);

    std::string name_;
    bool holdsNotes_;
    std::vector<std::string> heldNotes_;
    Descriptions descriptions_;
    bool opened_ = false;
    bool held_ = false;  // descriptions_ holds what the open read
};

}  // namespace dsclient
