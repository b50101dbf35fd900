// The directory library's reply buffers. With the first byte even, the rest
// is taken as buffer content and walked by Get calls in the order the input
// chooses: every call must answer a code, leave a terminated name of at most
// 65 bytes when it succeeds, and never read past the content (the
// sanitizers watch that). With it odd, the rest describes definitions that
// the library encodes, and walking the buffer must give them back exactly.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "dsclient/replybuffer.h"
#include "dscontext/dsclient.h"

namespace {

using dsclient::ReplyBuffer;

void check(bool holds, const char* what) {
    if (!holds) {
        std::cerr << "reply buffer: " << what << '\n';
        std::abort();
    }
}

void checkName(std::int32_t code, const char* name) {
    if (code == QX_SUCCESS) {
        check(std::memchr(name, '\0', QX_NAME_BUF_SIZE) != nullptr, "a name without its end");
    }
}

void walkAnyContent(const std::uint8_t* data, std::size_t size) {
    // The first quarter chooses the calls, the rest is the content.
    const std::size_t calls = size / 4;
    ReplyBuffer buffer(QX_REPLY_BUF_SIZE);
    buffer.assign(std::vector<unsigned char>(data + calls, data + size));
    for (std::size_t n = 0; n < calls; ++n) {
        char name[QX_NAME_BUF_SIZE];
        std::memset(name, 'x', sizeof name);
        std::uint32_t value = 0;
        std::uint32_t other = 0;
        std::uint16_t small = 0;
        switch (data[n] % 8) {
            case 0:
                buffer.getCount(ReplyBuffer::Kind::classes, value);
                break;
            case 1:
                buffer.getCount(
                    data[n] & 8 ? ReplyBuffer::Kind::attrs : ReplyBuffer::Kind::syntaxes, value);
                break;
            case 2:
                checkName(buffer.getClass(name, value), name);
                break;
            case 3:
                buffer.getItemCount(value);
                break;
            case 4:
                checkName(buffer.getItem(name), name);
                break;
            case 5:
                checkName(buffer.getAttr(name, value, other), name);
                break;
            default:
                checkName(buffer.getSyntax(name, small), name);
                break;
        }
    }
}

// Names and numbers taken from the input, a byte at a time.
class Reader {
  public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool more() const { return at_ < size_; }
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint32_t word() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            value = value << 8 | byte();
        }
        return value;
    }
    std::string name() {
        const std::size_t length = byte() % 80;
        std::string text;
        for (std::size_t i = 0; i < length && more(); ++i) {
            text += static_cast<char>(byte() | 1);  // no NUL inside a name
        }
        return text;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

void roundTrip(const std::uint8_t* data, std::size_t size) {
    Reader in(data, size);
    std::vector<dsclient::ClassDefinition> defs;
    ReplyBuffer buffer(QX_MIN_REPLY_BUF_SIZE + in.byte() * 64);
    buffer.startPart(ReplyBuffer::Kind::classes);
    while (in.more()) {
        dsclient::ClassDefinition def{in.name(), in.word(), {}};
        for (auto& list : def.lists) {
            for (std::size_t n = in.byte() % 4; n > 0; --n) {
                list.push_back(in.name());
            }
        }
        if (!buffer.append(def)) {
            break;
        }
        defs.push_back(def);
    }
    std::uint32_t count = 0;
    check(buffer.getCount(ReplyBuffer::Kind::classes, count) == QX_SUCCESS, "no count");
    check(count == defs.size(), "a count that is not the number appended");
    for (const dsclient::ClassDefinition& def : defs) {
        char name[QX_NAME_BUF_SIZE];
        std::uint32_t flags = 0;
        const std::int32_t code = buffer.getClass(name, flags);
        if (def.name.size() > QX_MAX_NAME_LEN) {
            check(code == QXERR_NAME_TOO_LONG, "a long name handed out");
        } else {
            check(code == QX_SUCCESS && name == def.name && flags == def.flags, "a class changed");
        }
        for (const auto& list : def.lists) {
            std::uint32_t items = 0;
            check(buffer.getItemCount(items) == QX_SUCCESS && items == list.size(),
                  "an item count changed");
            for (const std::string_view item : list) {
                const std::int32_t itemCode = buffer.getItem(name);
                check(item.size() > QX_MAX_NAME_LEN ? itemCode == QXERR_NAME_TOO_LONG
                                                    : itemCode == QX_SUCCESS && name == item,
                      "an item changed");
            }
        }
    }
    char name[QX_NAME_BUF_SIZE];
    check(buffer.getItem(name) == QXERR_NO_MORE_ITEMS, "items after the last definition");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    if (data[0] % 2 == 0) {
        walkAnyContent(data + 1, size - 1);
    } else {
        roundTrip(data + 1, size - 1);
    }
    return 0;
}
