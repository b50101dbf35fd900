#pragma once

#include <cstdint>
#include <string>

#include "dsclient/descriptions.h"

namespace dsclient {

// Reads the schema descriptions of a local file or folder into `out`, adding
// to what it holds. A name ending in ".ldif" (any case) is read as LDIF, any
// other file as schema statements; a folder is its .schema and .ldif files
// in byte order of their names. Returns 0, QXERR_CANNOT_OPEN when a file or
// folder cannot be read, or QXERR_CANNOT_PARSE for a fault of a file's form,
// with a one-line `diagnostic` naming the file and line. Never throws.
std::int32_t readSchemaFiles(const std::string& path, Descriptions& out, std::string& diagnostic);

}  // namespace dsclient
