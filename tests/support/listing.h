#pragma once

#include <sstream>
#include <string>

#include "schema/schema.h"

// What Schema::write writes for `schema`: the difference sections.
inline std::string listing(const Schema& schema) {
    std::ostringstream out;
    schema.write(out);
    return out.str();
}

// What Schema::write writes for `schema` as the listing of the `selected` kinds.
inline std::string listing(const Schema& schema, const SelectedKinds& selected) {
    std::ostringstream out;
    schema.write(out, selected);
    return out.str();
}
