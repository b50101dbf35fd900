#include "toollib/progress.h"

#include <gtest/gtest.h>

#include <string>

#include "support/capture.h"

namespace {

const std::string spinner = "|/-\\";

// The spinner's position is process-wide; learn it from one turn.
std::size_t nextSpinnerIndex() {
    StreamCapture err(std::cerr);
    whirlyGig();
    return (spinner.find(err.text()[0]) + 1) % 4;
}

}  // namespace

TEST(WhirlyGig, TurnsThroughTheFourCharactersInOrder) {
    std::size_t expected = nextSpinnerIndex();
    StreamCapture err(std::cerr);
    std::string wanted;
    for (int k = 0; k < 8; ++k) {
        whirlyGig();
        wanted += spinner[expected];
        wanted += '\r';
        expected = (expected + 1) % 4;
    }
    EXPECT_EQ(err.text(), wanted);
}

TEST(UpdateMsg, PadsToSeventySevenAndTurnsTheSpinner) {
    const std::size_t expected = nextSpinnerIndex();
    StreamCapture err(std::cerr);
    updateMsg("SERVERA: Reading Class Definitions");
    const std::string text = "SERVERA: Reading Class Definitions";
    EXPECT_EQ(err.text(),
              "  " + text + std::string(77 - text.size(), ' ') + "\r" + spinner[expected] + "\r");
}

TEST(UpdateMsg, CutsALongMessageAfterSeventySevenCharacters) {
    const std::size_t expected = nextSpinnerIndex();
    StreamCapture err(std::cerr);
    const std::string longText(100, 'x');
    updateMsg(longText);
    EXPECT_EQ(err.text(), "  " + std::string(77, 'x') + "\r" + spinner[expected] + "\r");
}

TEST(UpdateMsg, EmptyMessageBlanksTheLineWithoutATurn) {
    const std::size_t expected = nextSpinnerIndex();
    {
        StreamCapture err(std::cerr);
        updateMsg("");
        EXPECT_EQ(err.text(), std::string(79, ' ') + "\r");
    }
    EXPECT_EQ(nextSpinnerIndex(), (expected + 1) % 4);
}
