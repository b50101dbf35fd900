#pragma once

#include <algorithm>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "schema/extendedarray.h"
#include "schema/prefetch.h"
#include "schema/stablesort.h"
#include "toollib/namecompare.h"

// A sorted list of names, such as a class's superclasses or mandatory
// attributes: ordered and compared without regard to letter case, and equal
// names kept in the order they were added, as ExtendedArray keeps any
// element. The names are packed into one block: its room, the end offset of
// each name, then all their bytes. The member lists of a large schema hold
// millions of short names; as strings each took 32 bytes and a block of its
// own when it was long, more than the schema's listing holds, and every
// byte of it is memory that must be fetched and cleared. A name is handed
// out as a std::string_view of its bytes, valid until the list changes; a
// caller that keeps one makes a std::string of it.
class NameList {
  public:
    static constexpr std::size_t notFound = static_cast<std::size_t>(-1);

    class const_iterator {
      public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = std::string_view;
        using difference_type = std::ptrdiff_t;
        using reference = std::string_view;
        using pointer = void;

        const_iterator() = default;
        const_iterator(const NameList* owner, std::size_t index) : list(owner), at(index) {}
        std::string_view operator*() const { return (*list)[at]; }
        std::string_view operator[](difference_type steps) const { return *(*this + steps); }
        const_iterator& operator++() { return ++at, *this; }
        // A const result, as one check would have it, fails the standard's
        // iterator concepts.
        const_iterator operator++(int) { return {list, at++}; }  // NOLINT(cert-dcl21-cpp)
        const_iterator& operator--() { return --at, *this; }
        const_iterator operator--(int) { return {list, at--}; }  // NOLINT(cert-dcl21-cpp)
        const_iterator& operator+=(difference_type steps) {
            at = static_cast<std::size_t>(static_cast<difference_type>(at) + steps);
            return *this;
        }
        const_iterator& operator-=(difference_type steps) { return *this += -steps; }
        friend const_iterator operator+(const_iterator i, difference_type steps) {
            return i += steps;
        }
        friend const_iterator operator+(difference_type steps, const_iterator i) {
            return i += steps;
        }
        friend const_iterator operator-(const_iterator i, difference_type steps) {
            return i -= steps;
        }
        friend difference_type operator-(const const_iterator& a, const const_iterator& b) {
            return static_cast<difference_type>(a.at) - static_cast<difference_type>(b.at);
        }
        friend bool operator==(const const_iterator& a, const const_iterator& b) {
            return a.at == b.at;
        }
        friend auto operator<=>(const const_iterator& a, const const_iterator& b) {
            return a.at <=> b.at;
        }

      private:
        const NameList* list = nullptr;
        std::size_t at = 0;
    };

    NameList() = default;
    NameList(const NameList& other) { copyFrom(other); }
    NameList(NameList&& other) noexcept { takeFrom(other); }
    NameList& operator=(const NameList& other) {
        if (this != &other) {
            NameList copy(other);  // made first, so a failure leaves this as it was
            takeFrom(copy);
        }
        return *this;
    }
    NameList& operator=(NameList&& other) noexcept {
        if (this != &other) {
            takeFrom(other);
        }
        return *this;
    }
    ~NameList() = default;

    // Inserts `t` after every name that is not greater; true. Memory that
    // runs out throws std::bad_alloc with the array unchanged.
    bool Add(std::string_view t) {
        std::size_t lower = 0;
        std::size_t upper = n;
        if (n != 0 && compareNames(t, view(n - 1)) < 0) {
            while (lower < upper) {
                const std::size_t middle = lower + (upper - lower) / 2;
                if (compareNames(t, view(middle)) < 0) {
                    upper = middle;
                } else {
                    lower = middle + 1;
                }
            }
        } else {
            lower = n;  // the common case: names that arrive in order
        }
        insertAt(lower, t);
        return true;
    }

    // Adds every name of `batch` as if by Add, one after the other in batch
    // order, in n log n time; true. Memory that runs out throws
    // std::bad_alloc with the array unchanged.
    bool AddAll(const std::vector<std::string_view>& batch) {
        if (batch.empty()) {
            return true;
        }
        if (!std::is_sorted(batch.begin(), batch.end(), less)) {
            std::vector<std::string_view> sorted(batch);
            stablesort::sortByName(sorted);
            addSorted(sorted);
        } else {
            addSorted(batch);
        }
        return true;
    }
    bool AddAll(const std::vector<std::string>& batch) {
        return AddAll(std::vector<std::string_view>(batch.begin(), batch.end()));
    }

    // The index of a name equal to `t`, found by halving, or notFound. Among
    // equal names it is the first that the halving meets, which the
    // comparison report relies on, so the steps are kept exactly.
    std::size_t Find(std::string_view t) const {
        return findByHalving(n, [this, t](std::size_t i) { return compareNames(view(i), t); });
    }

    // What Find(t) returns, for a run of calls whose names do not descend,
    // each starting where the one before stopped (`cursor`, 0 for the first).
    std::size_t FindInOrder(std::string_view t, std::size_t& cursor) const {
        int order = 1;
        while (cursor < n && (order = compareNames(view(cursor), t)) < 0) {
            ++cursor;
        }
        if (order != 0) {
            return notFound;
        }
        // Of several equal names, the halving decides which one is found.
        if (cursor + 1 < n && namesEqual(view(cursor + 1), t)) {
            return Find(t);
        }
        return cursor;
    }

    std::size_t count() const { return n; }
    bool empty() const { return n == 0; }
    std::string_view operator[](std::size_t i) const { return view(i); }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, n}; }

    // Asks for the memory that reading the names touches first, for a walk
    // that will visit this list shortly.
    void prefetch() const {
        if (n != 0) {
            prefetchMemory(block.get(), 1);
            prefetchMemory(chars(), 1);
        }
    }

    // Equal when both hold the same number of names and each pair at the
    // same index is equal without regard to case.
    bool operator==(const NameList& b) const {
        return std::equal(begin(), end(), b.begin(), b.end(),
                          [](std::string_view x, std::string_view y) { return namesEqual(x, y); });
    }
    bool operator!=(const NameList& b) const { return !(*this == b); }

    // Calls `visit` with each name of this list, in order, that `other`
    // lacks: a name is lacked when other.Find would not find it.
    template <class Visit>
    void forEachNotIn(const NameList& other, Visit visit) const {
        if (sameBytes(other)) {
            return;
        }
        std::size_t cursor = 0;  // both lists are in name order
        for (std::size_t i = 0; i < n; ++i) {
            const std::string_view name = view(i);
            if (other.FindInOrder(name, cursor) == notFound) {
                visit(name);
            }
        }
    }

  private:
    using Offset = std::uint32_t;

    // True when `b` holds the same names as this list byte for byte, so
    // that each name of either is found in the other: most lists of two
    // versions of a schema are alike, and one comparison of their blocks
    // spares a look-up of every name.
    bool sameBytes(const NameList& b) const {
        return n == b.n && used == b.used &&
               (n == 0 || (std::equal(ends(), ends() + n, b.ends()) &&
                           std::memcmp(chars(), b.chars(), used) == 0));
    }
    // The block begins with how many offsets and bytes it has room for.
    static constexpr std::size_t header = 2;

    // A count or length beyond what an offset holds is more memory than the
    // process can have.
    static Offset checked(std::size_t value) {
        if (value > std::numeric_limits<Offset>::max()) {
            throw std::bad_alloc();
        }
        return static_cast<Offset>(value);
    }

    // Twice `size`, at least `least`, as far as an offset reaches.
    static Offset grown(Offset size, std::size_t least) {
        const std::size_t twice = std::max<std::size_t>(least, 2 * std::size_t{size});
        return static_cast<Offset>(
            std::min<std::size_t>(twice, std::numeric_limits<Offset>::max()));
    }

    Offset slots() const { return block ? block[0] : 0; }
    Offset room() const { return block ? block[1] : 0; }
    const Offset* ends() const { return block.get() + header; }
    Offset* ends() { return block.get() + header; }
    const char* chars() const { return reinterpret_cast<const char*>(ends() + block[0]); }
    char* chars() { return reinterpret_cast<char*>(ends() + block[0]); }

    std::string_view view(std::size_t i) const {
        const Offset from = i == 0 ? 0 : ends()[i - 1];
        return {chars() + from, ends()[i] - from};
    }

    // A block with room for `names` offsets and `bytes` bytes of names.
    static std::unique_ptr<Offset[]> allocate(Offset names, Offset bytes) {
        const std::size_t words = header + std::size_t{names} +
                                  (std::size_t{bytes} + sizeof(Offset) - 1) / sizeof(Offset);
        std::unique_ptr<Offset[]> fresh = std::make_unique_for_overwrite<Offset[]>(words);
        fresh[0] = names;
        fresh[1] = bytes;
        return fresh;
    }

    static bool less(std::string_view a, std::string_view b) { return compareNames(a, b) < 0; }

    // Adds `batch`, which is in name order, after the equal names held.
    void addSorted(const std::vector<std::string_view>& batch) {
        if (n == 0) {
            rebuild(batch);
            return;
        }
        std::vector<std::string_view> merged;
        merged.reserve(n + batch.size());
        // Names held before go before equal new ones, as Add would place them.
        std::merge(begin(), end(), batch.begin(), batch.end(), std::back_inserter(merged), less);
        rebuild(merged);
    }

    // Replaces the contents with `names`, in their order, in a block of
    // exactly their size; `names` may view the block being replaced.
    void rebuild(const std::vector<std::string_view>& names) {
        std::size_t total = 0;
        for (std::string_view name : names) {
            total += name.size();
        }
        const Offset count = checked(names.size());
        const Offset bytes = checked(total);
        std::unique_ptr<Offset[]> fresh = allocate(count, bytes);
        Offset* freshEnds = fresh.get() + header;
        char* to = reinterpret_cast<char*>(freshEnds + count);
        Offset end = 0;
        for (std::size_t k = 0; k < names.size(); ++k) {
            if (!names[k].empty()) {
                std::memcpy(to + end, names[k].data(), names[k].size());
            }
            end += static_cast<Offset>(names[k].size());
            freshEnds[k] = end;
        }
        block = std::move(fresh);
        n = count;
        used = bytes;
    }

    // Puts `t` at index `at`, moving the names from there on one place up.
    void insertAt(std::size_t at, std::string_view t) {
        // A name of this array itself: its bytes move as room is made.
        std::string copy;
        const std::less<const char*> before;
        if (n != 0 && !before(t.data(), chars()) && before(t.data(), chars() + room())) {
            copy.assign(t);
            t = copy;
        }
        const Offset length = checked(t.size());
        const Offset newCount = checked(std::size_t{n} + 1);
        const Offset newUsed = checked(std::size_t{used} + length);
        const Offset from = at == 0 ? 0 : ends()[at - 1];
        if (newCount > slots() || newUsed > room()) {
            // Room for twice as many, so that adding one by one costs
            // amortised constant time per name.
            const Offset newSlots = std::max(newCount, grown(slots(), 4));
            const Offset newRoom = std::max(newUsed, grown(room(), 32));
            std::unique_ptr<Offset[]> fresh = allocate(newSlots, newRoom);
            Offset* freshEnds = fresh.get() + header;
            char* to = reinterpret_cast<char*>(freshEnds + newSlots);
            if (n != 0) {
                std::copy(ends(), ends() + at, freshEnds);
                std::copy(ends() + at, ends() + n, freshEnds + at + 1);
                std::memcpy(to, chars(), from);
                std::memcpy(to + from + length, chars() + from, used - from);
            }
            block = std::move(fresh);
        } else {
            std::copy_backward(ends() + at, ends() + n, ends() + n + 1);
            std::memmove(chars() + from + length, chars() + from, used - from);
        }
        if (length != 0) {
            std::memcpy(chars() + from, t.data(), length);
        }
        Offset* endsOf = ends();
        endsOf[at] = from + length;
        for (std::size_t k = at + 1; k < newCount; ++k) {
            endsOf[k] += length;
        }
        n = newCount;
        used = newUsed;
    }

    void copyFrom(const NameList& other) {
        if (other.n == 0) {
            return;
        }
        block = allocate(other.n, other.used);
        std::copy(other.ends(), other.ends() + other.n, ends());
        n = other.n;
        used = other.used;
        std::memcpy(chars(), other.chars(), used);
    }

    void takeFrom(NameList& other) noexcept {
        block = std::move(other.block);
        n = std::exchange(other.n, 0);
        used = std::exchange(other.used, 0);
    }

    // See above; none until the first name comes.
    std::unique_ptr<Offset[]> block;
    Offset n = 0;     // names held
    Offset used = 0;  // bytes of them
};
