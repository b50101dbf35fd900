#include "dsclient/servertext.h"

namespace dsclient {

std::string shownServerText(std::string_view text, const std::string& secret) {
    if (!secret.empty() && text.find(secret) != std::string_view::npos) {
        return "the server's text is withheld: it contains the password";
    }
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (shown.size() >= maxShownServerText) {
            while (!shown.empty() && (static_cast<unsigned char>(shown.back()) & 0xC0) == 0x80) {
                shown.pop_back();
            }
            if (!shown.empty() && (static_cast<unsigned char>(shown.back()) & 0x80) != 0) {
                shown.pop_back();  // the lead byte of the sequence cut off
            }
            return shown + " ...";
        }
        if (byte < 0x20 || byte == 0x7F) {
            static constexpr char digits[] = "0123456789ABCDEF";
            shown += "\\x";
            shown += digits[byte >> 4];
            shown += digits[byte & 0xF];
        } else {
            shown += c;
        }
    }
    return shown;
}

}  // namespace dsclient
