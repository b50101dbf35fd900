#include "toollib/txtparse/textstreamparser.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "toollib/namecompare.h"

namespace {

std::unique_ptr<std::istream> openForReading(const std::string& fileName) {
    std::error_code ec;
    if (std::filesystem::is_directory(fileName, ec)) {
        return nullptr;
    }
    auto file = std::make_unique<std::ifstream>(fileName, std::ios::in);
    if (!file->good()) {
        return nullptr;
    }
    return file;
}

}  // namespace

TextStreamParser::TextStreamParser(const std::string& fileName)
    : TextStreamParser(openForReading(fileName), fileName) {}

TextStreamParser::TextStreamParser(std::unique_ptr<std::istream> stream, std::string fileName)
    : is(std::move(stream)), name(std::move(fileName)) {}

TextStreamParser TextStreamParser::fromText(std::string text, std::string fileName) {
    return TextStreamParser(std::make_unique<std::istringstream>(std::move(text)),
                            std::move(fileName));
}

bool TextStreamParser::isWhiteSpace(char ch) const {
    return whitespace.find(ch) != std::string::npos;
}

bool TextStreamParser::isComment() const {
    for (const std::string& marker : comments) {
        if (line.compare(0, marker.size(), marker) == 0) {
            return true;
        }
    }
    return false;
}

void TextStreamParser::setComment(const std::string& newcomment) {
    for (const std::string& marker : comments) {
        if (namesEqual(marker, newcomment)) {
            return;
        }
    }
    comments.push_back(newcomment);
}

void TextStreamParser::setWhiteSpace(char newwhitespace) {
    if (!isWhiteSpace(newwhitespace)) {
        whitespace.push_back(newwhitespace);
    }
}

bool TextStreamParser::readPhysicalLine() {
    line.clear();
    if (is == nullptr) {
        atEnd = true;
        return false;
    }
    std::streambuf* buf = is->rdbuf();
    while (line.size() < maxRead) {
        const int c = buf->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            atEnd = true;
            return true;
        }
        if (c == '\n') {
            return true;
        }
        line.push_back(static_cast<char>(c));
    }
    // A line of exactly the read size still owns the newline that follows it.
    if (buf->sgetc() == '\n') {
        buf->sbumpc();
    }
    return true;
}

bool TextStreamParser::getLine() {
    for (;;) {
        wasWhite = false;
        // Peeking tells the end of the file before a read meets it, so a file
        // that ends in a newline has no empty line after its last one.
        if (atEnd || is == nullptr || is->rdbuf()->sgetc() == std::char_traits<char>::eof()) {
            atEnd = true;
            return false;
        }
        readPhysicalLine();
        if (stripwhitespace) {
            std::size_t first = 0;
            while (first < line.size() && isWhiteSpace(line[first])) {
                ++first;
            }
            if (first == line.size()) {
                continue;
            }
            wasWhite = first > 0;
            std::size_t last = line.size();
            while (isWhiteSpace(line[last - 1])) {
                --last;
            }
            line = line.substr(first, last - first);
        }
        if (stripcomments && isComment()) {
            continue;
        }
        return true;
    }
}

bool TextStreamParser::getLine(const std::string& srchstr) {
    while (getLine()) {
        if (namesEqual(line, srchstr)) {
            return true;
        }
    }
    return false;
}

void TextStreamParser::rewind() {
    line.clear();
    wasWhite = false;
    if (is == nullptr) {
        return;
    }
    is->clear();
    is->seekg(0, std::ios::beg);
    atEnd = !is->good();
}
