#pragma once

#include <functional>
#include <string>
#include <vector>

namespace dsclient {

// Runs `handshake` (a libldap call that sets up TLS) with libldap's debug
// log raised to trace level and kept from the terminal; the log's lines
// that begin with "TLS:" go to `lines`. libldap's debug level and log
// function are put back before this returns. libldap leaves the cause of a
// certificate that does not verify only in that log, its diagnostic saying
// "unknown error code". The log is process-wide: captures on several
// threads take turns, and each keeps only the lines its own thread logged.
int capturingTlsLog(std::vector<std::string>& lines, const std::function<int()>& handshake);

// What the captured TLS log lines say is wrong with the server's
// certificate, as a diagnostic ("TLS: the server's certificate ..."), for a
// connection to `host` as the user named it; empty when they name no cause
// known here. Names from the certificate are shown as server text is.
std::string tlsCause(const std::vector<std::string>& lines, const std::string& host,
                     const std::string& secret);

}  // namespace dsclient
