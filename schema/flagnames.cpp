#include "schema/flagnames.h"

#include <array>

#include "toollib/namecompare.h"

namespace {

constexpr std::array<FlagName, 6> classFlags{{
    {0x10, "DS_AMBIGUOUS_CONTAINMENT"},
    {0x08, "DS_AMBIGUOUS_NAMING"},
    {0x20, "DS_AUXILIARY_CLASS"},
    {0x01, "DS_CONTAINER_CLASS"},
    {0x02, "DS_EFFECTIVE_CLASS"},
    {0x04, "DS_NONREMOVABLE_CLASS"},
}};

// 0x20 before 0x10 and 0x400 before 0x200: stored listings have them in this order.
constexpr std::array<FlagName, 11> attrFlags{{
    {0x0001, "DS_SINGLE_VALUED_ATTR"},
    {0x0002, "DS_SIZED_ATTR"},
    {0x0004, "DS_NONREMOVABLE_ATTR"},
    {0x0008, "DS_READ_ONLY_ATTR"},
    {0x0020, "DS_STRING_ATTR"},
    {0x0010, "DS_HIDDEN_ATTR"},
    {0x0040, "DS_SYNC_IMMEDIATE"},
    {0x0080, "DS_PUBLIC_READ"},
    {0x0100, "DS_SERVER_READ"},
    {0x0400, "DS_PER_REPLICA"},
    {0x0200, "DS_WRITE_MANAGED"},
}};

constexpr std::array<FlagName, 10> syntaxFlags{{
    {0x0001, "DS_STRING"},
    {0x0002, "DS_SINGLE_VALUED"},
    {0x0004, "DS_SUPPORTS_ORDER"},
    {0x0008, "DS_SUPPORTS_EQUAL"},
    {0x0010, "DS_IGNORE_CASE"},
    {0x0020, "DS_IGNORE_SPACE"},
    {0x0040, "DS_IGNORE_DASH"},
    {0x0080, "DS_ONLY_DIGITS"},
    {0x0100, "DS_ONLY_PRINTABLE"},
    {0x0200, "DS_SIZEABLE"},
}};

// Ids 0 to 27 in order; 37 is the only other id with a name.
constexpr std::array<const char*, 28> syntaxIds{
    "SYN_UNKNOWN",      "SYN_DIST_NAME",       "SYN_CE_STRING",
    "SYN_CI_STRING",    "SYN_PR_STRING",       "SYN_NU_STRING",
    "SYN_CI_LIST",      "SYN_BOOLEAN",         "SYN_INTEGER",
    "SYN_OCTET_STRING", "SYN_TEL_NUMBER",      "SYN_FAX_NUMBER",
    "SYN_NET_ADDRESS",  "SYN_OCTET_LIST",      "SYN_EMAIL_ADDRESS",
    "SYN_PATH",         "SYN_REPLICA_POINTER", "SYN_OBJECT_ACL",
    "SYN_PO_ADDRESS",   "SYN_TIMESTAMP",       "SYN_CLASS_NAME",
    "SYN_STREAM",       "SYN_COUNTER",         "SYN_BACK_LINK",
    "SYN_TIME",         "SYN_TYPED_NAME",      "SYN_HOLD",
    "SYN_INTERVAL",
};
constexpr std::uint32_t syntaxCountId = 37;
constexpr const char* syntaxCountName = "SYNTAX_COUNT";

}  // namespace

std::span<const FlagName> classFlagNames() {
    return classFlags;
}
std::span<const FlagName> attrFlagNames() {
    return attrFlags;
}
std::span<const FlagName> syntaxFlagNames() {
    return syntaxFlags;
}

std::optional<std::uint32_t> flagBitByName(std::span<const FlagName> table, std::string_view text) {
    for (const FlagName& flag : table) {
        if (namesEqual(text, flag.text)) {
            return flag.bit;
        }
    }
    return std::nullopt;
}

const char* syntaxIdName(std::uint32_t id) {
    if (id < syntaxIds.size()) {
        return syntaxIds[id];
    }
    return id == syntaxCountId ? syntaxCountName : nullptr;
}

std::optional<std::uint32_t> syntaxIdByName(std::string_view text) {
    for (std::uint32_t id = 0; id < syntaxIds.size(); ++id) {
        if (namesEqual(text, syntaxIds[id])) {
            return id;
        }
    }
    if (namesEqual(text, syntaxCountName)) {
        return syntaxCountId;
    }
    return std::nullopt;
}
