#pragma once

#include <iosfwd>
#include <string>

#include "fullschema/comparison.h"
#include "fullschema/fullschema.h"
#include "fullschema/listing.h"

// The JSON documents of a full run (format "tavler-full/1"), each on one
// line. Text that is not UTF-8 is written with U+FFFD in its place.
namespace fullschema {

// One schema: its name and its definitions of the chosen kinds, in listing
// order, each with its fields.
void writeJsonListing(std::ostream& os, const std::string& name, const FullSchema& schema,
                      const KindSet& kinds);

// Two schemas compared: both names with their counts of definitions, the
// kinds not compared, the differences and their counts by severity.
void writeJsonComparison(std::ostream& os, const std::string& nameA, const FullSchema& a,
                         const std::string& nameB, const FullSchema& b,
                         const Comparison& comparison);

}  // namespace fullschema
