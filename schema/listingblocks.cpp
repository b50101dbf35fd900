#include "schema/listingblocks.h"

void writeFlagBlock(std::ostream& os, std::span<const FlagName> table, std::uint32_t flags) {
    if (flags == 0) {
        return;
    }
    os << "\tFlags\n";
    for (const FlagName& flag : table) {
        if ((flags & flag.bit) != 0) {
            os << "\t\t" << flag.text << '\n';
        }
    }
}

void writeListBlock(std::ostream& os, const char* subHeader,
                    const ExtendedArray<std::string>& list) {
    if (list.empty()) {
        return;
    }
    os << '\t' << subHeader << '\n';
    for (const std::string& member : list) {
        os << "\t\t" << member << '\n';
    }
}
