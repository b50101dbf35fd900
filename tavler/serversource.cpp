#include "tavler/serversource.h"

#include <sys/stat.h>

#include "dscontext/dsclient.h"
#include "dscontext/errorline.h"
#include "toollib/heapmemory.h"
#include "toollib/namecompare.h"

bool hasServerScheme(const std::string& word) {
    return QXNameHasSourceScheme(word.c_str()) == 1;
}

bool attachServer(ServerState& state, int i, const std::string& shownName,
                  const std::string& typedName) {
    std::uint32_t& connHandle = state.connHandle.at(static_cast<std::size_t>(i));
    // A connection some invocation already holds is used, not opened again.
    if (QXGetConnectionIDFromName(static_cast<std::uint32_t>(typedName.size()), typedName.c_str(),
                                  &connHandle) != QX_SUCCESS) {
        if (const std::int32_t code = QXGetDefaultConnectionID(&state.curConnID);
            code != QX_SUCCESS) {
            state.failure = reportLibraryError(
                "Could not get default connection ID.  QXGetDefaultConnectionID returned ", code,
                *state.errorLines);
            return false;
        }
        if (const std::int32_t code =
                QXCCOpenConnByName(state.curConnID, typedName.c_str(), QX_NAME_FORMAT_SERVER,
                                   QX_OPEN_STATE_DEFAULT, QX_TRANSPORT_ANY, &connHandle);
            code != QX_SUCCESS) {
            state.failure = reportLibraryError(
                "Could not attach to server " + shownName + ".  QXCCOpenConnByName returned ", code,
                *state.errorLines);
            return false;
        }
        state.closeConn.at(static_cast<std::size_t>(i)) = true;
    }
    if (const std::int32_t code = QXDSSetContext(
            state.contextHandle.at(static_cast<std::size_t>(i)), QX_CTX_CONNECTION, &connHandle);
        code != QX_SUCCESS) {
        state.failure = reportLibraryError("QXDSSetContext returned ", code, *state.errorLines);
        return false;
    }
    return true;
}

void closeServers(const ServerState& state) {
    for (std::size_t i = 0; i < state.closeConn.size(); ++i) {
        if (state.closeConn[i]) {
            QXCCCloseConn(state.connHandle[i]);
        }
    }
}

void readyHeapForSchemaFile(const std::string& typedName) {
    std::string path = typedName;
    if (startsWithName(path, "file:")) {
        path.erase(0, 5);
        if (path.rfind("//", 0) == 0) {
            path.erase(0, 2);
        }
    }
    struct stat status {};
    if (stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
        reserveHeap(3 * static_cast<std::uint64_t>(status.st_size));
    }
}
