#include "tavler/serversource.h"

#include <cstdio>
#include <iostream>

namespace {

// This build carries no directory client, so no server can be reached and
// every attach fails with this code.
constexpr std::int32_t noDirectoryClient = -1;

}  // namespace

std::string formatCode(std::int32_t code) {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%x", static_cast<std::uint32_t>(code));
    return std::to_string(code) + ":" + hex;
}

bool attachServer(const std::string& serverName) {
    std::cout << "Could not attach to server " << serverName << ".  QXCCOpenConnByName returned "
              << formatCode(noDirectoryClient) << '\n';
    return false;
}
