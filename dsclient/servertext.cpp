#include "dsclient/servertext.h"

#include "toollib/utf8.h"

namespace dsclient {

std::string shownServerText(std::string_view text, const std::string& secret) {
    if (!secret.empty() && text.find(secret) != std::string_view::npos) {
        return "the server's text is withheld: it contains the password";
    }
    std::string shown;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        const auto byte = static_cast<unsigned char>(c);
        if (shown.size() >= maxShownServerText) {
            // The bytes of a character that the cut would split were copied
            // as they are, never escaped: they go whole.
            const std::size_t cut = utf8CutPoint(text, at);
            const bool verbatim = (static_cast<unsigned char>(text[cut]) & 0x80) != 0;
            shown.resize(shown.size() - (at - cut) + (verbatim || cut == at ? 0 : 1));
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
