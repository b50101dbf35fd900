#pragma once

#include <string>
#include <string_view>

namespace dsclient {

// Text a server sends (its diagnostic messages, the DN its root DSE names)
// is cut to this before it goes into a diagnostic line.
constexpr std::size_t maxShownServerText = 200;

// Server text as it may appear in a one-line diagnostic: control bytes as
// \xHH, no more than maxShownServerText bytes (never cut inside a UTF-8
// sequence), and not at all when it holds the bind password `secret`: a
// note says it was withheld instead. Masking the password inside the text
// would not do, as a password that is a common word or a digit gives itself
// away by where the mask stands.
std::string shownServerText(std::string_view text, const std::string& secret);

}  // namespace dsclient
