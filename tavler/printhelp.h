#pragma once

#include <ostream>

// Clears the console when standard output is a terminal and writes the usage
// screen on standard output.
void PrintHelp();

// Writes the 25 lines of the usage screen on `os`; the last has no line end.
void writeUsageScreen(std::ostream& os);
