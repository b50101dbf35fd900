#include "dsclient/ldiflines.h"

// ldif.h uses FILE and ber_len_t without including what declares them.
#include <cstdio>

#include <lber.h>
#include <ldif.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace dsclient {

LdifLines::LdifLines(int fd)
    : fd_(fd), buffer_(std::make_unique_for_overwrite<char[]>(kPieceSize + kReadSize)) {}

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

bool LdifLines::fill() {
    // What is left is less than a piece: nextPiece reads more only then.
    held_ -= at_;
    std::memmove(buffer_.get(), buffer_.get() + at_, held_);
    at_ = 0;
    while (true) {
        const ssize_t got = ::read(fd_, buffer_.get() + held_, kReadSize);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        held_ += static_cast<std::size_t>(std::max<ssize_t>(got, 0));
        if (got <= 0) {
            ended_ = true;
            failed_ = got < 0;
        }
        return got > 0;
    }
}

bool LdifLines::nextPiece() {
    while (true) {
        const std::size_t left = held_ - at_;
        const char* begin = buffer_.get() + at_;
        const auto* lf =
            static_cast<const char*>(std::memchr(begin, '\n', std::min(left, kPieceSize)));
        std::size_t length = 0;
        if (lf != nullptr) {
            length = static_cast<std::size_t>(lf - begin) + 1;
        } else if (left >= kPieceSize || (ended_ && left > 0)) {
            length = std::min(left, kPieceSize);
        } else if (!ended_) {
            fill();
            continue;
        } else {
            return false;
        }
        piece_.assign(begin, length);
        at_ += length;
        return true;
    }
}

void LdifLines::takePiece() {
    // CR LF as LF: the record reader makes whatever follows a CR at the end
    // of a piece its LF, even the last byte of a piece that holds none.
    if (piece_.size() > 1 && piece_[piece_.size() - 2] == '\r') {
        piece_.pop_back();
        piece_.back() = '\n';
    }
    const char last = piece_.back();
    if (lastChar_ == '\n') {
        ++lines_;
        if (piece_.front() == '\n') {
            flush();
            if (!inRecord_) {
                // Comments before a record go with the empty line after them.
                pending_.clear();
            }
            inRecord_ = false;
            topComment_ = false;
            recordHasText_ = false;
            muted_ = false;
            lastChar_ = '\n';
            return;
        }
        if (!inRecord_) {
            if (piece_.front() == '#') {
                topComment_ = true;
            } else if (!(topComment_ && piece_.front() == ' ')) {
                inRecord_ = true;
                if (isDigit(piece_.front())) {
                    lastChar_ = last;  // the record's index line
                    return;
                }
            }
        }
        // A line that folds nothing into the one before: those held are whole.
        if (piece_.front() != ' ') {
            flush();
        }
        lineAfterText_ = recordHasText_;
        // A line of a lone CR after any text ends ldif_getline's walk over
        // the record: nothing after it in the record is handed out.
        if (piece_ == "\r\n" && recordHasText_) {
            muted_ = true;
        }
    }
    if (muted_) {
        lastChar_ = last;
        return;
    }
    if (pending_.empty()) {
        pendingLine_ = lines_;
    }
    pending_ += piece_;
    recordHasText_ = true;
    lastChar_ = last;
}

void LdifLines::flush() {
    if (pending_.empty()) {
        return;
    }
    ready_.swap(pending_);
    pending_.clear();
    // ldif_getline overwrites the LFs it passes: where each was, first.
    readyEnds_.clear();
    for (std::size_t end = ready_.find('\n'); end != std::string::npos;
         end = ready_.find('\n', end + 1)) {
        readyEnds_.push_back(end);
    }
    readyNext_ = ready_.data();
    readyLine_ = pendingLine_;
    readyPassed_ = 0;
}

char* LdifLines::next(std::size_t& lineNumber) {
    while (true) {
        if (readyNext_ != nullptr) {
            if (char* line = ldif_getline(&readyNext_)) {
                const auto offset = static_cast<std::size_t>(line - ready_.data());
                while (readyPassed_ < readyEnds_.size() && readyEnds_[readyPassed_] < offset) {
                    ++readyPassed_;
                }
                lineNumber = readyLine_ + readyPassed_;
                return line;
            }
            // An empty line inside the record (the rest of an index line
            // longer than a piece can leave one) ends ldif_getline's walk
            // over the whole record, not only over what was flushed.
            if (readyNext_ != nullptr && *readyNext_ == '\n') {
                muted_ = true;
                pending_.clear();
            }
            readyNext_ = nullptr;
        }
        if (!nextPiece()) {
            break;
        }
        takePiece();
    }
    if (!failed_ && lastChar_ != '\n') {
        // The last line has no LF: the record reader gives it one. A last
        // line of a lone CR then ends the line before it, as ldif_getline
        // takes a CR LF after a line.
        if (pending_ == "\r" && lineAfterText_) {
            pending_.clear();
        } else {
            pending_ += '\n';
        }
        lastChar_ = '\n';
    }
    flush();
    if (readyNext_ != nullptr) {
        return next(lineNumber);
    }
    errno = failed_ ? (errno != 0 ? errno : EIO) : 0;
    return nullptr;
}

}  // namespace dsclient
