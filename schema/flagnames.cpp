#include "schema/flagnames.h"

#include <algorithm>
#include <array>
#include <deque>
#include <string>

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
constexpr std::array<std::string_view, 28> syntaxIds{
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
constexpr std::string_view syntaxCountName = "SYNTAX_COUNT";

// The names of one table folded to upper case in a small open-addressed
// table, so that a name read from a file is found with a probe or two
// instead of a comparison with every name of the table. Folding both sides
// is what namesEqual does.
class FoldedNames {
  public:
    void add(std::string_view name, std::uint32_t value) {
        std::string& folded = names.emplace_back(name);
        for (char& c : folded) {
            c = foldName(c);
        }
        std::size_t at = slotOf(folded);
        while (slots[at].used) {
            if (slots[at].name == folded) {
                return;  // an earlier equal name stays, as in a scan
            }
            at = (at + 1) % slots.size();
        }
        slots[at] = Slot{folded, value, true};
    }

    std::optional<std::uint32_t> find(std::string_view text) const {
        // Files nearly always spell a name as the table does: text that is
        // found as it stands folds to itself, so it is the same match.
        for (std::size_t at = slotOf(text); slots[at].used; at = (at + 1) % slots.size()) {
            if (slots[at].name == text) {
                return slots[at].value;
            }
        }
        std::array<char, 32> buffer;
        if (text.empty() || text.size() > buffer.size()) {
            return std::nullopt;
        }
        for (std::size_t k = 0; k < text.size(); ++k) {
            buffer[k] = foldName(text[k]);
        }
        const std::string_view folded(buffer.data(), text.size());
        for (std::size_t at = slotOf(folded); slots[at].used; at = (at + 1) % slots.size()) {
            if (slots[at].name == folded) {
                return slots[at].value;
            }
        }
        return std::nullopt;
    }

  private:
    struct Slot {
        std::string_view name;
        std::uint32_t value = 0;
        bool used = false;
    };

    // Twice as many slots as the largest table has names, so probes stay short.
    static constexpr std::size_t slotCount = 64;

    static std::size_t slotOf(std::string_view folded) {
        if (folded.empty()) {
            return 0;
        }
        const auto byte = [&folded](std::size_t k) {
            return static_cast<std::size_t>(static_cast<unsigned char>(folded[k]));
        };
        return (folded.size() * 7 + byte(folded.size() - 1) * 3 + byte(folded.size() / 2)) %
               slotCount;
    }

    std::deque<std::string> names;  // what the slots view, never moved
    std::array<Slot, slotCount> slots{};
};

template <std::size_t N>
FoldedNames foldedFlags(const std::array<FlagName, N>& table) {
    FoldedNames folded;
    for (const FlagName& flag : table) {
        folded.add(flag.text, flag.bit);
    }
    return folded;
}

// The folded index of one of the tables above, or nullptr for another table.
const FoldedNames* foldedTable(std::span<const FlagName> table) {
    static const FoldedNames classIndex = foldedFlags(classFlags);
    static const FoldedNames attrIndex = foldedFlags(attrFlags);
    static const FoldedNames syntaxIndex = foldedFlags(syntaxFlags);
    if (table.data() == classFlags.data() && table.size() == classFlags.size()) {
        return &classIndex;
    }
    if (table.data() == attrFlags.data() && table.size() == attrFlags.size()) {
        return &attrIndex;
    }
    if (table.data() == syntaxFlags.data() && table.size() == syntaxFlags.size()) {
        return &syntaxIndex;
    }
    return nullptr;
}

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
    if (const FoldedNames* folded = foldedTable(table)) {
        return folded->find(text);
    }
    for (const FlagName& flag : table) {
        if (namesEqual(text, flag.text)) {
            return flag.bit;
        }
    }
    return std::nullopt;
}

const char* syntaxIdName(std::uint32_t id) {
    // The names are literals, so their views end in a NUL.
    if (id < syntaxIds.size()) {
        return syntaxIds[id].data();
    }
    return id == syntaxCountId ? syntaxCountName.data() : nullptr;
}

std::optional<std::uint32_t> syntaxIdByName(std::string_view text) {
    static const FoldedNames index = [] {
        FoldedNames folded;
        for (std::uint32_t id = 0; id < syntaxIds.size(); ++id) {
            folded.add(syntaxIds[id], id);
        }
        folded.add(syntaxCountName, syntaxCountId);
        return folded;
    }();
    return index.find(text);
}
