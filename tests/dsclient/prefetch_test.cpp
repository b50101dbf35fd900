// Fetching ahead: how many sources are held at once, that each is closed
// whether a line takes it or not, and that what a line takes is what the
// source would have answered itself.

#include "dsclient/prefetch.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dscontext/dsclient.h"

namespace {

using dsclient::AheadResult;
using dsclient::FirstRead;
using dsclient::HeldRead;
using dsclient::Prefetch;

// Sources that count themselves, and answer their open with `openCode`.
struct Census {
    std::atomic<int> alive{0};
    std::atomic<int> opened{0};
};

class CountedSource : public dsclient::Source {
  public:
    CountedSource(Census& census, std::string name, std::int32_t openCode = QX_SUCCESS)
        : census_(census), name_(std::move(name)), openCode_(openCode) {
        ++census_.alive;
    }
    ~CountedSource() override { --census_.alive; }
    CountedSource(const CountedSource&) = delete;
    CountedSource& operator=(const CountedSource&) = delete;

    std::int32_t open(std::string& diagnostic) override {
        ++census_.opened;
        diagnostic = name_ + ": opened";
        notes_.push_back(name_ + ": a note");
        return openCode_;
    }
    std::int32_t fetch(dsclient::SchemaContent& content, std::string& diagnostic) override {
        ++fetches_;
        diagnostic = name_ + ": fetched " + std::to_string(fetches_);
        content.entries = {name_};
        return QX_SUCCESS;
    }
    std::int32_t fetchDescriptions(dsclient::Descriptions& out, std::string& diagnostic) override {
        diagnostic = name_ + ": whole";
        out.entries = {name_, "whole"};
        return QXERR_NO_SUBSCHEMA;
    }
    std::string serverName() const override { return name_; }
    std::vector<std::string> takeHeldNotes() override { return std::exchange(notes_, {}); }

  private:
    Census& census_;
    std::string name_;
    std::int32_t openCode_;
    int fetches_ = 0;
    std::vector<std::string> notes_;
};

std::string keyOf(std::size_t line) {
    return "server" + std::to_string(line);
}

TEST(Prefetch, HoldsAtMostTwiceItsJobsAndClosesWhatNoLineTook) {
    constexpr std::size_t jobs = 3;
    constexpr std::size_t lines = 60;
    Census census;
    std::vector<AheadResult> taken;
    {
        Prefetch prefetch(jobs, FirstRead::listing);
        // All offered at once: the window alone keeps the rest waiting.
        for (std::size_t line = 1; line <= lines; ++line) {
            ASSERT_TRUE(prefetch.firstSight(keyOf(line)));
            prefetch.offer(line, keyOf(line), std::make_unique<CountedSource>(census, keyOf(line)));
        }
        EXPECT_FALSE(prefetch.firstSight(keyOf(7)));
        for (std::size_t line = 1; line <= lines; ++line) {
            prefetch.reached(line);
            EXPECT_LE(prefetch.live(), 2 * jobs) << line;
            // Every third line takes its server; the others pass it by.
            if (line % 3 == 0) {
                std::optional<AheadResult> ahead = prefetch.take(keyOf(line));
                ASSERT_TRUE(ahead) << line;
                taken.push_back(std::move(*ahead));
            }
        }
        // A line passed is let go: not even a later line takes it.
        EXPECT_FALSE(prefetch.take(keyOf(1)));
        EXPECT_LE(prefetch.mostLive(), 2 * jobs);
        EXPECT_GE(prefetch.mostLive(), 1U);
        // Those not taken and not yet let go are closed at the stop.
    }
    EXPECT_EQ(census.alive, static_cast<int>(taken.size()));
    ASSERT_EQ(taken.size(), lines / 3);
    for (std::size_t i = 0; i < taken.size(); ++i) {
        const std::string name = keyOf(3 * (i + 1));
        const AheadResult& ahead = taken[i];
        EXPECT_EQ(ahead.openCode, QX_SUCCESS);
        EXPECT_EQ(ahead.openDiagnostic, name + ": opened");
        EXPECT_EQ(ahead.notes, std::vector<std::string>{name + ": a note"});
        ASSERT_TRUE(ahead.source);
        ASSERT_TRUE(ahead.read);
        EXPECT_EQ(ahead.read->diagnostic, name + ": fetched 1");
        EXPECT_EQ(ahead.read->content.entries, std::vector<std::string>{name});
    }
    taken.clear();
    EXPECT_EQ(census.alive, 0);
    EXPECT_LE(census.opened, static_cast<int>(lines));
}

TEST(Prefetch, ReplaysFailuresAndFirstReadsAsTheSourceWould) {
    Census census;
    Prefetch prefetch(2, FirstRead::whole);
    prefetch.offer(1, "refused", std::make_unique<CountedSource>(census, "r", QXERR_BIND_REFUSED));
    prefetch.offer(2, "good", std::make_unique<CountedSource>(census, "g"));

    std::optional<AheadResult> refused = prefetch.take("refused");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->openCode, QXERR_BIND_REFUSED);
    EXPECT_EQ(refused->openDiagnostic, "r: opened");
    EXPECT_FALSE(refused->source);  // closed where it failed
    EXPECT_FALSE(refused->read);
    EXPECT_FALSE(prefetch.take("refused"));
    EXPECT_FALSE(prefetch.take("never offered"));

    std::optional<AheadResult> good = prefetch.take("good");
    ASSERT_TRUE(good && good->source && good->read);
    EXPECT_EQ(census.alive, 1);

    // The held whole read answers once, failure and all; a listing read of
    // a connection whose held read is of the other kind is the source's own.
    dsclient::Descriptions descriptions;
    std::string diagnostic;
    std::optional<HeldRead> held = std::move(good->read);
    EXPECT_EQ(dsclient::firstDescriptions(held, *good->source, descriptions, diagnostic),
              QXERR_NO_SUBSCHEMA);
    EXPECT_EQ(diagnostic, "g: whole");
    EXPECT_FALSE(held);
    dsclient::SchemaContent content;
    held = HeldRead{};
    held->kind = FirstRead::whole;
    EXPECT_EQ(dsclient::firstFetch(held, *good->source, content, diagnostic), QX_SUCCESS);
    EXPECT_EQ(diagnostic, "g: fetched 1");
    EXPECT_FALSE(held);

    // A listing read held with its content.
    held = HeldRead{};
    held->content.entries = {"ahead"};
    held->diagnostic = "from ahead";
    EXPECT_EQ(dsclient::firstFetch(held, *good->source, content, diagnostic), QX_SUCCESS);
    EXPECT_EQ(content.entries, std::vector<std::string>{"ahead"});
    EXPECT_EQ(diagnostic, "from ahead");
    EXPECT_EQ(dsclient::firstFetch(held, *good->source, content, diagnostic), QX_SUCCESS);
    EXPECT_EQ(diagnostic, "g: fetched 2");
}

}  // namespace
