#pragma once

namespace dsclient {

// Closes every connection but the default one, as the end of a process
// would; for harnesses that run the program many times in one process.
void closeConnections();

}  // namespace dsclient
