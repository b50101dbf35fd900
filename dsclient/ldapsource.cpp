#include "dsclient/ldapsource.h"

#include <utility>

#include "dsclient/conversion.h"
#include "dsclient/descriptions.h"
#include "dsclient/ldapsession.h"
#include "dsclient/quietpipe.h"
#include "dscontext/dsclient.h"
#include "toollib/progress.h"

namespace dsclient {

LdapSource::LdapSource(std::string name, bool showsProgress)
    : name_(std::move(name)), showsProgress_(showsProgress) {}

LdapSource::~LdapSource() = default;

std::string LdapSource::serverName() const {
    if (!address_) {
        return name_;
    }
    if (address_->scheme == LdapScheme::ldapi || !address_->portGiven) {
        return address_->host;
    }
    return address_->host + ":" + std::to_string(address_->port);
}

std::int32_t LdapSource::open(std::string& diagnostic) {
    const QuietPipe quiet;
    // Resolving, connecting and binding may each wait for the network: the
    // terminal shows meanwhile what was done before, not turns held back.
    if (showsProgress_) {
        flushProgress();
    }
    address_ = parseLdapName(name_, diagnostic);
    if (!address_) {
        diagnostic = name_ + ": " + diagnostic;
        return QXERR_NO_SUCH_SERVER;
    }
    session_ = std::make_unique<LdapSession>(name_, *address_, showsProgress_);
    return session_->open(diagnostic);
}

std::int32_t LdapSource::fetch(SchemaContent& content, std::string& diagnostic) {
    Descriptions descriptions;
    if (const std::int32_t code =
            readDescriptions(descriptions, LdapSession::SchemaRead::listing, diagnostic);
        code != QX_SUCCESS) {
        return code;
    }
    content = convertDescriptions(std::move(descriptions));
    return QX_SUCCESS;
}

std::int32_t LdapSource::fetchDescriptions(Descriptions& out, std::string& diagnostic) {
    Descriptions descriptions;
    if (const std::int32_t code =
            readDescriptions(descriptions, LdapSession::SchemaRead::whole, diagnostic);
        code != QX_SUCCESS) {
        return code;
    }
    out = std::move(descriptions);
    return QX_SUCCESS;
}

std::int32_t LdapSource::readDescriptions(Descriptions& out, LdapSession::SchemaRead read,
                                          std::string& diagnostic) {
    const QuietPipe quiet;
    if (!session_ || !session_->connected()) {
        diagnostic = name_ + ": not connected";
        return QXERR_NOT_CONNECTED;
    }
    return session_->readSchema(out, serverName(), read, diagnostic);
}

}  // namespace dsclient
