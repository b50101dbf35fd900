#include "fullschema/listing.h"

// ldif.h uses lber.h's types without including it.
// clang-format off
#include <lber.h>
#include <ldif.h>
// clang-format on

#include <algorithm>
#include <memory>
#include <numeric>
#include <ostream>
#include <string>

#include "fullschema/describe.h"
#include "toollib/namecompare.h"

namespace fullschema {
namespace {

struct BerFree {
    void operator()(char* text) const { ber_memfree(text); }
};

// "attr: value" or "attr:: base64", with its line end, never folded.
void writeValue(std::ostream& os, std::string_view attribute, const std::string& value) {
    const std::unique_ptr<char, BerFree> line(
        ldif_put_wrap(LDIF_PUT_VALUE, std::string(attribute).c_str(), value.data(), value.size(),
                      LDIF_LINE_WIDTH_MAX));
    if (!line) {
        throw std::bad_alloc();
    }
    os << line.get();
}

}  // namespace

const std::string& shownName(Kind kind, const FullDefinition& definition) {
    if (kind == Kind::ldapSyntaxes || definition.names.empty()) {
        return definition.oid;
    }
    return definition.names.front();
}

std::vector<std::size_t> listingOrder(const FullSchema& schema, Kind kind) {
    const DefinitionStore& definitions = schema.definitions(kind);
    // The two keys of each definition, read once rather than at every step
    // of the sort.
    struct Keys {
        std::string_view name;
        std::string_view oid;
    };
    std::vector<Keys> keys;
    keys.reserve(definitions.size());
    for (std::size_t at = 0; at < definitions.size(); ++at) {
        const std::string_view oid = definitions.oid(at);
        const PackedList names = definitions.names(at);
        keys.push_back({kind == Kind::ldapSyntaxes || names.empty() ? oid : names.front(), oid});
    }
    std::vector<std::size_t> order(definitions.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&keys](std::size_t x, std::size_t y) {
        if (const int byName = compareNames(keys[x].name, keys[y].name)) {
            return byName < 0;
        }
        return compareNames(keys[x].oid, keys[y].oid) < 0;
    });
    return order;
}

void writeLdifListing(std::ostream& os, const FullSchema& schema, const KindSet& kinds) {
    os << "dn: cn=Subschema\n";
    for (const Kind kind : schemadesc::allKinds) {
        if (!kinds[schemadesc::kindIndex(kind)]) {
            continue;
        }
        const DefinitionStore& definitions = schema.definitions(kind);
        for (const std::size_t at : listingOrder(schema, kind)) {
            writeValue(os, schemadesc::kindName(kind), describe(kind, definitions[at]));
        }
    }
}

}  // namespace fullschema
