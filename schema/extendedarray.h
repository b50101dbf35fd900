#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "schema/stablesort.h"
#include "toollib/namecompare.h"

// How an ExtendedArray orders its elements: by the element's own operators,
// except that plain names order without regard to letter case. `compare` is
// negative, zero or positive as `a` sorts before, equal to or after `b`, in
// one comparison where the type allows.
template <class T>
struct ArrayOrder {
    static bool less(const T& a, const T& b) { return a < b; }
    static bool equal(const T& a, const T& b) { return a == b; }
    static int compare(const T& a, const T& b) {
        if constexpr (OrderedByName<T>) {
            return compareNames(orderNameOf(a), orderNameOf(b));
        } else {
            return equal(a, b) ? 0 : less(a, b) ? -1 : 1;
        }
    }
};

template <>
struct ArrayOrder<std::string> {
    static bool less(const std::string& a, const std::string& b) { return compareNames(a, b) < 0; }
    static bool equal(const std::string& a, const std::string& b) { return namesEqual(a, b); }
    static int compare(const std::string& a, const std::string& b) { return compareNames(a, b); }
};

// The halving of ExtendedArray::Find over `count` elements, where `order(i)`
// is negative, zero or positive as element i sorts before, equal to or
// after the value sought: the index of the first equal element it meets,
// or -1 (notFound). The steps are kept exactly, as the comparison report
// depends on which of several equal elements is found.
template <class Order>
std::size_t findByHalving(std::size_t count, Order order) {
    constexpr auto notFound = static_cast<std::size_t>(-1);
    if (count == 0) {
        return notFound;
    }
    std::ptrdiff_t lower = 0;
    std::ptrdiff_t upper = static_cast<std::ptrdiff_t>(count) - 1;
    while (lower < upper) {
        const std::ptrdiff_t middle = (lower + upper) / 2;
        const int found = order(static_cast<std::size_t>(middle));
        if (found == 0) {
            return static_cast<std::size_t>(middle);
        }
        if (found < 0) {
            lower = middle + 1;
        } else {
            upper = middle - 1;
        }
    }
    if (lower == upper && order(static_cast<std::size_t>(lower)) == 0) {
        return static_cast<std::size_t>(lower);
    }
    return notFound;
}

// A sorted array of values. Elements stay in ascending order; an added element
// goes after every element that is not greater than it, so duplicates keep the
// order in which they were added.
template <class T>
class ExtendedArray {
  public:
    static constexpr std::size_t notFound = static_cast<std::size_t>(-1);

    // Inserts a copy of `t` in order; true. Memory that runs out throws
    // std::bad_alloc with the array unchanged: a collection that silently
    // lacks a definition would give a wrong listing or comparison.
    bool Add(const T& t) {
        T copy(t);  // made first, so a failure leaves the array as it was
        if (items.empty() || !ArrayOrder<T>::less(copy, items.back())) {
            items.push_back(std::move(copy));  // the common case: input that arrives sorted
        } else {
            const auto at =
                std::upper_bound(items.begin(), items.end(), copy, &ArrayOrder<T>::less);
            items.insert(at, std::move(copy));
        }
        return true;
    }

    // Adds every element of `batch` as if by Add, one after the other in
    // batch order, but in n log n time rather than quadratic time for input
    // that arrives unsorted; true. Memory that runs out throws std::bad_alloc
    // with the array unchanged, as for Add.
    bool AddAll(std::vector<T> batch) {
        if (!std::is_sorted(batch.begin(), batch.end(), &ArrayOrder<T>::less)) {
            sortStably(batch, &ArrayOrder<T>::less);
        }
        if (items.empty()) {
            items = std::move(batch);
            return true;
        }
        std::vector<T> merged;
        merged.reserve(items.size() + batch.size());
        // Existing elements go before equal new ones, as Add would place them.
        std::merge(std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()),
                   std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.end()),
                   std::back_inserter(merged), &ArrayOrder<T>::less);
        items = std::move(merged);
        return true;
    }

    // The index of an element equal to `t`, found by halving, or notFound.
    // Among equal elements it is the first that the halving meets, which the
    // comparison report relies on, so the steps are kept exactly.
    std::size_t Find(const T& t) const {
        return findByHalving(items.size(), [this, &t](std::size_t i) {
            return ArrayOrder<T>::compare(items[i], t);
        });
    }

    // What Find(t) returns, for a run of calls whose values do not descend,
    // each starting where the one before stopped (`cursor`, 0 for the
    // first). A walk along another sorted array thereby costs one pass
    // rather than one halving per element.
    std::size_t FindInOrder(const T& t, std::size_t& cursor) const {
        int order = 1;
        while (cursor < items.size() && (order = ArrayOrder<T>::compare(items[cursor], t)) < 0) {
            ++cursor;
        }
        if (order != 0) {
            return notFound;
        }
        // Of several equal elements, the halving decides which one is found.
        if (cursor + 1 < items.size() && ArrayOrder<T>::equal(items[cursor + 1], t)) {
            return Find(t);
        }
        return cursor;
    }

    // Calls `visit` on each element in order. The memory of the element a
    // few places ahead, and of the name lists it holds (those its `lists()`
    // gives), is asked for while one is visited: elements sorted from
    // shuffled input hold lists allocated in input order, and a walk that
    // reads them would wait on each in turn.
    template <class Visit>
    void walk(Visit visit) const {
        constexpr std::size_t ahead = 4;
        for (std::size_t k = 0; k < items.size(); ++k) {
            if constexpr (requires(const T& t) { t.lists(); }) {
                if (k + ahead < items.size()) {
                    for (const auto* list : items[k + ahead].lists()) {
                        list->prefetch();
                    }
                }
            }
            visit(items[k]);
        }
    }

    std::size_t count() const { return items.size(); }
    bool empty() const { return items.empty(); }
    const T& operator[](std::size_t i) const { return items[i]; }
    typename std::vector<T>::const_iterator begin() const { return items.begin(); }
    typename std::vector<T>::const_iterator end() const { return items.end(); }

    // Equal when both hold the same number of elements and each pair at the
    // same index is equal by the element order.
    bool operator==(const ExtendedArray& b) const {
        return std::equal(items.begin(), items.end(), b.items.begin(), b.items.end(),
                          &ArrayOrder<T>::equal);
    }
    bool operator!=(const ExtendedArray& b) const { return !(*this == b); }

  private:
    std::vector<T> items;
};
