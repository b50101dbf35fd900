#pragma once

#include <cstdint>

namespace dsclient {

// The library code for a libldap result `rc` of a bind that the server
// answered, or that the client's SASL layer gave up on. With `sasl` (SASL
// EXTERNAL), every answer that is no transport failure is a refused bind:
// the client offers nothing else the server could be asked for.
std::int32_t bindFailureCode(int rc, bool sasl);

// The library code for a libldap result `rc` of the schema read. The
// results a server gives when the client's identity or its connection may
// not read the entry are a refusal for lack of access, as the user can act
// on them by binding otherwise or over TLS.
std::int32_t readFailureCode(int rc);

}  // namespace dsclient
