#include "tavler/abnormalend.h"

#include <cstdlib>
#include <iostream>

#include "toollib/progress.h"

TextStreamParser openOrEnd(const std::string& fileName) {
    TextStreamParser tsp(fileName);
    if (!tsp.isOpen()) {
        cantOpen(fileName);
    }
    return tsp;
}

void cantOpen(const std::string& fileName) {
    std::cout.flush();
    std::cout << "\nCan't open " << fileName << '\n';
    abnormalEnd();
}

namespace {

AbnormalExit abnormalExit = nullptr;

}  // namespace

void setAbnormalExit(AbnormalExit exitStep) {
    abnormalExit = exitStep;
}

void outOfMemory() {
    std::cout.flush();
    // On a line of its own, not at the end of the status line.
    blankStatusLine();
    std::cerr << "Out of memory\n";
    abnormalEnd();
}

void abnormalEnd() {
    std::cout.flush();
    std::cerr << "Abnormal program termination\n";
    std::cerr.flush();
    if (abnormalExit != nullptr) {
        abnormalExit();
    }
    std::_Exit(3);
}
