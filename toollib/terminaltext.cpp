#include "toollib/terminaltext.h"

#include <unistd.h>

#include <array>
#include <ostream>

namespace {

bool isControl(unsigned char c) {
    return (c < 0x20 && c != '\t' && c != '\n') || c == 0x7F;
}

void showByte(unsigned char c, std::string& out) {
    constexpr std::array<char, 16> hex{'0', '1', '2', '3', '4', '5', '6', '7',
                                       '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
    out += "\\x";
    out += hex[c >> 4];
    out += hex[c & 0x0F];
}

}  // namespace

std::string terminalSafe(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (isControl(byte)) {
            showByte(byte, out);
        } else {
            out += c;
        }
    }
    return out;
}

TerminalSafeBuffer::int_type TerminalSafeBuffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return traits_type::not_eof(c);
    }
    const char byte = traits_type::to_char_type(c);
    return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
}

std::streamsize TerminalSafeBuffer::xsputn(const char* text, std::streamsize count) {
    // Plain runs go through in one piece; only control bytes are rewritten.
    std::streamsize start = 0;
    for (std::streamsize at = 0; at < count; ++at) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (!isControl(byte)) {
            continue;
        }
        if (target_->sputn(text + start, at - start) != at - start) {
            return start;
        }
        std::string shown;
        showByte(byte, shown);
        if (target_->sputn(shown.data(), static_cast<std::streamsize>(shown.size())) !=
            static_cast<std::streamsize>(shown.size())) {
            return at;
        }
        start = at + 1;
    }
    return start + target_->sputn(text + start, count - start);
}

int TerminalSafeBuffer::sync() {
    return target_->pubsync();
}

void protectTerminal(std::ostream& stream, int fd) {
    if (isatty(fd) == 0 || shownOnTerminal(stream)) {
        return;
    }
    // Never destroyed: the standard streams are flushed at exit, after the
    // static objects are gone, and must still find their buffer.
    stream.rdbuf(new TerminalSafeBuffer(stream.rdbuf()));
}

bool shownOnTerminal(const std::ostream& stream) {
    return dynamic_cast<const TerminalSafeBuffer*>(stream.rdbuf()) != nullptr;
}

std::streambuf* rawBuffer(std::ostream& stream) {
    if (const auto* safe = dynamic_cast<const TerminalSafeBuffer*>(stream.rdbuf())) {
        return safe->target();
    }
    return stream.rdbuf();
}
