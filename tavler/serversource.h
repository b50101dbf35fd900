#pragma once

#include <cstdint>
#include <string>

// A completion code as the error lines show it: signed decimal, a colon, and
// the 32-bit pattern in lower-case hexadecimal (-601 shows as -601:fffffda7).
std::string formatCode(std::int32_t code);

// Connects to the server `serverName` for reading its schema. On failure the reason
// has been written on standard output and the result is false.
bool attachServer(const std::string& serverName);
