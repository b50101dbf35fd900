#include "schema/listingblocks.h"

#include "schema/sectionheaders.h"

void writeFlagBlock(std::string& block, std::span<const FlagName> table, std::uint32_t flags) {
    if (flags == 0) {
        return;
    }
    block += '\t';
    block += flagsSubHeader;
    block += '\n';
    for (const FlagName& flag : table) {
        if ((flags & flag.bit) != 0) {
            block += "\t\t";
            block += flag.text;
            block += '\n';
        }
    }
}

void writeListBlock(std::string& block, const char* subHeader, const NameList& list) {
    if (list.empty()) {
        return;
    }
    block += '\t';
    block += subHeader;
    block += '\n';
    for (const std::string_view member : list) {
        block += "\t\t";
        block += member;
        block += '\n';
    }
}

std::string& blockBuffer() {
    thread_local std::string block;
    block.clear();
    return block;
}

void writeBlock(std::ostream& os, const std::string& block) {
    os.write(block.data(), static_cast<std::streamsize>(block.size()));
}
