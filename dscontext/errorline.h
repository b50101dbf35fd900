#pragma once

#include <cstdint>
#include <iostream>
#include <string>

// A completion code as the error lines show it: signed decimal, a colon, and
// the 32-bit pattern in lower-case hexadecimal (-601 shows as -601:fffffda7).
std::string formatCode(std::int32_t code);

// Writes the library error line `text` followed by the formatted code on
// `lineOut` (standard output unless a caller keeps that for JSON). When the library said more about
// the failure (the file and line of a description that does not parse, say), that goes to standard
// error as one line, so the listing on standard output stays clean. The code for exhausted memory
// writes nothing and throws std::bad_alloc, so that the run ends as every other exhaustion of
// memory does. The result is the failure in one line, for a summary: the library's own text when it
// gave one, else the error line.
std::string reportLibraryError(const std::string& text, std::int32_t code,
                               std::ostream& lineOut = std::cout);
