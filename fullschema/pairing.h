#pragma once

#include <cstddef>
#include <limits>
#include <vector>

#include "fullschema/definitionstore.h"
#include "toollib/schemadesc/fulldefinition.h"

// Which definition of one schema is the same definition as which of the
// other, for one kind.
namespace fullschema {

struct Pairing {
    static constexpr std::size_t none = std::numeric_limits<std::size_t>::max();
    std::vector<std::size_t> aToB;  // by index in A's definitions; none when unpaired
    std::vector<std::size_t> bToA;
};

// Equal OIDs pair first (numeric exactly, descriptive without regard to
// case; a structure rule's id), then what is left pairs by any shared NAME
// where the kind pairs by name at all. Definitions are taken in source
// order and each is paired at most once.
Pairing pairDefinitions(schemadesc::Kind kind, const DefinitionStore& a, const DefinitionStore& b);

}  // namespace fullschema
