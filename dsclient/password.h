#pragma once

#include <optional>
#include <string>

namespace dsclient {

// The password for binding as `bindDn`: asked for once per DN in the
// process, on the terminal without echo when standard input is one, else
// taken as the next line of standard input. Never written anywhere. Empty
// when there is nothing to read (no terminal and standard input at its end).
std::optional<std::string> bindPassword(const std::string& bindDn);

// True when bindPassword would answer `bindDn` without asking: the password
// was given before in this process. Safe from any thread; only the thread
// that asks may prompt.
bool passwordKnown(const std::string& bindDn);

}  // namespace dsclient
