#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "fullschema/fields.h"
#include "fullschema/fullschema.h"

// Two schemas compared definition by definition and field by field: A is
// the baseline, B the schema checked against it, and each difference says
// what B's change does to entries and clients that are valid under A.
namespace fullschema {

// Worst first.
enum class Severity { breaking, compatible, cosmetic };
inline constexpr std::size_t severityCount = 3;

enum class Change { onlyInA, onlyInB, changed };

struct Difference {
    Kind kind = Kind::ldapSyntaxes;
    // The first NAME on side A (B when only in B), else the OID; a structure
    // rule's id; a syntax's OID.
    std::string name;
    // Side A's OID, or B's when only in B.
    std::string oid;
    Change change = Change::changed;
    // The RFC 4512 keyword or the "X-" name; empty unless changed.
    std::string field;
    // The compared values (effective ones where the field is effective);
    // absent unless changed.
    Value a;
    Value b;
    // For a set field (MUST, MAY, AUX, NOT, APPLIES, a class's or a rule's
    // SUP, NAME): the members of B that A lacks and those of A that B lacks,
    // as each side writes them; empty for other fields.
    std::vector<std::string> added;
    std::vector<std::string> removed;
    Severity severity = Severity::breaking;
};

// A kind of which one side holds no definition at all is not compared.
struct NotCompared {
    Kind kind = Kind::ldapSyntaxes;
    bool missingInA = false;  // else missing in B
};

struct Comparison {
    std::vector<NotCompared> notCompared;  // in kind order
    // Ordered by kind, then name (case ignored), then field (fieldRank).
    std::vector<Difference> differences;
    std::array<std::size_t, severityCount> counts{};  // by Severity
};

// Compares B with A. Without `strict`, DESC, extensions and the order of
// aliases are not compared (no cosmetic difference is found).
Comparison compareSchemas(const FullSchema& a, const FullSchema& b, bool strict);

std::string_view severityName(Severity severity);  // "breaking", ...

}  // namespace fullschema
