#include "toollib/schemadesc/descriptionreader.h"

#include <ldap_schema.h>

#include <string>

#include "ldapparse.h"

namespace schemadesc {

using namespace detail;

namespace {

// No empty NAME, and at least an OID or a NAME.
bool usableNames(const CStringList& names, std::string_view oid) {
    for (const std::string_view name : names) {
        if (name.empty()) {
            return false;
        }
    }
    return !names.empty() || !oid.empty();
}

}  // namespace

CStringList::CStringList(char* const* items) : items_(items) {
    for (char* const* item = items; item != nullptr && *item != nullptr; ++item) {
        ++size_;
    }
}

void LdapAttrFree::operator()(ldap_attributetype* parsed) const {
    ldap_attributetype_free(parsed);
}

void LdapClassFree::operator()(ldap_objectclass* parsed) const {
    ldap_objectclass_free(parsed);
}

bool AttrReader::read(const std::string& text, const OidMacros& macros) {
    parsed_.reset(parsedIn<LDAPAttributeType, ldap_str2attributetype>(text, macros, padded_));
    if (!parsed_) {
        return false;
    }
    assignDefinitionOid(oid_, parsed_->at_oid, text, macros);
    if (!usableNames(names(), oid_)) {
        return false;
    }
    equality_.assign(parsed_->at_equality_oid != nullptr ? parsed_->at_equality_oid : "");
    if (!macros.empty()) {
        equality_ = macros.expand(std::move(equality_));
    }
    return assignNumericSyntax(syntax_, parsed_->at_syntax_oid, macros);
}

CStringList AttrReader::names() const {
    return CStringList(parsed_->at_names);
}
std::string_view AttrReader::superior() const {
    return parsed_->at_sup_oid != nullptr ? parsed_->at_sup_oid : "";
}
bool AttrReader::bounded() const {
    return !syntax_.empty() && parsed_->at_syntax_len != 0;
}
bool AttrReader::singleValue() const {
    return parsed_->at_single_value != 0;
}
bool AttrReader::noUserModification() const {
    return parsed_->at_no_user_mod != 0;
}
AttrUsage AttrReader::usage() const {
    return attrUsage(parsed_->at_usage);
}

bool ClassReader::read(const std::string& text, const OidMacros& macros) {
    parsed_.reset(parsedIn<LDAPObjectClass, ldap_str2objectclass>(text, macros, padded_));
    if (!parsed_) {
        return false;
    }
    assignDefinitionOid(oid_, parsed_->oc_oid, text, macros);
    return usableNames(names(), oid_);
}

CStringList ClassReader::names() const {
    return CStringList(parsed_->oc_names);
}
ClassKind ClassReader::kind() const {
    return classKind(parsed_->oc_kind);
}
CStringList ClassReader::superiors() const {
    return CStringList(parsed_->oc_sup_oids);
}
CStringList ClassReader::must() const {
    return CStringList(parsed_->oc_at_oids_must);
}
CStringList ClassReader::may() const {
    return CStringList(parsed_->oc_at_oids_may);
}

}  // namespace schemadesc
