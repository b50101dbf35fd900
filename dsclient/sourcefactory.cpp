#include <memory>
#include <string>

#include "dsclient/filesource.h"
#include "dsclient/ldapsource.h"
#include "dsclient/memorydirectory.h"
#include "dsclient/source.h"
#include "toollib/namecompare.h"

namespace dsclient {

std::unique_ptr<Source> makeSource(const std::string& name) {
    if (const memory::Server* server = memory::findServer(name)) {
        return std::make_unique<memory::MemorySource>(*server);
    }
    if (isFileSourceName(name)) {
        return std::make_unique<FileSource>(name);
    }
    if (isLdapName(name) && !memory::offline()) {
        return std::make_unique<LdapSource>(name);
    }
    return nullptr;
}

std::string noSourceReason(const std::string& name) {
    if (isLdapName(name)) {
        return name + ": no such server";  // only the in-memory directory gets here
    }
    // A path typed without file: is the usual slip; only a word with a
    // slash can be one, as a bare word may as well be a host.
    const std::string hint =
        name.find('/') != std::string::npos ? localSourceHint(name) : std::string();
    return name + ": not a host name, URL or schema file name" + hint;
}

std::string connectionKey(const std::string& name) {
    if (memory::findServer(name) == nullptr && isFileSourceName(name)) {
        return "file:" + fileSourcePath(name);
    }
    if (memory::findServer(name) == nullptr && isLdapName(name)) {
        return ldapConnectionKey(name);
    }
    std::string key = name;
    for (char& c : key) {
        c = foldName(c);
    }
    return key;
}

}  // namespace dsclient
