#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dsclient/sourceschema.h"

namespace dsclient {

// A reply buffer: one part of a schema read, encoded as a sequence of tagged
// items (a count, then each definition and, for a class, its five item
// counts and items), walked in order by the Get calls. Every Get call checks
// each length against the end of what was written, so no content, however
// it was made, is read past its end.
class ReplyBuffer {
  public:
    explicit ReplyBuffer(std::size_t capacity) : capacity_(capacity) { bytes_.reserve(capacity); }

    std::size_t capacity() const { return capacity_; }

    // The kinds of definitions a part holds.
    enum class Kind : char { classes = 'C', attrs = 'A', syntaxes = 'S' };

    // Starts a new part of `kind`: empties the buffer and writes a count of 0.
    void startPart(Kind kind);
    // Appends one definition if it fits within the capacity, counting it.
    // False (buffer unchanged) when it does not fit.
    bool append(const ClassDefinition& def);
    bool append(const AttrDefinition& def);
    bool append(const SyntaxDefinition& def);
    std::uint32_t partCount() const { return partCount_; }

    // Replaces the whole content, for tests and fuzzing of the Get calls.
    void assign(std::vector<unsigned char> bytes);

    // The Get calls: 0 or a QXERR_ code. A name longer than QX_MAX_NAME_LEN
    // is passed over with QXERR_NAME_TOO_LONG; an item of another kind, or a
    // damaged one, answers QXERR_WRONG_ITEM; the end QXERR_NO_MORE_ITEMS.
    std::int32_t getCount(Kind kind, std::uint32_t& count);
    std::int32_t getClass(char* name, std::uint32_t& flags);
    std::int32_t getItemCount(std::uint32_t& count);
    std::int32_t getItem(char* name);
    std::int32_t getAttr(char* name, std::uint32_t& flags, std::uint32_t& syntaxId);
    std::int32_t getSyntax(char* name, std::uint16_t& flags);

    // After a Get call answered QXERR_NAME_TOO_LONG: one line naming the
    // name passed over (cut, control bytes shown) and, for a class's item,
    // its class.
    const std::string& longNameNote() const { return longNameNote_; }

  private:
    void putTag(char tag);
    void put32(std::uint32_t value);
    void putName(std::string_view name);
    void countOne();
    bool fits(std::size_t size) const { return bytes_.size() + size <= capacity_; }

    // Reads at `at` without moving the cursor; false when the bytes run out.
    bool read32(std::size_t& at, std::uint32_t& value) const;
    bool readName(std::size_t& at, const unsigned char*& text, std::uint32_t& length) const;
    // Checks the tag at the cursor: 0, QXERR_WRONG_ITEM or QXERR_NO_MORE_ITEMS.
    std::int32_t expect(char tag) const;
    std::int32_t takeName(std::size_t& at, char* name);
    std::int32_t getNamed(char tag, std::size_t words, std::array<std::uint32_t, 2>& values,
                          char* name);
    void noteLongName(const std::string& what);

    std::size_t capacity_;
    std::vector<unsigned char> bytes_;
    std::size_t cursor_ = 0;
    std::uint32_t partCount_ = 0;
    std::string currentClass_;  // the last class handed out, for its items
    std::string longName_;
    std::string longNameNote_;
};

}  // namespace dsclient
