#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "toollib/txtparse/filereader.h"

// Reads a text file line by line and hands out only its significant lines:
// leading and trailing whitespace removed, empty and comment lines skipped,
// and a note of how deeply the line was indented. Physical lines longer than
// `maxRead` characters come back in pieces of at most that many.
class TextStreamParser {
  public:
    static constexpr std::size_t maxRead = 78;

    // Opens `fileName` for reading. Whether that worked is told by isOpen();
    // a directory does not count as an open file.
    explicit TextStreamParser(const std::string& fileName);

    // A parser over text held in memory; `fileName` only names it.
    static TextStreamParser fromText(const std::string& text, std::string fileName = "");

    TextStreamParser(TextStreamParser&&) = default;
    TextStreamParser& operator=(TextStreamParser&&) = default;

    bool isOpen() const { return source.isOpen(); }
    const std::string& getName() const { return name; }
    // What names the opened file to the file system, for knowing it again
    // under another name; none for text held in memory or a file that is
    // not a regular file.
    std::optional<FileIdentity> identity() const { return source.identity(); }

    bool isWhiteSpace(char ch) const { return whitespace[static_cast<unsigned char>(ch)]; }
    // True when `line` begins with one of the comment markers, compared exactly.
    bool isComment() const { return isCommentText(line); }
    void stripWhiteSpace(bool ws);
    void stripComments(bool sc);
    void setComment(const std::string& newcomment);
    void setWhiteSpace(char newwhitespace);

    // Reads the next significant line into `line` and sets `wasWhite` and
    // `indent`; false when the file holds no further significant line.
    bool getLine();
    // As getLine(), but the line is only viewed, not copied into `line`,
    // which keeps what it held: a reader that takes each line apart at once
    // spares a copy of every line of the file. The view is valid until the
    // parser reads again.
    bool nextLine();
    // The line that the last read found, whichever call made it.
    std::string_view lineView() const { return inLine ? std::string_view(line) : current; }
    // Reads significant lines until one equals `srchstr` without regard to
    // case; false when the file ends first.
    bool getLine(const std::string& srchstr);

    // Goes back to the start of the file, so that the next getLine() reads
    // the first line again.
    void rewind();

    // Lines equal to one of `keys` (without regard to case) are remembered
    // where they first occur as the file is read, so that getLine(key) right
    // after a rewind goes straight to the first one instead of reading the
    // file from the top again. Readers that each look for their own header
    // in the same file thereby read it once between them.
    void rememberLines(const std::vector<std::string>& keys);

    // True while the stripping and comment rules are those a parser starts
    // with, so that the same file yields the same lines as any other parser
    // of it that starts the same way.
    bool hasDefaultRules() const { return defaultRules; }

    std::string line;       // the current line, stripped
    bool wasWhite = false;  // leading whitespace was removed from `line`
    // How many whitespace characters were removed from the front of `line`,
    // a tab counting as one blank: how deep in the layout the line stands.
    // Zero exactly when `wasWhite` is false.
    std::size_t indent = 0;

  private:
    std::string_view current;  // the line last read, in the buffer
    bool inLine = false;       // unless it is in `line`

  private:
    // Where a remembered line first occurs: the offset after it, and the
    // line as getLine() handed it out.
    struct Landmark {
        std::uint64_t after = 0;
        std::string text;
        bool wasWhite = false;
        std::size_t indent = 0;
    };

    TextStreamParser(FileReader reader, std::string fileName);
    bool isCommentText(std::string_view text) const {
        if (emptyComment) {
            return true;
        }
        // Most lines begin with a byte that begins no marker.
        return !text.empty() && commentStart[static_cast<unsigned char>(text[0])] &&
               hasCommentMarker(text);
    }
    bool hasCommentMarker(std::string_view text) const;
    std::string_view readPhysicalLine();
    void forgetLandmarks();
    void noteLandmark();

    FileReader source;
    bool atEnd = false;
    bool stripwhitespace = true;
    bool stripcomments = true;
    bool defaultRules = true;
    std::array<bool, 256> whitespace{};
    std::array<bool, 256> commentStart{};  // first bytes of the comment markers
    bool emptyComment = false;             // an empty marker makes every line a comment
    std::vector<std::string> comments{";", "//"};
    std::string name;

    std::vector<std::string> landmarkKeys;
    std::vector<std::optional<Landmark>> landmarks;  // one per key
    std::size_t landmarksMissing = 0;                // keys not met yet
    std::array<bool, maxRead + 1> landmarkLength{};  // the lengths of those keys
    // Everything before this offset has been read with the landmarks noted;
    // `scannedAll` once that reached the end of the file.
    std::uint64_t scanned = 0;
    bool scannedAll = false;
};
