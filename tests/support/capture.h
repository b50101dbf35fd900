#pragma once

#include <iostream>
#include <sstream>
#include <string>

// Collects what a block of code writes on one of the standard streams.
// The stream's own buffer is put back when the capture ends.
class StreamCapture {
  public:
    explicit StreamCapture(std::ostream& stream)
        : stream_(stream), saved_(stream.rdbuf(buffer_.rdbuf())) {}
    ~StreamCapture() { stream_.rdbuf(saved_); }
    StreamCapture(const StreamCapture&) = delete;
    StreamCapture& operator=(const StreamCapture&) = delete;

    std::string text() const { return buffer_.str(); }

  private:
    std::ostream& stream_;
    std::ostringstream buffer_;
    std::streambuf* saved_;
};
