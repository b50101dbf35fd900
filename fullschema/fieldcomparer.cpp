#include "fullschema/fieldcomparer.h"

#include <algorithm>
#include <optional>
#include <unordered_set>
#include <utility>

#include "toollib/namecompare.h"

namespace fullschema {

namespace {

// Severities are ordered worst first.
Severity worse(Severity x, Severity y) {
    return std::min(x, y);
}

// Sorted case-insensitively, so that a report does not follow hash order;
// none when empty, as a definition without the field has none.
Value sortedValue(const ReferenceSet& set) {
    if (set.empty()) {
        return {};
    }
    std::vector<std::string> texts;
    texts.reserve(set.size());
    for (const auto& member : set) {
        texts.push_back(member.second);
    }
    std::sort(texts.begin(), texts.end(), [](const std::string& x, const std::string& y) {
        const int order = compareNames(x, y);
        return order != 0 ? order < 0 : x < y;
    });
    return Value::ofList(std::move(texts));
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Line breaks and runs of blanks in a text read from files or a server
// depend on who wrapped it, not on what it says.
std::string oneSpaced(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (!isBlank(text[at])) {
            result += text[at];
        } else if (at == 0 || !isBlank(text[at - 1])) {
            result += ' ';
        }
    }
    return result;
}

struct ExtensionValues {
    std::string name;
    std::vector<std::string> values;
};

// An extension written twice counts with all its values, in order.
std::vector<ExtensionValues> mergedExtensions(const FullDefinition& definition) {
    std::vector<ExtensionValues> merged;
    for (const auto& extension : definition.extensions) {
        auto found = std::find_if(merged.begin(), merged.end(), [&](const ExtensionValues& known) {
            return namesEqual(known.name, extension.name);
        });
        if (found == merged.end()) {
            found = merged.insert(merged.end(), ExtensionValues{extension.name, {}});
        }
        for (const std::string& value : extension.values) {
            found->values.push_back(oneSpaced(value));
        }
    }
    return merged;
}

const ExtensionValues* findExtension(const std::vector<ExtensionValues>& list,
                                     const std::string& name) {
    for (const auto& extension : list) {
        if (namesEqual(extension.name, name)) {
            return &extension;
        }
    }
    return nullptr;
}

// NAMEs by folded name, each once, in the order first written.
std::vector<std::pair<std::string, std::string>> distinctNames(
    const std::vector<std::string>& names) {
    std::vector<std::pair<std::string, std::string>> distinct;
    std::unordered_set<std::string> seen;
    for (const std::string& name : names) {
        std::string folded;
        for (const char c : name) {
            folded += foldName(c);
        }
        if (seen.insert(folded).second) {
            distinct.emplace_back(std::move(folded), name);
        }
    }
    return distinct;
}

std::string keywordOrDefault(const std::string& keyword, std::string_view fallback) {
    return keyword.empty() ? std::string(fallback) : keyword;
}

}  // namespace

FieldComparer::FieldComparer(ComparisonContext& context, Kind kind, std::size_t inA,
                             std::size_t inB, std::vector<Difference>& out)
    : context_(context),
      kind_(kind),
      indexA_(inA),
      indexB_(inB),
      definitionA_(context.a.definitions(kind)[inA]),
      definitionB_(context.b.definitions(kind)[inB]),
      out_(out) {}

void FieldComparer::report(std::string_view field, Value a, Value b, Severity severity) {
    Difference difference;
    difference.kind = kind_;
    difference.name = reportedName(kind_, definitionA_);
    difference.oid = definitionA_.oid;
    difference.change = Change::changed;
    difference.field = std::string(field);
    difference.a = std::move(a);
    difference.b = std::move(b);
    difference.severity = severity;
    out_.push_back(std::move(difference));
}

void FieldComparer::reportField(std::string_view field, Severity severity) {
    report(field, fieldValue(kind_, field, definitionA_), fieldValue(kind_, field, definitionB_),
           severity);
}

void FieldComparer::addMembers(ReferenceSet& set, Side side, Kind target,
                               const std::vector<std::string>& references) const {
    for (const std::string& reference : references) {
        set.try_emplace(context_.keys.key(side, target, reference), reference);
    }
}

bool FieldComparer::sameReference(Kind target, const std::string& a, const std::string& b) const {
    if (a.empty() || b.empty()) {
        return a.empty() && b.empty();
    }
    return context_.keys.key(Side::a, target, a) == context_.keys.key(Side::b, target, b);
}

void FieldComparer::compareReference(std::string_view field, Kind target, const std::string& a,
                                     const std::string& b, ChangeRule rule) {
    if (sameReference(target, a, b)) {
        return;
    }
    const Severity severity = a.empty() ? rule.added : b.empty() ? rule.removed : rule.changed;
    const auto value = [](const std::string& text) {
        return text.empty() ? Value{} : Value::ofText(text);
    };
    report(field, value(a), value(b), severity);
}

void FieldComparer::compareSets(std::string_view field, const ReferenceSet& a,
                                const ReferenceSet& b, ChangeRule rule,
                                const ReferenceSet* inheritedA, const ReferenceSet* inheritedB) {
    std::optional<Severity> severity;
    const auto note = [&severity](Severity found) {
        severity = severity ? worse(*severity, found) : found;
    };
    ReferenceSet removed;
    ReferenceSet added;
    for (const auto& member : a) {
        if (!b.contains(member.first) && !(inheritedA && inheritedA->contains(member.first))) {
            note(rule.removed);
            removed.insert(member);
        }
    }
    for (const auto& member : b) {
        if (!a.contains(member.first) && !(inheritedB && inheritedB->contains(member.first))) {
            note(rule.added);
            added.insert(member);
        }
    }
    if (severity) {
        report(field, sortedValue(a), sortedValue(b), *severity);
        // A reader of a long effective set wants the change, not both sets.
        out_.back().added = sortedValue(added).list;
        out_.back().removed = sortedValue(removed).list;
    }
}

void FieldComparer::compareSets(std::string_view field, Kind target,
                                const std::vector<std::string>& a,
                                const std::vector<std::string>& b, ChangeRule rule) {
    ReferenceSet setA;
    ReferenceSet setB;
    addMembers(setA, Side::a, target, a);
    addMembers(setB, Side::b, target, b);
    compareSets(field, setA, setB, rule);
}

void FieldComparer::compareFlag(std::string_view field, bool a, bool b, Severity set,
                                Severity cleared) {
    // A flag that is not set is false, not absent: both sides know it.
    if (a != b) {
        report(field, Value::ofFlag(a), Value::ofFlag(b), b ? set : cleared);
    }
}

void FieldComparer::compareKeyword(std::string_view field, const std::string& a,
                                   const std::string& b) {
    // An absent USAGE or KIND is the default, which the definition holds.
    const std::string_view fallback = field == "KIND" ? "STRUCTURAL" : "userApplications";
    if (!namesEqual(keywordOrDefault(a, fallback), keywordOrDefault(b, fallback))) {
        reportField(field, Severity::breaking);
    }
}

void FieldComparer::compareOid() {
    if (!namesEqual(definitionA_.oid, definitionB_.oid)) {
        reportField("OID", Severity::breaking);
    }
}

void FieldComparer::compareNameField() {
    const auto namesA = distinctNames(definitionA_.names);
    const auto namesB = distinctNames(definitionB_.names);
    ReferenceSet setA(namesA.begin(), namesA.end());
    ReferenceSet setB(namesB.begin(), namesB.end());
    compareSets("NAME", setA, setB, {Severity::breaking, Severity::compatible, Severity::breaking});
    if (!context_.strict || setA.size() != setB.size()) {
        return;
    }
    const bool sameSet = std::all_of(namesA.begin(), namesA.end(), [&setB](const auto& name) {
        return setB.contains(name.first);
    });
    const bool sameOrder =
        std::equal(namesA.begin(), namesA.end(), namesB.begin(), namesB.end(),
                   [](const auto& x, const auto& y) { return x.first == y.first; });
    if (sameSet && !sameOrder) {
        // The order is what differs, so the values keep it.
        reportField("NAME", Severity::cosmetic);
    }
}

void FieldComparer::compareDescriptions() {
    const auto& a = definitionA_.desc;
    const auto& b = definitionB_.desc;
    if (!a && !b) {
        return;
    }
    const auto value = [](const std::optional<std::string>& text) {
        return text ? Value::ofText(oneSpaced(*text)) : Value{};
    };
    Value valueA = value(a);
    Value valueB = value(b);
    if (valueA != valueB) {
        report("DESC", std::move(valueA), std::move(valueB), Severity::cosmetic);
    }
}

void FieldComparer::compareExtensions() {
    const auto extensionsA = mergedExtensions(definitionA_);
    const auto extensionsB = mergedExtensions(definitionB_);
    for (const auto& extension : extensionsA) {
        const ExtensionValues* other = findExtension(extensionsB, extension.name);
        if (!other) {
            report(extension.name, Value::ofList(extension.values), {}, Severity::cosmetic);
        } else if (other->values != extension.values) {
            report(extension.name, Value::ofList(extension.values), Value::ofList(other->values),
                   Severity::cosmetic);
        }
    }
    for (const auto& extension : extensionsB) {
        if (!findExtension(extensionsA, extension.name)) {
            report(extension.name, {}, Value::ofList(extension.values), Severity::cosmetic);
        }
    }
}

std::string reportedName(Kind kind, const FullDefinition& definition) {
    if (kind == Kind::ldapSyntaxes || kind == Kind::dITStructureRules || definition.names.empty()) {
        return definition.oid;
    }
    return definition.names.front();
}

}  // namespace fullschema
