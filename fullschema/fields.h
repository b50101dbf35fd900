#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "toollib/schemadesc/fulldefinition.h"

// The fields of a definition as RFC 4512 orders and names them: the one
// shape that the listing, the comparison and the JSON output all walk.
namespace fullschema {

using schemadesc::FullDefinition;
using schemadesc::Kind;

// A field's value: absent, a text (an OID, a reference, a keyword, DESC, a
// SYNTAX with its bound as "OID{64}"), a flag, or a list (NAME, the sets,
// an extension's values).
struct Value {
    enum class Type { absent, text, flag, list };
    Type type = Type::absent;
    std::string text;
    bool flag = false;
    std::vector<std::string> list;

    static Value ofText(std::string text);
    static Value ofFlag(bool flag);
    static Value ofList(std::vector<std::string> list);
    bool operator==(const Value&) const = default;
};

struct Field {
    std::string keyword;  // "OID", "NAME", "DESC", ..., or the "X-" name
    Value value;
};

// The fields the definition has, in the order of the kind's grammar, each
// extension last in the order written. The definition's own OID comes first
// under "OID" (a structure rule's id too); a flag is given only when set;
// NAME is left out of ldapSyntaxes; USAGE userApplications and no other
// default is given as absent.
std::vector<Field> fieldsOf(Kind kind, const FullDefinition& definition);

// The value of one of the kind's grammar fields, as fieldsOf gives it;
// absent when the definition has none, or for a keyword outside the grammar.
Value fieldValue(Kind kind, std::string_view keyword, const FullDefinition& definition);

// A SYNTAX as written with its length bound: "OID", or "OID{64}".
std::string syntaxText(const std::string& syntax, std::uint32_t length);

// The place of `keyword` in the kind's grammar, for ordering differences:
// the grammar's fields in order, then every extension after them.
std::size_t fieldRank(Kind kind, std::string_view keyword);

}  // namespace fullschema
