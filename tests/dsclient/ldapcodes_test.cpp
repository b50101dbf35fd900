// Which library code a libldap result becomes, by the step that met it.

#include "dsclient/ldapcodes.h"

#include <ldap.h>

#include <vector>

#include <gtest/gtest.h>

#include "dscontext/dsclient.h"

namespace {

TEST(LdapCodes, BindResults) {
    struct Case {
        int rc;
        std::int32_t simple, external;
    };
    const std::vector<Case> cases{
        {LDAP_INVALID_CREDENTIALS, QXERR_BIND_REFUSED, QXERR_BIND_REFUSED},
        {LDAP_INAPPROPRIATE_AUTH, QXERR_BIND_REFUSED, QXERR_BIND_REFUSED},
        {LDAP_AUTH_UNKNOWN, QXERR_BIND_REFUSED, QXERR_BIND_REFUSED},
        {LDAP_UNWILLING_TO_PERFORM, QXERR_BIND_REFUSED, QXERR_BIND_REFUSED},
        // What a SASL layer gives up with, on either side.
        {LDAP_LOCAL_ERROR, QXERR_SERVER_ERROR, QXERR_BIND_REFUSED},
        {LDAP_NOT_SUPPORTED, QXERR_SERVER_ERROR, QXERR_BIND_REFUSED},
        {LDAP_PARAM_ERROR, QXERR_SERVER_ERROR, QXERR_BIND_REFUSED},
        {LDAP_OTHER, QXERR_SERVER_ERROR, QXERR_BIND_REFUSED},
        {LDAP_PROTOCOL_ERROR, QXERR_SERVER_ERROR, QXERR_BIND_REFUSED},
        // Failures of the connection stay what they are.
        {LDAP_TIMEOUT, QXERR_TIMEOUT, QXERR_TIMEOUT},
        {LDAP_NO_MEMORY, QXERR_OUT_OF_MEMORY, QXERR_OUT_OF_MEMORY},
        {LDAP_DECODING_ERROR, QXERR_SERVER_ERROR, QXERR_SERVER_ERROR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ldap_err2string(c.rc));
        EXPECT_EQ(dsclient::bindFailureCode(c.rc, false), c.simple);
        EXPECT_EQ(dsclient::bindFailureCode(c.rc, true), c.external);
    }
}

TEST(LdapCodes, SchemaReadResults) {
    struct Case {
        int rc;
        std::int32_t code;
    };
    const std::vector<Case> cases{
        {LDAP_INSUFFICIENT_ACCESS, QXERR_ACCESS_DENIED},
        {LDAP_OPERATIONS_ERROR, QXERR_ACCESS_DENIED},
        {LDAP_INAPPROPRIATE_AUTH, QXERR_ACCESS_DENIED},
        {LDAP_CONFIDENTIALITY_REQUIRED, QXERR_ACCESS_DENIED},
        {LDAP_NO_SUCH_OBJECT, QXERR_NO_SUBSCHEMA},
        {LDAP_TIMELIMIT_EXCEEDED, QXERR_TIMEOUT},
        {LDAP_SERVER_DOWN, QXERR_CONNECTION_LOST},
        {LDAP_UNWILLING_TO_PERFORM, QXERR_SERVER_ERROR},
        {LDAP_OTHER, QXERR_SERVER_ERROR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ldap_err2string(c.rc));
        EXPECT_EQ(dsclient::readFailureCode(c.rc), c.code);
    }
}

}  // namespace
