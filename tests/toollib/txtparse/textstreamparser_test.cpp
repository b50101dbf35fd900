#include "toollib/txtparse/textstreamparser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/tempdir.h"

namespace {

// Every significant line the parser hands out, until getLine() says no more.
std::vector<std::string> allLines(TextStreamParser& p) {
    std::vector<std::string> lines;
    while (p.getLine()) {
        lines.push_back(p.line);
    }
    return lines;
}

using Lines = std::vector<std::string>;

}  // namespace

TEST(TextStreamParser, FileOfOnlyBlankLinesWhitespaceAndCommentsHasNoLine) {
    auto p = TextStreamParser::fromText("\n   \n\t\r\n; remark\n//note\n  ;indented\n\n");
    EXPECT_FALSE(p.getLine());
    EXPECT_FALSE(p.getLine());
    EXPECT_FALSE(TextStreamParser::fromText("").getLine());
}

TEST(TextStreamParser, WasWhiteTellsIndentedFromTrailingSpace) {
    auto p = TextStreamParser::fromText("\tFlags\nFlags  \n  \t Syntax \t\nName\n");
    ASSERT_TRUE(p.getLine());
    EXPECT_EQ(p.line, "Flags");
    EXPECT_TRUE(p.wasWhite);
    ASSERT_TRUE(p.getLine());
    EXPECT_EQ(p.line, "Flags");
    EXPECT_FALSE(p.wasWhite);
    ASSERT_TRUE(p.getLine());
    EXPECT_EQ(p.line, "Syntax");
    EXPECT_TRUE(p.wasWhite);
    ASSERT_TRUE(p.getLine());
    EXPECT_EQ(p.line, "Name");
    EXPECT_FALSE(p.wasWhite);
    EXPECT_FALSE(p.getLine());
    EXPECT_FALSE(p.wasWhite);
}

TEST(TextStreamParser, SkippedIndentedLinesDoNotLeaveWasWhiteSet) {
    auto p = TextStreamParser::fromText("\t; comment\n   \nTop\n");
    ASSERT_TRUE(p.getLine());
    EXPECT_EQ(p.line, "Top");
    EXPECT_FALSE(p.wasWhite);
}

TEST(TextStreamParser, LongLineComesBackInPiecesOf78) {
    const std::string letters(100, 'x');
    auto p = TextStreamParser::fromText(letters + "\nnext\n");
    ASSERT_TRUE(p.getLine());
    EXPECT_EQ(p.line, std::string(78, 'x'));
    EXPECT_FALSE(p.wasWhite);
    ASSERT_TRUE(p.getLine());
    EXPECT_EQ(p.line, std::string(22, 'x'));
    EXPECT_FALSE(p.wasWhite);
    ASSERT_TRUE(p.getLine());
    EXPECT_EQ(p.line, "next");

    // Two full pieces and a newline: the newline ends the second piece.
    auto twice = TextStreamParser::fromText(std::string(156, 'y') + "\nend");
    EXPECT_EQ(allLines(twice), (Lines{std::string(78, 'y'), std::string(78, 'y'), "end"}));
}

TEST(TextStreamParser, LineOf78CharactersGivesNoExtraLine) {
    const std::string exact(78, 'a');
    auto p = TextStreamParser::fromText(exact + "\nb");
    EXPECT_EQ(allLines(p), (Lines{exact, "b"}));
    // Even with empty lines kept, the newline after a full read is no line.
    auto raw = TextStreamParser::fromText(exact + "\nb");
    raw.stripWhiteSpace(false);
    EXPECT_EQ(allLines(raw), (Lines{exact, "b"}));
}

TEST(TextStreamParser, OnlyWholeLineCommentsAreSkipped) {
    auto p = TextStreamParser::fromText("/\n//skipped\n  ; skipped\nvalue ; kept\n/x\n;\n");
    EXPECT_EQ(allLines(p), (Lines{"/", "value ; kept", "/x"}));
}

TEST(TextStreamParser, LastLineWithoutNewlineIsReturned) {
    auto p = TextStreamParser::fromText("first\nlast");
    ASSERT_TRUE(p.getLine());
    ASSERT_TRUE(p.getLine());
    EXPECT_EQ(p.line, "last");
    EXPECT_FALSE(p.getLine());
    EXPECT_FALSE(p.getLine());
}

TEST(TextStreamParser, CarriageReturnLineEndsReadLikeNewlines) {
    auto crlf = TextStreamParser::fromText("one\r\n\ttwo\r\n\r\nthree\r\n");
    auto lf = TextStreamParser::fromText("one\n\ttwo\n\nthree\n");
    EXPECT_EQ(allLines(crlf), allLines(lf));
    auto p = TextStreamParser::fromText("one\r\n\ttwo\r\n");
    ASSERT_TRUE(p.getLine());
    ASSERT_TRUE(p.getLine());
    EXPECT_EQ(p.line, "two");
    EXPECT_TRUE(p.wasWhite);
}

TEST(TextStreamParser, NulByteInsideLineIsKept) {
    auto p = TextStreamParser::fromText(std::string("a\0b\n", 4));
    ASSERT_TRUE(p.getLine());
    EXPECT_EQ(p.line, std::string("a\0b", 3));
}

TEST(TextStreamParser, SearchIgnoresCaseAndWhitespaceAndSkipsEarlierLines) {
    auto p =
        TextStreamParser::fromText("Server\nClass Definitions x\n  class definitions  \nTop\n");
    ASSERT_TRUE(p.getLine("Class Definitions"));
    EXPECT_EQ(p.line, "class definitions");
    ASSERT_TRUE(p.getLine());
    EXPECT_EQ(p.line, "Top");

    auto missing = TextStreamParser::fromText("Server\nAttribute Definitions\n");
    EXPECT_FALSE(missing.getLine("Class Definitions"));
    EXPECT_FALSE(missing.getLine());
}

TEST(TextStreamParser, CommentMarkersCompareExactlyAndAreNotAddedTwice) {
    auto p = TextStreamParser::fromText("");
    p.line = "REM note";
    EXPECT_FALSE(p.isComment());
    p.setComment("REM");
    EXPECT_TRUE(p.isComment());
    // Markers compare exactly when a line is checked...
    p.line = "rem note";
    EXPECT_FALSE(p.isComment());
    // ...but a marker equal to one held, without regard to case, is refused.
    p.setComment("rem");
    EXPECT_FALSE(p.isComment());
    p.line = ";x";
    EXPECT_TRUE(p.isComment());
    p.line = "/";
    EXPECT_FALSE(p.isComment());
    p.line = "";
    EXPECT_FALSE(p.isComment());

    auto withMarker = TextStreamParser::fromText("# one\ntwo\n");
    withMarker.setComment("#");
    EXPECT_EQ(allLines(withMarker), (Lines{"two"}));
}

TEST(TextStreamParser, WhitespaceSetCanBeExtended) {
    auto p = TextStreamParser::fromText("..name..\n");
    EXPECT_FALSE(p.isWhiteSpace('.'));
    EXPECT_TRUE(p.isWhiteSpace('\r'));
    p.setWhiteSpace('.');
    EXPECT_TRUE(p.isWhiteSpace('.'));
    ASSERT_TRUE(p.getLine());
    EXPECT_EQ(p.line, "name");
    EXPECT_TRUE(p.wasWhite);
}

TEST(TextStreamParser, StrippingAndCommentSkippingCanBeTurnedOff) {
    auto raw = TextStreamParser::fromText("  a \n\n; c\n\tb");
    raw.stripWhiteSpace(false);
    EXPECT_EQ(allLines(raw), (Lines{"  a ", "", "\tb"}));
    // The newline that ends the file is not followed by an empty line.
    auto ending = TextStreamParser::fromText("a\n\nb\n");
    ending.stripWhiteSpace(false);
    EXPECT_EQ(allLines(ending), (Lines{"a", "", "b"}));
    auto indented = TextStreamParser::fromText("\tb");
    indented.stripWhiteSpace(false);
    ASSERT_TRUE(indented.getLine());
    EXPECT_FALSE(indented.wasWhite);

    auto comments = TextStreamParser::fromText("; c\n  // d\nx");
    comments.stripComments(false);
    ASSERT_TRUE(comments.getLine());
    EXPECT_EQ(comments.line, "; c");
    ASSERT_TRUE(comments.getLine());
    EXPECT_EQ(comments.line, "// d");
    EXPECT_TRUE(comments.wasWhite);
    ASSERT_TRUE(comments.getLine());
    EXPECT_EQ(comments.line, "x");
    EXPECT_FALSE(comments.getLine());
}

TEST(TextStreamParser, MissingFileAndDirectoryAreNotOpen) {
    ScopedTempDir dir;
    TextStreamParser missing((dir.path() / "absent.ref").string());
    EXPECT_FALSE(missing.isOpen());
    EXPECT_EQ(missing.getName(), (dir.path() / "absent.ref").string());
    EXPECT_FALSE(missing.getLine());
    missing.rewind();
    EXPECT_FALSE(missing.getLine());

    TextStreamParser directory(dir.path().string());
    EXPECT_FALSE(directory.isOpen());
    EXPECT_FALSE(directory.getLine());
}

TEST(TextStreamParser, RewindReadsTheFirstLineAgain) {
    ScopedTempDir dir;
    const auto file = dir.write("servers.lst", "; servers\nalpha\r\n\tbeta\ngamma");
    TextStreamParser p(file.string());
    ASSERT_TRUE(p.isOpen());
    EXPECT_EQ(allLines(p), (Lines{"alpha", "beta", "gamma"}));
    p.rewind();
    ASSERT_TRUE(p.getLine());
    EXPECT_EQ(p.line, "alpha");
    ASSERT_TRUE(p.getLine("GAMMA"));
    p.rewind();
    EXPECT_TRUE(p.getLine("Beta"));
    EXPECT_TRUE(p.wasWhite);

    auto text = TextStreamParser::fromText("one\ntwo\n");
    EXPECT_EQ(allLines(text), (Lines{"one", "two"}));
    text.rewind();
    EXPECT_EQ(allLines(text), (Lines{"one", "two"}));
}

TEST(TextStreamParser, IndentCountsEachBlankAndTabRemovedFromTheFront) {
    // Copied and viewed lines, after skipped indented lines, and a piece of a
    // long line, which is as deep as the blanks it begins with.
    const std::string text =
        "\t\tflags\nName\n \t Syntax  \n\t; skipped\n   \n" + std::string(78, 'a') + "  b\n";
    auto copied = TextStreamParser::fromText(text);
    auto viewed = TextStreamParser::fromText(text);
    for (const std::size_t depth : {2, 0, 3, 0, 2}) {
        ASSERT_TRUE(copied.getLine() && viewed.nextLine());
        EXPECT_EQ(copied.indent, depth) << copied.line;
        EXPECT_EQ(viewed.indent, depth) << viewed.lineView();
        EXPECT_EQ(copied.wasWhite, depth != 0);
    }
    EXPECT_FALSE(viewed.nextLine());
    EXPECT_EQ(viewed.indent, 0u);
}
