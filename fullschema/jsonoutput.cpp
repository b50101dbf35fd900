#include "fullschema/jsonoutput.h"

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>
#include <string_view>

#include "fullschema/fields.h"

namespace fullschema {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kFormat = "tavler-full/1";

Json toJson(const Value& value) {
    switch (value.type) {
        case Value::Type::absent:
            return nullptr;
        case Value::Type::flag:
            return value.flag;
        case Value::Type::list:
            return value.list;
        case Value::Type::text:
            break;
    }
    return value.text;
}

std::string_view changeName(Change change) {
    switch (change) {
        case Change::onlyInA:
            return "only-in-a";
        case Change::onlyInB:
            return "only-in-b";
        case Change::changed:
            break;
    }
    return "changed";
}

Json sideOf(const std::string& name, const FullSchema& schema) {
    Json counts = Json::object();
    for (const Kind kind : schemadesc::allKinds) {
        counts[std::string(schemadesc::kindName(kind))] = schema.definitions(kind).size();
    }
    return Json{{"name", name}, {"counts", std::move(counts)}};
}

Json differenceOf(const Difference& d) {
    Json out{{"kind", schemadesc::kindName(d.kind)},
             {"name", d.name},
             {"oid", d.oid},
             {"change", changeName(d.change)}};
    if (d.change == Change::changed) {
        out["field"] = d.field;
        out["a"] = toJson(d.a);
        out["b"] = toJson(d.b);
    }
    out["severity"] = severityName(d.severity);
    return out;
}

void writeDocument(std::ostream& os, const Json& document) {
    os << document.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
}

}  // namespace

void writeJsonListing(std::ostream& os, const std::string& name, const FullSchema& schema,
                      const KindSet& kinds) {
    Json definitions = Json::array();
    for (const Kind kind : schemadesc::allKinds) {
        if (!kinds[schemadesc::kindIndex(kind)]) {
            continue;
        }
        const auto& ofKind = schema.definitions(kind);
        for (const std::size_t at : listingOrder(schema, kind)) {
            const FullDefinition& definition = ofKind[at];
            Json fields = Json::object();
            for (const Field& field : fieldsOf(kind, definition)) {
                if (field.keyword != "OID") {
                    fields[field.keyword] = toJson(field.value);
                }
            }
            definitions.push_back(Json{{"kind", schemadesc::kindName(kind)},
                                       {"name", shownName(kind, definition)},
                                       {"oid", definition.oid},
                                       {"fields", std::move(fields)}});
        }
    }
    writeDocument(
        os, Json{{"format", kFormat}, {"name", name}, {"definitions", std::move(definitions)}});
}

void writeJsonComparison(std::ostream& os, const std::string& nameA, const FullSchema& a,
                         const std::string& nameB, const FullSchema& b,
                         const Comparison& comparison) {
    Json notCompared = Json::array();
    for (const NotCompared& skipped : comparison.notCompared) {
        notCompared.push_back(Json{{"kind", schemadesc::kindName(skipped.kind)},
                                   {"missingIn", skipped.missingInA ? "a" : "b"}});
    }
    Json differences = Json::array();
    for (const Difference& d : comparison.differences) {
        differences.push_back(differenceOf(d));
    }
    Json counts = Json::object();
    for (const Severity severity : {Severity::breaking, Severity::compatible, Severity::cosmetic}) {
        counts[std::string(severityName(severity))] =
            comparison.counts[static_cast<std::size_t>(severity)];
    }
    writeDocument(os, Json{{"format", kFormat},
                           {"a", sideOf(nameA, a)},
                           {"b", sideOf(nameB, b)},
                           {"notCompared", std::move(notCompared)},
                           {"differences", std::move(differences)},
                           {"counts", std::move(counts)}});
}

}  // namespace fullschema
