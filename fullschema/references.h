#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fullschema/fullschema.h"
#include "fullschema/pairing.h"

// When a reference written in one schema means what a reference written in
// the other means: each is given a key, and equal keys are the same.
namespace fullschema {

enum class Side { a, b };

class ReferenceKeys {
  public:
    // All three must outlive the keys.
    ReferenceKeys(const FullSchema& a, const FullSchema& b,
                  const std::array<Pairing, kindCount>& pairings);

    // A reference that resolves on its own side stands for that definition,
    // and a pair of definitions is one; one that does not resolve stands for
    // the definition of the other side it names by NAME or OID, else for its
    // text, case ignored. `target` is the kind the reference names.
    std::string key(Side side, Kind target, std::string_view reference) const;

    // The same key without building its text: equal keys are same().
    struct Key {
        enum class Sort : std::uint8_t { paired, onlyInB, text };
        Sort sort = Sort::text;
        // The definition: A's (or a pair's) for paired, B's for onlyInB.
        std::size_t index = 0;
        // The reference as written, for text.
        std::string_view text;
    };
    Key keyOf(Side side, Kind target, std::string_view reference) const;
    // The same, told what the reference resolves to on its own side
    // (FullSchema::resolvedReferences).
    Key keyOf(Side side, Kind target, std::string_view reference, std::uint32_t resolved) const;
    static bool same(const Key& x, const Key& y);
    // An order in which same() keys are neighbours.
    static bool before(const Key& x, const Key& y);

  private:
    const FullSchema& a_;
    const FullSchema& b_;
    const std::array<Pairing, kindCount>& pairings_;
};

}  // namespace fullschema
