#pragma once

#include <iosfwd>
#include <string>

#include "fullschema/comparison.h"

namespace fullschema {

// The comparison for a reader at a terminal of 100 columns: the two sources,
// the kinds not compared, then per kind the definitions only in A, only in B
// and each differing field with both values and its severity, one line each,
// and a last line with the counts. `colour` shows severities in colour.
void writeTextReport(std::ostream& os, const std::string& nameA, const std::string& nameB,
                     const Comparison& comparison, bool colour);

// "3 breaking, 1 compatible, 0 cosmetic differences", or "no differences".
std::string countsLine(const Comparison& comparison);

}  // namespace fullschema
