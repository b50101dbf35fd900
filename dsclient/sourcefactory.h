#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "dsclient/source.h"

namespace dsclient {

// The source a name stands for, and how the library serves its reads.
struct ChosenSource {
    std::unique_ptr<Source> source;  // null: the name stands for no source
    // The most definitions one reply part may hold; 0 for as many as fit.
    std::size_t partLimit = 0;
    // The name of another source that answers reads in this one's place, or
    // an empty text when the source answers itself.
    std::string referral;
};

// Chooses sources ahead of the library's own forms of name, answering a
// null source for the names it leaves to them. Programs install none; a test
// harness installs one to stand its own sources in for servers.
using SourceFactory = std::function<ChosenSource(const std::string& name)>;

// Installs `factory` in place of any before; an empty one removes it.
void installSourceFactory(SourceFactory factory);

// Chooses the source that the name `name` (as typed) stands for: the
// installed factory's, else by the form of the name. A null source when the
// name is no form this library knows (QXERR_NO_SUCH_SERVER).
ChosenSource makeSource(const std::string& name);

// The source `name` stands for, made to be opened and fetched on a thread
// of its own (it writes neither progress nor notes: see takeHeldNotes): a
// built-in source only, and none for a name the installed factory claims,
// nor for a server whose bind would ask for a password not given yet.
std::unique_ptr<Source> makeAheadSource(const std::string& name);

// Why `name` is no source, for the diagnostic of QXERR_NO_SUCH_SERVER.
std::string noSourceReason(const std::string& name);

// True when `name` begins with the scheme of a kind of source: file:,
// ldap://, ldaps:// or ldapi:// (letter case ignored).
bool hasSourceScheme(std::string_view name);

// The key under which an open connection to `name` is found again: names of
// one source give one key (a file path compared exactly, a host name without
// regard to letter case).
std::string connectionKey(const std::string& name);

}  // namespace dsclient
