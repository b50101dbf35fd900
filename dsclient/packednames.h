#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace dsclient {

// The names of one list of a class, in order, packed into one block: each
// name's length in four bytes, then its bytes. A large schema's classes name
// hundreds of thousands of members; as strings each took 32 bytes, and a
// block of its own when longer than fifteen, far more than the names. The
// names are read in order, as string_views valid until the list changes.
class PackedNames {
  public:
    class const_iterator {
      public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = std::string_view;
        using difference_type = std::ptrdiff_t;
        using reference = std::string_view;
        using pointer = void;

        const_iterator() = default;
        explicit const_iterator(const char* at) : at_(at) {}
        std::string_view operator*() const { return {at_ + kLength, length()}; }
        const_iterator& operator++() {
            at_ += kLength + length();
            return *this;
        }
        // A const result, as one check would have it, fails the standard's
        // iterator concepts.
        const_iterator operator++(int) {  // NOLINT(cert-dcl21-cpp)
            const const_iterator before = *this;
            ++*this;
            return before;
        }
        friend bool operator==(const const_iterator& a, const const_iterator& b) {
            return a.at_ == b.at_;
        }

      private:
        std::size_t length() const {
            std::uint32_t bytes = 0;
            std::memcpy(&bytes, at_, kLength);
            return bytes;
        }
        const char* at_ = nullptr;
    };

    PackedNames() = default;
    PackedNames(std::initializer_list<std::string_view> names) {
        for (const std::string_view name : names) {
            push_back(name);
        }
    }
    // The names of any range of what converts to a string_view, sized once.
    template <class Names>
    explicit PackedNames(const Names& names) {
        std::size_t count = 0;
        std::size_t bytes = 0;
        for (const std::string_view name : names) {
            ++count;
            bytes += name.size();
        }
        reserve(count, bytes);
        for (const std::string_view name : names) {
            push_back(name);
        }
    }

    void push_back(std::string_view name) {
        if (name.size() > UINT32_MAX) {
            throw std::length_error("a name longer than a list can hold");
        }
        const auto length = static_cast<std::uint32_t>(name.size());
        char prefix[kLength];
        std::memcpy(prefix, &length, kLength);
        bytes_.append(prefix, kLength);
        bytes_.append(name);
        ++count_;
    }
    // Room for `count` more names of `bytes` together.
    void reserve(std::size_t count, std::size_t bytes) {
        bytes_.reserve(bytes_.size() + count * kLength + bytes);
    }
    void assign(std::size_t count, std::string_view name) {
        clear();
        reserve(count, count * name.size());
        for (std::size_t n = 0; n < count; ++n) {
            push_back(name);
        }
    }
    void clear() {
        bytes_.clear();
        count_ = 0;
    }
    // Clears the list and gives its block back, which clear() keeps.
    void release() {
        std::string().swap(bytes_);
        count_ = 0;
    }

    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    const_iterator begin() const { return const_iterator(bytes_.data()); }
    const_iterator end() const { return const_iterator(bytes_.data() + bytes_.size()); }

    // The names as strings, for a caller that keeps them.
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        out.reserve(count_);
        for (const std::string_view name : *this) {
            out.emplace_back(name);
        }
        return out;
    }

    friend bool operator==(const PackedNames& a, const PackedNames& b) = default;

  private:
    static constexpr std::size_t kLength = sizeof(std::uint32_t);
    std::string bytes_;
    std::size_t count_ = 0;
};

}  // namespace dsclient
