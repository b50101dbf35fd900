#include <gtest/gtest.h>

#include <string>

#include "support/capture.h"
#include "toollib/progress.h"

namespace {

const std::string spinner = "|/-\\";

std::string turns(std::size_t first, int count) {
    std::string wanted;
    for (int k = 0; k < count; ++k, first = (first + 1) % 4) {
        wanted += spinner[first];
        wanted += '\r';
    }
    return wanted;
}

std::size_t nextSpinnerIndex() {
    StreamCapture err(std::cerr);
    whirlyGig();
    return (spinner.find(err.text()[0]) + 1) % 4;
}

}  // namespace

TEST(SpinnerBatch, GathersTheSameBytesAndWritesThemByTheEndOfTheLastBatch) {
    const std::size_t first = nextSpinnerIndex();
    StreamCapture err(std::cerr);
    {
        SpinnerBatch outer;
        for (int k = 0; k < 3; ++k) {
            whirlyGig();
        }
        {
            SpinnerBatch inner;
            whirlyGig();
        }
        // The inner batch ending does not end the outer one.
        EXPECT_EQ(err.text(), "");
        // More turns than one write holds go out while the batch lasts.
        for (int k = 0; k < 5000; ++k) {
            whirlyGig();
        }
        EXPECT_FALSE(err.text().empty());
    }
    EXPECT_EQ(err.text(), turns(first, 5004));
}

TEST(SpinnerBatch, TheStatusLineComesAfterTheTurnsGatheredBeforeIt) {
    const std::size_t first = nextSpinnerIndex();
    StreamCapture err(std::cerr);
    {
        SpinnerBatch batch;
        whirlyGig();
        whirlyGig();
        updateMsg("");
        whirlyGig();
    }
    EXPECT_EQ(err.text(),
              turns(first, 2) + std::string(79, ' ') + "\r" + turns((first + 2) % 4, 1));
}

TEST(SpinnerBatch, FlushingWritesTheTurnsGatheredSoFarAndTheBatchGoesOn) {
    const std::size_t first = nextSpinnerIndex();
    StreamCapture err(std::cerr);
    {
        SpinnerBatch batch;
        whirlyGig();
        whirlyGig();
        flushProgress();
        EXPECT_EQ(err.text(), turns(first, 2));
        flushProgress();
        whirlyGig();
        EXPECT_EQ(err.text(), turns(first, 2)) << "turns after the flush are gathered again";
    }
    EXPECT_EQ(err.text(), turns(first, 3));
}
