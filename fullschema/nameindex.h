#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

#include "toollib/namecompare.h"

// Definitions found by a name or an OID, letter case ignored. An open table
// of small slots that keep each key's hash: a look-up that misses, as most
// look-ups of references to kinds a schema barely holds do, reads no name at
// all, and one that hits reads the one name it finds. The keys themselves
// stay in the definitions; the caller says where (`keyOf`).
namespace fullschema {

class NameIndex {
  public:
    static constexpr std::uint32_t none = std::numeric_limits<std::uint32_t>::max();

    // Where a key is kept: the definition, and which of its keys (a NAME's
    // place in the list; 0 for the OID).
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t definition = none;
        std::uint32_t key = 0;
    };

    static std::uint32_t hashOf(std::string_view text) {
        const std::size_t full = NameHash{}(text);
        return static_cast<std::uint32_t>(full ^ (full >> 32U));
    }

    bool empty() const { return count_ == 0; }

    // Room for `keys` keys without growing.
    void reserve(std::size_t keys) {
        std::size_t wanted = 16;
        while (wanted < 2 * keys) {
            wanted *= 2;
        }
        if (wanted > slots_.size()) {
            rehash(wanted);
        }
    }

    // The slot that holds `text` (hashed by hashOf), or null. `keyOf(slot)`
    // gives the text of a held key.
    template <class KeyOf>
    const Slot* find(std::string_view text, std::uint32_t hash, const KeyOf& keyOf) const {
        const std::size_t at = held(text, hash, keyOf);
        return at == missing ? nullptr : &slots_[at];
    }

    template <class KeyOf>
    Slot* find(std::string_view text, std::uint32_t hash, const KeyOf& keyOf) {
        const std::size_t at = held(text, hash, keyOf);
        return at == missing ? nullptr : &slots_[at];
    }

    // Starts reading the slot where a look-up of `hash` begins, so that
    // look-ups issued a little later overlap their waits for memory.
    void prefetch(std::uint32_t hash) const {
        if (!slots_.empty()) {
            __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]);
        }
    }

    // Once prefetch's slot has arrived: starts reading the key of the first
    // slot of the same hash, whose bytes `whereOf(slot)` gives.
    template <class WhereOf>
    void prefetchKey(std::uint32_t hash, const WhereOf& whereOf) const {
        if (count_ == 0) {
            return;
        }
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t at = hash & mask; slots_[at].definition != none; at = (at + 1) & mask) {
            if (slots_[at].hash == hash) {
                __builtin_prefetch(whereOf(slots_[at]));
                return;
            }
        }
    }

    // Adds the key unless an equal one is held, whose slot then stays as it
    // is (the first in source order wins). The slot, and whether it is new.
    template <class KeyOf>
    std::pair<Slot*, bool> add(std::string_view text, std::size_t definition, std::uint32_t key,
                               const KeyOf& keyOf) {
        return add(text, hashOf(text), definition, key, keyOf);
    }

    // The same, `text` hashed already (by hashOf).
    template <class KeyOf>
    std::pair<Slot*, bool> add(std::string_view text, std::uint32_t hash, std::size_t definition,
                               std::uint32_t key, const KeyOf& keyOf) {
        if (definition >= none) {
            throw std::bad_alloc();
        }
        if (2 * (count_ + 1) > slots_.size()) {
            rehash(slots_.empty() ? 16 : 2 * slots_.size());
        }
        Slot& slot = slots_[place(text, hash, keyOf)];
        if (slot.definition != none) {
            return {&slot, false};
        }
        slot = Slot{hash, static_cast<std::uint32_t>(definition), key};
        ++count_;
        return {&slot, true};
    }

  private:
    static constexpr std::size_t missing = std::numeric_limits<std::size_t>::max();

    template <class KeyOf>
    std::size_t held(std::string_view text, std::uint32_t hash, const KeyOf& keyOf) const {
        if (count_ == 0) {
            return missing;
        }
        const std::size_t at = place(text, hash, keyOf);
        return slots_[at].definition == none ? missing : at;
    }

    template <class KeyOf>
    std::size_t place(std::string_view text, std::uint32_t hash, const KeyOf& keyOf) const {
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
            const Slot& slot = slots_[at];
            if (slot.definition == none || (slot.hash == hash && namesEqual(keyOf(slot), text))) {
                return at;
            }
        }
    }

    // Slots keep their hashes, so moving them reads no key.
    void rehash(std::size_t size) {
        std::vector<Slot> old(size);
        old.swap(slots_);
        const std::size_t mask = size - 1;
        for (const Slot& slot : old) {
            if (slot.definition == none) {
                continue;
            }
            std::size_t at = slot.hash & mask;
            while (slots_[at].definition != none) {
                at = (at + 1) & mask;
            }
            slots_[at] = slot;
        }
    }

    std::vector<Slot> slots_;
    std::size_t count_ = 0;
};

}  // namespace fullschema
