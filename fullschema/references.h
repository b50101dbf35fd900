#pragma once

#include <array>
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

  private:
    std::string keyOfA(std::size_t index) const;
    std::string keyOfB(Kind target, std::size_t index) const;

    const FullSchema& a_;
    const FullSchema& b_;
    const std::array<Pairing, kindCount>& pairings_;
};

}  // namespace fullschema
