#pragma once

#include "dsclient/descriptions.h"
#include "dsclient/sourceschema.h"

namespace dsclient {

// Turns schema descriptions (from files or from a server's subschema entry)
// into the library's definitions, each kind in source order, and carries the
// entry names over. A description that does not parse fails its kind with
// QXERR_CANNOT_PARSE and a one-line diagnostic ("origin: what does not parse:
// text"); such a kind holds no definitions, and the other kinds still convert.
// Object classes, name forms and DIT structure rules all fail the class kind.
// Never throws: running out of memory fails every kind with QXERR_OUT_OF_MEMORY.
SchemaContent convertDescriptions(const Descriptions& descriptions);
// The same, freeing the descriptions as they are converted: a large schema
// is never held whole both as text and as definitions. They are left empty.
SchemaContent convertDescriptions(Descriptions&& descriptions);

}  // namespace dsclient
