#include "dscontext/errorline.h"

#include <array>
#include <charconv>
#include <iostream>
#include <new>
#include <vector>

#include "dscontext/dsclient.h"

std::string formatCode(std::int32_t code) {
    std::array<char, 8> hex{};
    const auto end =
        std::to_chars(hex.data(), hex.data() + hex.size(), static_cast<std::uint32_t>(code), 16)
            .ptr;
    std::string shown = std::to_string(code);
    shown += ':';
    shown.append(hex.data(), end);
    return shown;
}

std::string reportLibraryError(const std::string& text, std::int32_t code, std::ostream& lineOut) {
    if (code == QXERR_OUT_OF_MEMORY) {
        // Memory that ran out ends the run wherever it happened; the
        // library only passed it on as a code.
        throw std::bad_alloc();
    }
    // Read before anything else calls the library, which clears the text.
    std::string detail(QXGetLastErrorText(nullptr, 0) + 1, '\0');
    detail.resize(QXGetLastErrorText(detail.data(), detail.size()));
    std::string line = text + formatCode(code);
    lineOut << line << '\n';
    if (detail.empty()) {
        return line;
    }
    // Padded to the status line's width, so that on a terminal it covers
    // the status line it is written over.
    constexpr std::size_t statusWidth = 79;
    std::string padded = detail;
    if (padded.size() < statusWidth) {
        padded.resize(statusWidth, ' ');
    }
    std::cout.flush();
    std::cerr << padded << '\n';
    return detail;
}
