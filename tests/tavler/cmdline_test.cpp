#include "tavler/cmdline.h"

#include "tavler/kindselection.h"
#include "tavler/options.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <span>
#include <string>
#include <vector>

namespace {

// A command line of the given words, with a program name in front as argv[0].
class Words {
  public:
    Words(std::initializer_list<const char*> words) : argv_{"tavler"} {
        argv_.insert(argv_.end(), words.begin(), words.end());
    }
    int argc() const { return static_cast<int>(argv_.size()); }
    const char* const* argv() const { return argv_.data(); }

  private:
    std::vector<const char*> argv_;
};

CMDLine parse(std::initializer_list<const char*> words, char token = '/') {
    const Words w(words);
    return CMDLine(w.argc(), w.argv(), token);
}

const std::vector<std::string> validCAS{"C", "A", "S"};

}  // namespace

TEST(CMDLine, SplitsWordsIntoSwitchesAndArguments) {
    CMDLine cmd = parse({"serverA", "/C", "serverB", "/a"});
    EXPECT_EQ(cmd.getArgCount(), 2);
    EXPECT_EQ(cmd.getArg(0), "serverA");
    EXPECT_EQ(cmd.getArg(1), "serverB");
    EXPECT_EQ(cmd.getSwitchCount(), 2);
    EXPECT_TRUE(cmd.isSwitch("C"));
    EXPECT_TRUE(cmd.isSwitch("A"));
    EXPECT_FALSE(cmd.isSwitch("S"));
    // argv[0] is never classified, even when it looks like a switch.
    const char* const argv[] = {"/X", "only"};
    CMDLine skipFirst(2, argv, '/');
    EXPECT_EQ(skipFirst.getSwitchCount(), 0);
    EXPECT_EQ(skipFirst.getArg(0), "only");
}

TEST(CMDLine, ToUpperChangesOnlyLettersOfStoredCopies) {
    char arg1[] = "serverA{`}\xe9";
    char sw1[] = "/c";
    char sw2[] = "/a";
    char arg2[] = "serverB";
    char* argv[] = {nullptr, arg1, sw1, arg2, sw2};
    CMDLine cmd(5, argv, '/');
    cmd.toUpper();
    EXPECT_EQ(cmd.getArg(0), "SERVERA{`}\xe9");
    EXPECT_EQ(cmd.getArg(1), "SERVERB");
    const std::vector<std::string> upper{"C", "A"};
    EXPECT_TRUE(cmd.isValid(2, 2, upper, 1));  // switches compare exactly here
    EXPECT_STREQ(arg1, "serverA{`}\xe9");
    EXPECT_STREQ(sw1, "/c");
    EXPECT_STREQ(arg2, "serverB");

    cmd.toLower();
    EXPECT_EQ(cmd.getArg(0), "servera{`}\xe9");
    const std::vector<std::string> lower{"c", "a"};
    EXPECT_TRUE(cmd.isValid(2, 2, lower, 1));
    EXPECT_FALSE(cmd.isValid(2, 2, upper, 1));
}

TEST(CMDLine, KeepsAtMostSixArgumentsAndSixSwitches) {
    CMDLine args = parse({"a1", "a2", "a3", "a4", "a5", "a6", "a7"});
    EXPECT_EQ(args.getArgCount(), 6);
    EXPECT_EQ(args.getArg(5), "a6");
    EXPECT_EQ(args.getArg(6), "");

    CMDLine sws = parse({"/A", "/B", "/D", "/E", "/F", "/G", "/C", "arg"});
    EXPECT_EQ(sws.getSwitchCount(), 6);
    EXPECT_TRUE(sws.isSwitch("G"));
    EXPECT_FALSE(sws.isSwitch("C"));
    // A full switch list does not stop arguments from being kept.
    EXPECT_EQ(sws.getArgCount(), 1);
}

TEST(CMDLine, TokenDecidesWhatIsASwitch) {
    CMDLine cmd = parse({"/", "-x", "", "/Cxyz"});
    EXPECT_EQ(cmd.getSwitchCount(), 2);
    // The token alone is a switch equal to no letter.
    EXPECT_FALSE(cmd.isSwitch("A"));
    EXPECT_FALSE(cmd.isSwitch("S"));
    EXPECT_FALSE(cmd.isSwitch(""));
    // Only the character after the token counts.
    EXPECT_TRUE(cmd.isSwitch("C"));
    EXPECT_FALSE(cmd.isSwitch("Cxyz"));
    EXPECT_EQ(cmd.getArgCount(), 2);
    EXPECT_EQ(cmd.getArg(0), "-x");
    EXPECT_EQ(cmd.getArg(1), "");

    CMDLine dash = parse({"-x", "/y"}, '-');
    EXPECT_TRUE(dash.isSwitch("x"));
    EXPECT_EQ(dash.getArg(0), "/y");
}

TEST(CMDLine, GetArgOutsideTheStoredRangeIsEmpty) {
    CMDLine cmd = parse({"only"});
    EXPECT_EQ(cmd.getArg(0), "only");
    EXPECT_EQ(cmd.getArg(1), "");
    EXPECT_EQ(cmd.getArg(-1), "");
    EXPECT_EQ(parse({}).getArg(0), "");
}

TEST(CMDLine, IsSwitchIgnoresCase) {
    EXPECT_TRUE(parse({"/C"}).isSwitch("C"));
    EXPECT_TRUE(parse({"/c"}).isSwitch("C"));
    EXPECT_TRUE(parse({"/C"}).isSwitch("c"));
    EXPECT_FALSE(parse({"/C"}).isSwitch("D"));
    EXPECT_FALSE(parse({}).isSwitch("C"));
}

TEST(CMDLine, IsValidChecksArgumentCountAndSwitchesExactly) {
    EXPECT_FALSE(parse({"s1", "/X"}).isValid(1, 2, validCAS, 2));
    EXPECT_FALSE(parse({"s1", "s2", "s3"}).isValid(1, 2, validCAS, 2));
    EXPECT_FALSE(parse({}).isValid(1, 2, validCAS, 2));
    EXPECT_TRUE(parse({"s1", "/C", "/S"}).isValid(1, 2, validCAS, 2));
    EXPECT_TRUE(parse({"s1", "s2"}).isValid(1, 2, validCAS, 2));
    EXPECT_FALSE(parse({"s1", "/c"}).isValid(1, 2, validCAS, 2));
    EXPECT_FALSE(parse({"s1", "/"}).isValid(1, 2, validCAS, 2));
}

TEST(CMDLine, IsValidReadsEntriesUpToArraySizeAndNeverPastTheSpan) {
    // arraySize is the position of the last entry looked at.
    EXPECT_FALSE(parse({"/S"}).isValid(0, 6, validCAS, 1));
    EXPECT_TRUE(parse({"/A"}).isValid(0, 6, validCAS, 1));
    EXPECT_FALSE(parse({"/A"}).isValid(0, 6, validCAS, 0));
    EXPECT_FALSE(parse({"/C"}).isValid(0, 6, validCAS, -1));
    EXPECT_TRUE(parse({}).isValid(0, 6, validCAS, -1));
    // An arraySize beyond the span stops at the span's end.
    EXPECT_TRUE(parse({"/S"}).isValid(0, 6, validCAS, 40));
    EXPECT_FALSE(parse({"/X"}).isValid(0, 6, validCAS, 40));
    const std::span<const std::string> firstTwo(validCAS.data(), 2);
    EXPECT_FALSE(parse({"/S"}).isValid(0, 6, firstTwo, 2));
    EXPECT_FALSE(parse({"/C"}).isValid(0, 6, {}, 5));
}

TEST(CMDLine, SetArgsAppendsToWhatIsHeld) {
    CMDLine cmd = parse({"first", "/C"});
    const Words more{"second", "/S", "/x"};
    cmd.setArgs(more.argc(), more.argv());
    EXPECT_EQ(cmd.getArgCount(), 2);
    EXPECT_EQ(cmd.getArg(0), "first");
    EXPECT_EQ(cmd.getArg(1), "second");
    EXPECT_EQ(cmd.getSwitchCount(), 3);
    EXPECT_TRUE(cmd.isSwitch("C"));
    EXPECT_TRUE(cmd.isSwitch("S"));

    // The limit of six holds across calls.
    const Words many{"a", "b", "c", "d", "e", "f"};
    cmd.setArgs(many.argc(), many.argv());
    EXPECT_EQ(cmd.getArgCount(), 6);
    EXPECT_EQ(cmd.getArg(5), "d");
}

TEST(KindSelection, SwitchLettersSelectKindsAndPathsSelectNothing) {
    struct Case {
        std::initializer_list<const char*> words;
        bool classes, attributes, syntaxes;
    };
    const Case cases[] = {
        {{"a.ref"}, true, true, true},                   // no switch: every kind
        {{"a.ref", "/c", "/A"}, true, true, false},      // letters in any case
        {{"a.ref", "/Classes"}, true, false, false},     // only the first letter counts
        {{"a.ref", "/C", "/X"}, true, false, false},     // a stray switch beside one that selects
        {{"a.ref", "/X"}, false, false, false},          // selects nothing
        {{"a.ref", "/"}, false, false, false},           // the token alone
        {{"a.ref", "/srv/b.ref"}, false, false, false},  // a path, though it begins with S
        {{"a.ref", "/A", "/srv/b.ref"}, false, true, false},
    };
    for (const Case& c : cases) {
        const SelectedKinds selected = selectKinds(parse(c.words));
        const std::string shown =
            testing::PrintToString(std::vector<std::string>(c.words.begin(), c.words.end()));
        EXPECT_EQ(selected.classes, c.classes) << shown;
        EXPECT_EQ(selected.attributes, c.attributes) << shown;
        EXPECT_EQ(selected.syntaxes, c.syntaxes) << shown;
        EXPECT_EQ(anySelected(selected), c.classes || c.attributes || c.syntaxes) << shown;
    }
}

TEST(Options, AreTakenOutBeforeTheWordsAreSplit) {
    std::vector<std::string> words{"tavler", "--version", "a.ref",  "-h",
                                   "/C",     "--",        "--help", "-h"};
    std::vector<char*> argv;
    for (std::string& w : words) {
        argv.push_back(w.data());
    }
    const ParsedCommandLine parsed = takeOptions(static_cast<int>(argv.size()), argv.data());
    EXPECT_TRUE(parsed.options.version);
    EXPECT_TRUE(parsed.options.help);
    EXPECT_FALSE(parsed.unknown);
    // After "--" every word is kept, whatever it looks like.
    const std::vector<std::string> kept(parsed.words.begin(), parsed.words.end());
    EXPECT_EQ(kept, (std::vector<std::string>{"tavler", "a.ref", "/C", "--help", "-h"}));

    std::vector<std::string> bad{"tavler", "--fast", "a.ref", "--slow"};
    std::vector<char*> badArgv;
    for (std::string& w : bad) {
        badArgv.push_back(w.data());
    }
    EXPECT_EQ(takeOptions(4, badArgv.data()).unknown, "--fast");
}

TEST(Options, JobsTakeAWholeNumberFrom1To1024) {
    struct Case {
        std::vector<std::string> words;
        bool bad;
        unsigned jobs;
        std::vector<std::string> kept;
    };
    const std::vector<Case> cases{
        {{"a.lst"}, false, 16, {"a.lst"}},
        {{"--jobs", "4", "a.lst"}, false, 4, {"a.lst"}},
        {{"a.lst", "--jobs=1"}, false, 1, {"a.lst"}},
        {{"--jobs=1024", "a.lst"}, false, 1024, {"a.lst"}},
        {{"--jobs", "007", "a.lst"}, false, 7, {"a.lst"}},
        // The value is the next word, whatever it looks like.
        {{"--jobs", "a.lst"}, true, 16, {}},
        {{"--jobs", "--", "a.lst"}, true, 16, {"a.lst"}},
        {{"a.lst", "--jobs"}, true, 16, {"a.lst"}},
        {{"--jobs=0", "a.lst"}, true, 16, {"a.lst"}},
        {{"--jobs=1025", "a.lst"}, true, 16, {"a.lst"}},
        {{"--jobs=99999999999999999999", "a.lst"}, true, 16, {"a.lst"}},
        {{"--jobs=-3", "a.lst"}, true, 16, {"a.lst"}},
        {{"--jobs=+3", "a.lst"}, true, 16, {"a.lst"}},
        {{"--jobs= 3", "a.lst"}, true, 16, {"a.lst"}},
        {{"--jobs=3x", "a.lst"}, true, 16, {"a.lst"}},
        {{"--jobs=", "a.lst"}, true, 16, {"a.lst"}},
        {{"--jobsx=3", "a.lst"}, false, 16, {"a.lst"}},  // an unknown option
        {{"--", "--jobs=3", "a.lst"}, false, 16, {"--jobs=3", "a.lst"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> words{"tavler"};
        words.insert(words.end(), c.words.begin(), c.words.end());
        std::vector<char*> argv;
        for (std::string& w : words) {
            argv.push_back(w.data());
        }
        const ParsedCommandLine parsed = takeOptions(static_cast<int>(argv.size()), argv.data());
        const std::string shown = testing::PrintToString(c.words);
        EXPECT_EQ(parsed.badJobs, c.bad) << shown;
        EXPECT_EQ(parsed.options.jobs, c.jobs) << shown;
        std::vector<std::string> kept(parsed.words.begin() + 1, parsed.words.end());
        EXPECT_EQ(kept, c.kept) << shown;
    }
}
