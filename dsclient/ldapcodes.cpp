#include "dsclient/ldapcodes.h"

#include <ldap.h>

#include "dscontext/dsclient.h"

namespace dsclient {

namespace {

// Failures of the connection or the client, whichever operation met them.
bool isTransportFailure(int rc) {
    switch (rc) {
        case LDAP_SERVER_DOWN:
        case LDAP_CONNECT_ERROR:
        case LDAP_TIMEOUT:
        case LDAP_NO_MEMORY:
        case LDAP_DECODING_ERROR:
        case LDAP_ENCODING_ERROR:
            return true;
        default:
            return false;
    }
}

}  // namespace

std::int32_t bindFailureCode(int rc, bool sasl) {
    switch (rc) {
        case LDAP_TIMEOUT:
            return QXERR_TIMEOUT;
        case LDAP_NO_MEMORY:
            return QXERR_OUT_OF_MEMORY;
        case LDAP_INVALID_CREDENTIALS:
        case LDAP_INAPPROPRIATE_AUTH:
        case LDAP_AUTH_METHOD_NOT_SUPPORTED:
        case LDAP_STRONG_AUTH_REQUIRED:
        case LDAP_CONFIDENTIALITY_REQUIRED:
        case LDAP_UNWILLING_TO_PERFORM:
        case LDAP_INSUFFICIENT_ACCESS:
        case LDAP_INVALID_DN_SYNTAX:
        case LDAP_AUTH_UNKNOWN:
            return QXERR_BIND_REFUSED;
        default:
            return sasl && !isTransportFailure(rc) ? QXERR_BIND_REFUSED : QXERR_SERVER_ERROR;
    }
}

std::int32_t readFailureCode(int rc) {
    switch (rc) {
        case LDAP_TIMEOUT:
        case LDAP_TIMELIMIT_EXCEEDED:
            return QXERR_TIMEOUT;
        case LDAP_NO_MEMORY:
            return QXERR_OUT_OF_MEMORY;
        case LDAP_SERVER_DOWN:
        case LDAP_CONNECT_ERROR:
            return QXERR_CONNECTION_LOST;
        case LDAP_INSUFFICIENT_ACCESS:
        case LDAP_OPERATIONS_ERROR:
        case LDAP_INAPPROPRIATE_AUTH:
        case LDAP_CONFIDENTIALITY_REQUIRED:
            return QXERR_ACCESS_DENIED;
        case LDAP_NO_SUCH_OBJECT:
            return QXERR_NO_SUBSCHEMA;
        default:
            return QXERR_SERVER_ERROR;
    }
}

}  // namespace dsclient
