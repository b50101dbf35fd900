#include "fullschema/textreport.h"

#include <algorithm>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "toollib/terminaltext.h"

namespace fullschema {
namespace {

constexpr std::size_t kSeverityWidth = 12;
constexpr std::size_t kReportWidth = 100;

std::string_view colourOf(Severity severity) {
    switch (severity) {
        case Severity::breaking:
            return "\033[31m";
        case Severity::compatible:
            return "\033[33m";
        case Severity::cosmetic:
            return "\033[36m";
    }
    return "";
}

void writeSeverity(std::ostream& os, Severity severity, bool colour) {
    const std::string_view name = severityName(severity);
    if (colour) {
        // The escape sequences are the program's own: past the stream's
        // guard that shows control bytes of source text.
        os.flush();
        std::ostream raw(rawBuffer(os));
        raw << colourOf(severity) << name << "\033[0m";
        raw.flush();
    } else {
        os << name;
    }
    os << std::string(kSeverityWidth - name.size(), ' ');
}

std::string joined(const std::vector<std::string>& items, std::string_view separator) {
    std::string text;
    for (const std::string& item : items) {
        if (!text.empty()) {
            text += separator;
        }
        text += item;
    }
    return text;
}

// Built by appending: GCC 12 sees an overlap that cannot be in a literal
// joined in front of a string (-Wrestrict).
std::string parenthesised(const std::string& text) {
    std::string out = "(";
    out += text;
    out += ')';
    return out;
}

std::string shown(const Value& value) {
    switch (value.type) {
        case Value::Type::absent:
            return "(none)";
        case Value::Type::flag:
            return value.flag ? "yes" : "no";
        case Value::Type::list:
            return parenthesised(joined(value.list, ", "));
        case Value::Type::text:
            break;
    }
    return value.text;
}

// A set field tells what B added and removed; any other field both values.
std::string changeText(const Difference& d) {
    if (d.added.empty() && d.removed.empty()) {
        return shown(d.a) + " -> " + shown(d.b);
    }
    std::string text;
    if (!d.added.empty()) {
        text += "added ";
        text += joined(d.added, ", ");
    }
    if (!d.removed.empty()) {
        if (!text.empty()) {
            text += "; ";
        }
        text += "removed ";
        text += joined(d.removed, ", ");
    }
    return text;
}

std::string definitionText(const Difference& d) {
    if (d.name == d.oid || d.oid.empty()) {
        return d.name;
    }
    std::string text = d.name;
    text += " (";
    text += d.oid;
    text += ')';
    return text;
}

// "FIELD: A -> B", broken before the arrow when the line would not fit a
// terminal of kReportWidth columns.
void writeFieldChange(std::ostream& os, const Difference& d, bool colour) {
    os << "    ";
    writeSeverity(os, d.severity, colour);
    const std::string head = d.field + ": ";
    const std::string change = changeText(d);
    const std::size_t arrow = change.find(" -> ");
    const std::size_t width = 4 + kSeverityWidth + head.size() + change.size();
    if (width <= kReportWidth || arrow == std::string::npos || !d.added.empty() ||
        !d.removed.empty()) {
        os << head << change << '\n';
        return;
    }
    os << head << change.substr(0, arrow) << '\n'
       << std::string(4 + kSeverityWidth + 2, ' ') << change.substr(arrow + 1) << '\n';
}

// Within a kind: what only A holds, what only B holds, then each definition
// that differs under its name, with a line for each differing field.
void writeKind(std::ostream& os, Kind kind, const std::vector<const Difference*>& differences,
               bool colour) {
    os << '\n' << schemadesc::kindName(kind) << '\n';
    for (const Change change : {Change::onlyInA, Change::onlyInB}) {
        for (const Difference* d : differences) {
            if (d->change == change) {
                os << "  ";
                writeSeverity(os, d->severity, colour);
                os << (change == Change::onlyInA ? "only in A: " : "only in B: ")
                   << definitionText(*d) << '\n';
            }
        }
    }
    const Difference* previous = nullptr;
    for (const Difference* d : differences) {
        if (d->change != Change::changed) {
            continue;
        }
        if (previous == nullptr || previous->name != d->name || previous->oid != d->oid) {
            os << "  " << definitionText(*d) << '\n';
        }
        writeFieldChange(os, *d, colour);
        previous = d;
    }
}

}  // namespace

std::string countsLine(const Comparison& comparison) {
    const auto& counts = comparison.counts;
    if (counts[0] + counts[1] + counts[2] == 0) {
        return "no differences";
    }
    return std::to_string(counts[0]) + " breaking, " + std::to_string(counts[1]) + " compatible, " +
           std::to_string(counts[2]) + " cosmetic differences";
}

void writeTextReport(std::ostream& os, const std::string& nameA, const std::string& nameB,
                     const Comparison& comparison, bool colour) {
    os << "Comparing A with B in full\n  A: " << nameA << "\n  B: " << nameB << '\n';
    for (const NotCompared& skipped : comparison.notCompared) {
        os << "Not compared: " << schemadesc::kindName(skipped.kind) << " (none in "
           << (skipped.missingInA ? 'A' : 'B') << ")\n";
    }
    std::size_t at = 0;
    const auto& differences = comparison.differences;
    while (at < differences.size()) {
        const Kind kind = differences[at].kind;
        std::vector<const Difference*> ofKind;
        for (; at < differences.size() && differences[at].kind == kind; ++at) {
            ofKind.push_back(&differences[at]);
        }
        writeKind(os, kind, ofKind, colour);
    }
    os << '\n' << countsLine(comparison) << '\n';
}

}  // namespace fullschema
