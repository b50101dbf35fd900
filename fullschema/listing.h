#pragma once

#include <array>
#include <cstddef>
#include <iosfwd>
#include <vector>

#include "fullschema/fullschema.h"

namespace fullschema {

// Which of the eight kinds a run lists or reports, by kindIndex.
using KindSet = std::array<bool, kindCount>;
inline constexpr KindSet everyKind{true, true, true, true, true, true, true, true};

// The indices of the kind's definitions in the order listings give them:
// by first NAME (a syntax, or a definition without NAME, by its OID), letter
// case ignored, then by OID; definitions alike in both stay in source order.
std::vector<std::size_t> listingOrder(const FullSchema& schema, Kind kind);

// The name a definition goes by in listings and reports: its first NAME, or
// its OID (a syntax's always, a structure rule's id).
const std::string& shownName(Kind kind, const FullDefinition& definition);

// The schema as the LDIF of one subschema entry: "dn: cn=Subschema", then
// each chosen kind's definitions as values of the kind's attribute, in
// listing order, one line each (base64 when LDIF cannot hold a value as
// plain text). Read back, it lists to the same bytes.
void writeLdifListing(std::ostream& os, const FullSchema& schema, const KindSet& kinds);

}  // namespace fullschema
