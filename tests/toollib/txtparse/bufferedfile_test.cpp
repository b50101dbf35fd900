// A file is read through a buffer that is refilled as lines are taken from
// it; its lines must be exactly those of the same bytes held in memory,
// wherever a line or a 78-character piece meets the end of a buffer.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/tempdir.h"
#include "toollib/txtparse/textstreamparser.h"

namespace {

struct Line {
    std::string text;
    bool wasWhite;
    bool operator==(const Line&) const = default;
};

std::vector<Line> allLines(TextStreamParser& p) {
    std::vector<Line> lines;
    while (p.getLine()) {
        lines.push_back({p.line, p.wasWhite});
    }
    return lines;
}

// The same, read mostly as views of the buffer: every view must hold the
// line that a copying read gives, whichever kind of read came before.
std::vector<Line> allViewedLines(TextStreamParser& p) {
    std::vector<Line> lines;
    for (std::size_t k = 0;; ++k) {
        if (!(k % 4 == 3 ? p.getLine() : p.nextLine())) {
            break;
        }
        lines.push_back({std::string(p.lineView()), p.wasWhite});
    }
    return lines;
}

// Lines of every kind the parser treats apart, of lengths around the piece
// size, in a seeded order; `size` bytes in all.
std::string mixedText(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    const std::vector<std::string> kinds{"\t", "  ", "; c", "//x", "\r", "", "\t\t"};
    std::string text;
    while (text.size() < size) {
        text += kinds[random() % kinds.size()];
        const std::size_t length = random() % 3 == 0 ? 70 + random() % 20 : random() % 30;
        for (std::size_t k = 0; k < length; ++k) {
            text += static_cast<char>('a' + random() % 26);
        }
        if (random() % 5 == 0) {
            text += " \t";
        }
        text += random() % 7 == 0 ? "\r\n" : "\n";
    }
    return text;
}

}  // namespace

TEST(BufferedFile, ReadsTheSameLinesAsTheSameTextInMemory) {
    ScopedTempDir dir;
    // Small files, one read each; large ones, many refills; the last line
    // with and without its newline, and a file ending inside a full piece.
    for (const std::size_t size : {0UL, 100UL, 5000UL, 300000UL, 1200000UL}) {
        for (const std::string& ending :
             std::vector<std::string>{"", "\n", std::string(78, 'e'), std::string(80, 'f')}) {
            const std::string text = mixedText(size, static_cast<unsigned>(size)) + ending;
            TextStreamParser file(dir.write("mixed.ref", text).string());
            ASSERT_TRUE(file.isOpen());
            auto memory = TextStreamParser::fromText(text);
            const std::vector<Line> expected = allLines(memory);
            EXPECT_EQ(allLines(file), expected) << size << " bytes";
            // And again from the top, after the buffer has moved on.
            file.rewind();
            EXPECT_EQ(allLines(file), expected) << size << " bytes, rewound";
            file.rewind();
            EXPECT_EQ(allViewedLines(file), expected) << size << " bytes, viewed";
        }
    }
}

TEST(BufferedFile, AFileIsKnownByIdentityAndTextInMemoryIsNot) {
    ScopedTempDir dir;
    const auto path = dir.write("one.ref", "a\n");
    TextStreamParser first(path.string());
    TextStreamParser second(path.string());
    ASSERT_TRUE(first.identity() && second.identity());
    EXPECT_EQ(*first.identity(), *second.identity());
    dir.write("one.ref", "a longer line\n");
    TextStreamParser changed(path.string());
    EXPECT_NE(*first.identity(), *changed.identity());
    EXPECT_FALSE(TextStreamParser::fromText("a\n").identity());
    EXPECT_FALSE(TextStreamParser((dir.path() / "none.ref").string()).identity());
}
