#pragma once

#include <string>

#include "toollib/schemadesc/fulldefinition.h"

namespace fullschema {

// The definition in RFC 4512 form on one line: its fields in the grammar's
// order, single spaces, one member alone and several in parentheses, no NAME
// on a syntax. Reading the text back gives the same definition.
std::string describe(schemadesc::Kind kind, const schemadesc::FullDefinition& definition);

}  // namespace fullschema
