#pragma once

#include <ostream>

// Clears the console when standard output is a terminal and writes the usage
// screen on standard output.
void PrintHelp();

// Writes the 25 lines of the usage screen on `os`; the last has no line end.
void writeUsageScreen(std::ostream& os);

// The answer to --help: the usage screen, never clearing the console, then
// the forms of a schema source, the options and the exit statuses.
void writeHelp(std::ostream& os);

// The answer to --version: the program's name and version, one line.
void writeVersion(std::ostream& os);
