#include "dsclient/replybuffer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "dsclient/servertext.h"
#include "dscontext/dsclient.h"

namespace dsclient {

namespace {

constexpr char countTag = 'N';
constexpr char classTag = 'C';
constexpr char itemCountTag = 'K';
constexpr char itemTag = 'I';
constexpr char attrTag = 'A';
constexpr char syntaxTag = 'S';

constexpr std::size_t nameSize(std::string_view name) {
    return 4 + name.size();
}

}  // namespace

void ReplyBuffer::putTag(char tag) {
    bytes_.push_back(static_cast<unsigned char>(tag));
}

void ReplyBuffer::put32(std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        bytes_.push_back(static_cast<unsigned char>(value >> shift));
    }
}

void ReplyBuffer::putName(std::string_view name) {
    put32(static_cast<std::uint32_t>(name.size()));
    bytes_.insert(bytes_.end(), name.begin(), name.end());
}

// The count item at the start of the part follows every definition added.
void ReplyBuffer::countOne() {
    ++partCount_;
    for (int i = 0; i < 4; ++i) {
        bytes_[2 + i] = static_cast<unsigned char>(partCount_ >> (8 * i));
    }
}

void ReplyBuffer::startPart(Kind kind) {
    bytes_.clear();
    cursor_ = 0;
    partCount_ = 0;
    putTag(countTag);
    putTag(static_cast<char>(kind));
    put32(0);
}

bool ReplyBuffer::append(const ClassDefinition& def) {
    std::size_t size = 1 + 4 + nameSize(def.name);
    for (const auto& list : def.lists) {
        size += 1 + 4;
        for (const std::string_view item : list) {
            size += 1 + nameSize(item);
        }
    }
    if (!fits(size)) {
        return false;
    }
    putTag(classTag);
    put32(def.flags);
    putName(def.name);
    for (const auto& list : def.lists) {
        putTag(itemCountTag);
        put32(static_cast<std::uint32_t>(list.size()));
        for (const std::string_view item : list) {
            putTag(itemTag);
            putName(item);
        }
    }
    countOne();
    return true;
}

bool ReplyBuffer::append(const AttrDefinition& def) {
    if (!fits(1 + 4 + 4 + nameSize(def.name))) {
        return false;
    }
    putTag(attrTag);
    put32(def.flags);
    put32(def.syntaxId);
    putName(def.name);
    countOne();
    return true;
}

bool ReplyBuffer::append(const SyntaxDefinition& def) {
    if (!fits(1 + 4 + nameSize(def.name))) {
        return false;
    }
    putTag(syntaxTag);
    put32(def.flags);
    putName(def.name);
    countOne();
    return true;
}

void ReplyBuffer::assign(std::vector<unsigned char> bytes) {
    bytes_ = std::move(bytes);
    cursor_ = 0;
    partCount_ = 0;
}

bool ReplyBuffer::read32(std::size_t& at, std::uint32_t& value) const {
    if (bytes_.size() < at || bytes_.size() - at < 4) {
        return false;
    }
    value = 0;
    for (int i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(bytes_[at + i]) << (8 * i);
    }
    at += 4;
    return true;
}

bool ReplyBuffer::readName(std::size_t& at, const unsigned char*& text,
                           std::uint32_t& length) const {
    std::size_t next = at;
    if (!read32(next, length) || bytes_.size() - next < length) {
        return false;
    }
    text = bytes_.data() + next;
    at = next + length;
    return true;
}

std::int32_t ReplyBuffer::expect(char tag) const {
    if (cursor_ >= bytes_.size()) {
        return QXERR_NO_MORE_ITEMS;
    }
    return bytes_[cursor_] == static_cast<unsigned char>(tag) ? QX_SUCCESS : QXERR_WRONG_ITEM;
}

// Copies the name at `at` into `name` and moves `at` past it. A name that
// does not fit is not copied at all: callers must never see a cut name.
std::int32_t ReplyBuffer::takeName(std::size_t& at, char* name) {
    const unsigned char* text = nullptr;
    std::uint32_t length = 0;
    if (!readName(at, text, length)) {
        return QXERR_WRONG_ITEM;
    }
    if (length > QX_MAX_NAME_LEN) {
        // Enough of it to be recognised; the note cuts it shorter still.
        longName_.assign(reinterpret_cast<const char*>(text), std::min<std::size_t>(length, 256));
        return QXERR_NAME_TOO_LONG;
    }
    if (length != 0) {
        std::memcpy(name, text, length);
    }
    name[length] = '\0';
    return QX_SUCCESS;
}

std::int32_t ReplyBuffer::getCount(Kind kind, std::uint32_t& count) {
    if (std::int32_t code = expect(countTag); code != QX_SUCCESS) {
        return code;
    }
    std::size_t at = cursor_ + 2;
    if (at > bytes_.size() || bytes_[at - 1] != static_cast<unsigned char>(kind) ||
        !read32(at, count)) {
        return QXERR_WRONG_ITEM;
    }
    cursor_ = at;
    return QX_SUCCESS;
}

std::int32_t ReplyBuffer::getItemCount(std::uint32_t& count) {
    if (std::int32_t code = expect(itemCountTag); code != QX_SUCCESS) {
        return code;
    }
    std::size_t at = cursor_ + 1;
    if (!read32(at, count)) {
        return QXERR_WRONG_ITEM;
    }
    cursor_ = at;
    return QX_SUCCESS;
}

// One named item: its tag, `words` 32-bit values, then a name. The walk
// moves past it unless it is damaged; a name too long is passed over.
std::int32_t ReplyBuffer::getNamed(char tag, std::size_t words,
                                   std::array<std::uint32_t, 2>& values, char* name) {
    if (std::int32_t code = expect(tag); code != QX_SUCCESS) {
        return code;
    }
    std::size_t at = cursor_ + 1;
    for (std::size_t k = 0; k < words; ++k) {
        if (!read32(at, values[k])) {
            return QXERR_WRONG_ITEM;
        }
    }
    const std::int32_t code = takeName(at, name);
    if (code != QXERR_WRONG_ITEM) {
        cursor_ = at;
    }
    return code;
}

// A reader that stops at a name too long should be able to say which one,
// among thousands of definitions.
void ReplyBuffer::noteLongName(const std::string& what) {
    longNameNote_ = what + " is longer than " + std::to_string(QX_MAX_NAME_LEN) +
                    " bytes: " + shownServerText(longName_, {});
}

std::int32_t ReplyBuffer::getClass(char* name, std::uint32_t& flags) {
    std::array<std::uint32_t, 2> values{};
    const std::int32_t code = getNamed(classTag, 1, values, name);
    if (code == QX_SUCCESS) {
        flags = values[0];
        currentClass_ = name;
    }
    if (code == QXERR_NAME_TOO_LONG) {
        noteLongName("a class name");
    }
    return code;
}

std::int32_t ReplyBuffer::getItem(char* name) {
    std::array<std::uint32_t, 2> values{};
    const std::int32_t code = getNamed(itemTag, 0, values, name);
    // The note is worked out only for the name that needs it: an item is
    // asked for hundreds of thousands of times.
    if (code == QXERR_NAME_TOO_LONG) {
        noteLongName("a name in class " + shownServerText(currentClass_, {}));
    }
    return code;
}

std::int32_t ReplyBuffer::getAttr(char* name, std::uint32_t& flags, std::uint32_t& syntaxId) {
    std::array<std::uint32_t, 2> values{};
    const std::int32_t code = getNamed(attrTag, 2, values, name);
    if (code == QX_SUCCESS) {
        flags = values[0];
        syntaxId = values[1];
    }
    if (code == QXERR_NAME_TOO_LONG) {
        noteLongName("an attribute name");
    }
    return code;
}

std::int32_t ReplyBuffer::getSyntax(char* name, std::uint16_t& flags) {
    std::array<std::uint32_t, 2> values{};
    const std::int32_t code = getNamed(syntaxTag, 1, values, name);
    if (code == QX_SUCCESS) {
        flags = static_cast<std::uint16_t>(values[0]);
    }
    if (code == QXERR_NAME_TOO_LONG) {
        noteLongName("a syntax name");
    }
    return code;
}

}  // namespace dsclient
