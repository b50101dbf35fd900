#include "toollib/txtparse/textstreamparser.h"

#include <cstring>
#include <utility>

#include "toollib/namecompare.h"

TextStreamParser::TextStreamParser(const std::string& fileName)
    : TextStreamParser(FileReader::open(fileName), fileName) {}

TextStreamParser::TextStreamParser(FileReader reader, std::string fileName)
    : source(std::move(reader)), name(std::move(fileName)) {
    for (const char ch : {'\t', ' ', '\r', '\n'}) {
        whitespace[static_cast<unsigned char>(ch)] = true;
    }
    for (const std::string& marker : comments) {
        commentStart[static_cast<unsigned char>(marker[0])] = true;
    }
}

TextStreamParser TextStreamParser::fromText(const std::string& text, std::string fileName) {
    return TextStreamParser(FileReader::fromText(text), std::move(fileName));
}

bool TextStreamParser::hasCommentMarker(std::string_view text) const {
    for (const std::string& marker : comments) {
        if (text.substr(0, marker.size()) == marker) {
            return true;
        }
    }
    return false;
}

void TextStreamParser::stripWhiteSpace(bool ws) {
    if (stripwhitespace != ws) {
        stripwhitespace = ws;
        defaultRules = false;
        forgetLandmarks();
    }
}

void TextStreamParser::stripComments(bool sc) {
    if (stripcomments != sc) {
        stripcomments = sc;
        defaultRules = false;
        forgetLandmarks();
    }
}

void TextStreamParser::setComment(const std::string& newcomment) {
    for (const std::string& marker : comments) {
        if (namesEqual(marker, newcomment)) {
            return;
        }
    }
    comments.push_back(newcomment);
    defaultRules = false;
    if (newcomment.empty()) {
        emptyComment = true;
    } else {
        commentStart[static_cast<unsigned char>(newcomment[0])] = true;
    }
    forgetLandmarks();
}

void TextStreamParser::setWhiteSpace(char newwhitespace) {
    if (!isWhiteSpace(newwhitespace)) {
        whitespace[static_cast<unsigned char>(newwhitespace)] = true;
        defaultRules = false;
        forgetLandmarks();
    }
}

std::string_view TextStreamParser::readPhysicalLine() {
    // One byte beyond a full piece tells whether a newline follows it.
    const std::size_t available = source.fill(maxRead + 1);
    const char* start = source.current();
    const std::size_t span = available < maxRead ? available : maxRead;
    if (const void* newline = std::memchr(start, '\n', span)) {
        const auto length = static_cast<std::size_t>(static_cast<const char*>(newline) - start);
        source.advance(length + 1);
        return {start, length};
    }
    source.advance(span);
    if (span < maxRead) {
        atEnd = true;  // the file ends inside this line
    } else if (available > maxRead && start[maxRead] == '\n') {
        // A line of exactly the read size still owns the newline that follows it.
        source.advance(1);
    }
    return {start, span};
}

void TextStreamParser::forgetLandmarks() {
    landmarkLength.fill(false);
    for (std::size_t k = 0; k < landmarkKeys.size(); ++k) {
        landmarks[k].reset();
        // A longer key can never equal a line.
        if (landmarkKeys[k].size() < landmarkLength.size()) {
            landmarkLength[landmarkKeys[k].size()] = true;
        }
    }
    landmarksMissing = landmarkKeys.size();
    scanned = 0;
    scannedAll = false;
}

void TextStreamParser::rememberLines(const std::vector<std::string>& keys) {
    if (keys == landmarkKeys) {
        return;
    }
    landmarkKeys = keys;
    landmarks.assign(keys.size(), std::nullopt);
    forgetLandmarks();
}

void TextStreamParser::noteLandmark() {
    if (!landmarkLength[current.size()]) {
        return;
    }
    for (std::size_t k = 0; k < landmarkKeys.size(); ++k) {
        if (!landmarks[k] && namesEqual(current, landmarkKeys[k])) {
            landmarks[k] = Landmark{source.offset(), std::string(current), wasWhite, indent};
            --landmarksMissing;
        }
    }
}

bool TextStreamParser::getLine() {
    if (!nextLine()) {
        return false;
    }
    line.assign(current);
    inLine = true;
    return true;
}

bool TextStreamParser::nextLine() {
    for (;;) {
        wasWhite = false;
        indent = 0;
        // Looking ahead tells the end of the file before a read meets it, so
        // a file that ends in a newline has no empty line after its last one.
        if (atEnd || source.fill(1) == 0) {
            atEnd = true;
            if (source.offset() == scanned && !landmarkKeys.empty()) {
                scannedAll = true;
            }
            return false;
        }
        const bool frontier = source.offset() == scanned;
        std::string_view text = readPhysicalLine();
        if (frontier) {
            scanned = source.offset();
        }
        if (stripwhitespace) {
            std::size_t first = 0;
            while (first < text.size() && isWhiteSpace(text[first])) {
                ++first;
            }
            if (first == text.size()) {
                continue;
            }
            wasWhite = first > 0;
            indent = first;
            std::size_t last = text.size();
            while (isWhiteSpace(text[last - 1])) {
                --last;
            }
            text = text.substr(first, last - first);
        }
        if (stripcomments && isCommentText(text)) {
            continue;
        }
        current = text;
        inLine = false;
        if (frontier && landmarksMissing != 0) {
            noteLandmark();
        }
        return true;
    }
}

bool TextStreamParser::getLine(const std::string& srchstr) {
    // At the start of the file the first occurrence of a remembered line is
    // known once the file has been read past it, and its absence once the
    // file has been read to the end.
    if (!atEnd && source.offset() == 0) {
        for (std::size_t k = 0; k < landmarkKeys.size(); ++k) {
            if (!namesEqual(srchstr, landmarkKeys[k])) {
                continue;
            }
            if (const std::optional<Landmark>& landmark = landmarks[k]) {
                if (source.seek(landmark->after)) {
                    line = landmark->text;
                    inLine = true;
                    wasWhite = landmark->wasWhite;
                    indent = landmark->indent;
                    return true;
                }
            } else if (source.seek(scanned)) {
                if (scannedAll) {
                    wasWhite = false;
                    indent = 0;
                    atEnd = true;
                    return false;
                }
            }
            break;
        }
    }
    while (getLine()) {
        if (namesEqual(line, srchstr)) {
            return true;
        }
    }
    return false;
}

void TextStreamParser::rewind() {
    line.clear();
    current = {};
    inLine = false;
    wasWhite = false;
    indent = 0;
    if (!source.isOpen()) {
        return;
    }
    // A pipe cannot go back, and a file that cannot go back has no more lines.
    atEnd = !source.canSeek() || !source.seek(0);
}
