// Feeds arbitrary bytes to the reference-file readers, then lists and
// compares what they read. Any crash, leak or undefined behaviour is a fault.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "schema/schema.h"
#include "toollib/txtparse/textstreamparser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TextStreamParser tsp =
        TextStreamParser::fromText(std::string(reinterpret_cast<const char*>(data), size));
    Schema schema;
    schema.whirly = 0;
    schema.readClassDefs(tsp);
    schema.readAttrDefs(tsp);
    schema.readSyntaxDefs(tsp);

    std::ostringstream listing;
    schema.write(listing);

    // A listing reads back to a schema that lists the same way, so comparing
    // the two must find no difference the writer could show.
    TextStreamParser again = TextStreamParser::fromText(listing.str());
    Schema reread;
    reread.whirly = 0;
    reread.readClassDefs(again);
    reread.readAttrDefs(again);
    reread.readSyntaxDefs(again);
    std::ostringstream report;
    schema.compare(reread, report);
    return 0;
}
