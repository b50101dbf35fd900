#include "dsclient/sourcefactory.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "dsclient/filesource.h"
#include "dsclient/ldapaddress.h"
#include "dsclient/ldapsource.h"
#include "dsclient/password.h"
#include "dscontext/dsclient.h"
#include "toollib/namecompare.h"

namespace dsclient {

namespace {

SourceFactory& installed() {
    static SourceFactory factory;
    return factory;
}

bool claimedByFactory(const std::string& name) {
    return installed() && installed()(name).source != nullptr;
}

}  // namespace

void installSourceFactory(SourceFactory factory) {
    installed() = std::move(factory);
}

ChosenSource makeSource(const std::string& name) {
    if (installed()) {
        if (ChosenSource chosen = installed()(name); chosen.source) {
            return chosen;
        }
    }
    ChosenSource chosen;
    if (isFileSourceName(name)) {
        chosen.source = std::make_unique<FileSource>(name);
    } else if (isLdapName(name)) {
        chosen.source = std::make_unique<LdapSource>(name);
    }
    return chosen;
}

std::unique_ptr<Source> makeAheadSource(const std::string& name) {
    if (claimedByFactory(name)) {
        return nullptr;
    }
    if (isFileSourceName(name)) {
        return std::make_unique<FileSource>(name, true);
    }
    if (!isLdapName(name)) {
        return nullptr;
    }
    // A name that does not parse fails its open the same way on any thread.
    std::string why;
    if (const std::optional<LdapAddress> address = parseLdapName(name, why);
        address && !address->bindDn.empty() && !passwordKnown(address->bindDn)) {
        return nullptr;
    }
    return std::make_unique<LdapSource>(name, false);
}

std::string noSourceReason(const std::string& name) {
    // A path typed without file: is the usual slip; only a word with a
    // slash can be one, as a bare word may as well be a host.
    const std::string hint =
        name.find('/') != std::string::npos ? localSourceHint(name) : std::string();
    return name + ": not a host name, URL or schema file name" + hint;
}

bool hasSourceScheme(std::string_view name) {
    return hasFileScheme(name) || hasLdapScheme(name);
}

std::string connectionKey(const std::string& name) {
    if (!claimedByFactory(name) && isFileSourceName(name)) {
        return "file:" + fileSourcePath(name);
    }
    if (!claimedByFactory(name) && isLdapName(name)) {
        return ldapConnectionKey(name);
    }
    std::string key = name;
    for (char& c : key) {
        c = foldName(c);
    }
    return key;
}

}  // namespace dsclient

// Outside the other calls' guard: a question about a name's form, which
// neither fails nor belongs in a log of the calls that work with sources.
extern "C" int32_t QXNameHasSourceScheme(const char* name) {
    return name != nullptr && dsclient::hasSourceScheme(name) ? 1 : 0;
}
