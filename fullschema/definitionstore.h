#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "toollib/schemadesc/fulldefinition.h"

// One kind's definitions packed into one block of bytes, each field a
// length and its text, in the order of FullDefinition. A schema of a
// hundred thousand definitions holds few of its many fields, and a
// FullDefinition spends a string or a list on every one of them and an
// allocation on most texts it has: packed, the two schemas of a comparison
// take a few times less memory, and walking them touches that much less.
// Reading a field reads the packed bytes in place; a whole FullDefinition
// is built only where one is handed out.
namespace fullschema {

using schemadesc::FullDefinition;

// The texts of a list field, read in place.
class PackedList {
  public:
    class iterator {
      public:
        using iterator_category = std::input_iterator_tag;
        using value_type = std::string_view;
        using difference_type = std::ptrdiff_t;
        using pointer = const std::string_view*;
        using reference = std::string_view;

        iterator() = default;
        iterator(const char* at, std::size_t left) : at_(at), left_(left) {}
        std::string_view operator*() const;
        iterator& operator++();
        bool operator==(const iterator& other) const { return left_ == other.left_; }

      private:
        const char* at_ = nullptr;
        std::size_t left_ = 0;
    };

    PackedList() = default;
    PackedList(const char* data, std::size_t count, std::size_t bytes)
        : data_(data), count_(count), bytes_(bytes) {}

    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    iterator begin() const { return {data_, count_}; }
    iterator end() const { return {nullptr, 0}; }
    std::string_view front() const { return *begin(); }
    std::string_view operator[](std::size_t index) const;
    // The packed bytes: two lists are equal exactly when these are.
    std::string_view bytes() const { return {data_, bytes_}; }
    std::vector<std::string> strings() const;

  private:
    const char* data_ = nullptr;
    std::size_t count_ = 0;
    std::size_t bytes_ = 0;
};

// Every field of one packed definition, read in place: valid while the
// store is not added to.
struct DefinitionView {
    std::string_view oid;
    PackedList names;
    bool hasDesc = false;
    std::string_view desc;
    bool obsolete = false;
    PackedList superiors;
    std::string_view equality;
    std::string_view ordering;
    std::string_view substr;
    std::string_view syntax;
    std::uint32_t syntaxLength = 0;
    bool singleValue = false;
    bool collective = false;
    bool noUserModification = false;
    std::string_view usage;
    std::string_view classKind;
    PackedList must;
    PackedList may;
    PackedList aux;
    PackedList notAllowed;
    PackedList applies;
    std::string_view objectClass;
    std::string_view form;
    // Each extension as its NAME then a list of its values; equal bytes are
    // equal extensions.
    std::size_t extensionCount = 0;
    std::string_view extensionBytes;

    FullDefinition unpacked() const;
};

class DefinitionStore {
  public:
    class iterator {
      public:
        using iterator_category = std::input_iterator_tag;
        using value_type = FullDefinition;
        using difference_type = std::ptrdiff_t;
        using pointer = const FullDefinition*;
        using reference = FullDefinition;

        iterator() = default;
        iterator(const DefinitionStore* store, std::size_t at) : store_(store), at_(at) {}
        FullDefinition operator*() const { return (*store_)[at_]; }
        iterator& operator++() {
            ++at_;
            return *this;
        }
        bool operator==(const iterator& other) const { return at_ == other.at_; }

      private:
        const DefinitionStore* store_ = nullptr;
        std::size_t at_ = 0;
    };

    DefinitionStore() = default;
    DefinitionStore(const DefinitionStore& other);
    DefinitionStore& operator=(const DefinitionStore& other);
    DefinitionStore(DefinitionStore&&) noexcept = default;
    DefinitionStore& operator=(DefinitionStore&&) noexcept = default;
    ~DefinitionStore() = default;

    // Room for `definitions` that pack to about `bytes`.
    void reserve(std::size_t definitions, std::size_t bytes);
    // How many bytes `definition` packs to.
    std::size_t packedSize(const FullDefinition& definition);
    void add(const FullDefinition& definition);
    // Takes `tail`'s definitions after this store's own, and its blocks with
    // them: nothing is copied, and what views of them were taken stay valid.
    void append(DefinitionStore&& tail);
    // A definition packed again in place of the one at `index`, whose bytes
    // stay unused.
    void replace(std::size_t index, const FullDefinition& definition);

    std::size_t size() const { return starts_.size(); }
    bool empty() const { return starts_.empty(); }
    DefinitionView view(std::size_t index) const;
    // The fields from the OID through SYNTAX's bound alone, the rest left
    // empty: what a walk along SUP chains reads of every type.
    DefinitionView leading(std::size_t index) const;
    // The first two fields alone, for look-ups by them.
    std::string_view oid(std::size_t index) const;
    PackedList names(std::size_t index) const;
    // The definition built whole.
    FullDefinition operator[](std::size_t index) const { return view(index).unpacked(); }
    iterator begin() const { return {this, 0}; }
    iterator end() const { return {this, size()}; }

  private:
    // Packed bytes go into blocks that never move, each filled before the
    // next is taken: no copy as the store grows, and views stay valid.
    const char* pack(const FullDefinition& definition);
    DefinitionView unpack(std::size_t index, bool whole) const;
    void write(const FullDefinition& definition);

    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t used_ = 0;  // of the last block
    std::size_t blockSize_ = 0;
    std::size_t expected_ = 0;  // not yet in a block
    std::vector<const char*> starts_;
    std::vector<char> scratch_;
};

}  // namespace fullschema
