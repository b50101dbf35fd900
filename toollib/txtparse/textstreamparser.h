#pragma once

#include <istream>
#include <memory>
#include <string>
#include <vector>

// Reads a text file line by line and hands out only its significant lines:
// leading and trailing whitespace removed, empty and comment lines skipped,
// and a note of whether the line was indented. Physical lines longer than
// `maxRead` characters come back in pieces of at most that many.
class TextStreamParser {
  public:
    static constexpr std::size_t maxRead = 78;

    // Opens `fileName` for reading. Whether that worked is told by isOpen();
    // a directory does not count as an open file.
    explicit TextStreamParser(const std::string& fileName);

    // A parser over text held in memory; `fileName` only names it.
    static TextStreamParser fromText(std::string text, std::string fileName = "");

    TextStreamParser(TextStreamParser&&) = default;
    TextStreamParser& operator=(TextStreamParser&&) = default;

    bool isOpen() const { return is != nullptr; }
    const std::string& getName() const { return name; }

    bool isWhiteSpace(char ch) const;
    // True when `line` begins with one of the comment markers, compared exactly.
    bool isComment() const;
    void stripWhiteSpace(bool ws) { stripwhitespace = ws; }
    void stripComments(bool sc) { stripcomments = sc; }
    void setComment(const std::string& newcomment);
    void setWhiteSpace(char newwhitespace);

    // Reads the next significant line into `line` and sets `wasWhite`; false
    // when the file holds no further significant line.
    bool getLine();
    // Reads significant lines until one equals `srchstr` without regard to
    // case; false when the file ends first.
    bool getLine(const std::string& srchstr);

    // Goes back to the start of the file, so that the next getLine() reads
    // the first line again.
    void rewind();

    std::string line;       // the current line, stripped
    bool wasWhite = false;  // leading whitespace was removed from `line`

  private:
    TextStreamParser(std::unique_ptr<std::istream> stream, std::string fileName);
    bool readPhysicalLine();

    std::unique_ptr<std::istream> is;
    bool atEnd = false;
    bool stripwhitespace = true;
    bool stripcomments = true;
    std::string whitespace{'\t', ' ', '\r', '\n'};
    std::vector<std::string> comments{";", "//"};
    std::string name;
};
