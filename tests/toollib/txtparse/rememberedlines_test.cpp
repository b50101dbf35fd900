// A parser that remembers lines jumps to the first one after a rewind; it
// must find exactly what reading from the top finds, wherever the lines
// stand, however often they repeat, and after its rules change.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toollib/txtparse/textstreamparser.h"

namespace {

const std::vector<std::string> keys{"Class Definitions", "Attribute Definitions",
                                    "Syntax Definitions"};

// What each search after a rewind finds: the line and the lines after it.
std::vector<std::string> searches(TextStreamParser& p, const std::vector<std::string>& order) {
    std::vector<std::string> found;
    for (const std::string& key : order) {
        p.rewind();
        if (!p.getLine(key)) {
            found.push_back("(none)");
            continue;
        }
        std::string seen =
            p.line + (p.wasWhite ? " (indented)" : "") + " at " + std::to_string(p.indent);
        for (int k = 0; k < 2 && p.getLine(); ++k) {
            seen += " | " + p.line;
        }
        found.push_back(seen);
    }
    return found;
}

}  // namespace

TEST(RememberedLines, FindWhatASearchFromTheTopFinds) {
    const std::vector<std::string> texts{
        "Class Definitions\na\nAttribute Definitions\nb\nSyntax Definitions\nc\n",
        "Syntax Definitions\nc\nAttribute Definitions\nb\nClass Definitions\na",
        // Repeated, indented, in other case, in a comment, cut out of a long line.
        "x\n\tclass definitions\ny\nCLASS DEFINITIONS\nz\nClass Definitions\n",
        "; Attribute Definitions\n" + std::string(78, 'q') + "Attribute Definitions\nr\n",
        "Attribute Definitions\n\n  Attribute Definitions  \ns\nSyntax Definitions",
        "no header at all\n\n",
        "",
    };
    const std::vector<std::vector<std::string>> orders{
        {"Class Definitions", "Attribute Definitions", "Syntax Definitions"},
        {"Syntax Definitions", "Class Definitions", "Attribute Definitions"},
        {"Attribute Definitions", "Attribute Definitions", "Syntax Definitions",
         "Class Definitions", "Not Remembered"},
    };
    for (const std::string& text : texts) {
        for (const auto& order : orders) {
            auto plain = TextStreamParser::fromText(text);
            auto remembering = TextStreamParser::fromText(text);
            remembering.rememberLines(keys);
            EXPECT_EQ(searches(remembering, order), searches(plain, order)) << text;
            // Found again the same way once everything is remembered.
            EXPECT_EQ(searches(remembering, order), searches(plain, order)) << text;
        }
    }
}

TEST(RememberedLines, AreForgottenWhenTheRulesChange) {
    const std::string text = "# Class Definitions\nfirst\nClass Definitions\nsecond\n";
    auto p = TextStreamParser::fromText(text);
    p.rememberLines(keys);
    ASSERT_TRUE(p.getLine("Class Definitions"));
    p.rewind();
    p.setComment("# ");
    // The first line no longer counts; what was remembered about it must not.
    ASSERT_TRUE(p.getLine("Class Definitions"));
    ASSERT_TRUE(p.getLine());
    EXPECT_EQ(p.line, "second");
    p.rewind();
    p.stripComments(false);
    p.stripWhiteSpace(false);
    ASSERT_TRUE(p.getLine("Class Definitions"));
    ASSERT_TRUE(p.getLine());
    EXPECT_EQ(p.line, "second");
}
