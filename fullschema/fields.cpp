#include "fullschema/fields.h"

#include <algorithm>
#include <array>
#include <span>

#include "toollib/namecompare.h"

namespace fullschema {

namespace {

using namespace std::string_view_literals;

constexpr std::array ldapSyntaxFields{"OID"sv, "DESC"sv};
constexpr std::array matchingRuleFields{"OID"sv, "NAME"sv, "DESC"sv, "OBSOLETE"sv, "SYNTAX"sv};
constexpr std::array matchingRuleUseFields{"OID"sv, "NAME"sv, "DESC"sv, "OBSOLETE"sv, "APPLIES"sv};
constexpr std::array attributeTypeFields{"OID"sv,          "NAME"sv,       "DESC"sv,
                                         "OBSOLETE"sv,     "SUP"sv,        "EQUALITY"sv,
                                         "ORDERING"sv,     "SUBSTR"sv,     "SYNTAX"sv,
                                         "SINGLE-VALUE"sv, "COLLECTIVE"sv, "NO-USER-MODIFICATION"sv,
                                         "USAGE"sv};
constexpr std::array objectClassFields{"OID"sv, "NAME"sv, "DESC"sv, "OBSOLETE"sv,
                                       "SUP"sv, "KIND"sv, "MUST"sv, "MAY"sv};
constexpr std::array contentRuleFields{"OID"sv, "NAME"sv, "DESC"sv, "OBSOLETE"sv,
                                       "AUX"sv, "MUST"sv, "MAY"sv,  "NOT"sv};
constexpr std::array structureRuleFields{"OID"sv,      "NAME"sv, "DESC"sv,
                                         "OBSOLETE"sv, "FORM"sv, "SUP"sv};
constexpr std::array nameFormFields{"OID"sv, "NAME"sv, "DESC"sv, "OBSOLETE"sv,
                                    "OC"sv,  "MUST"sv, "MAY"sv};

std::span<const std::string_view> grammar(Kind kind) {
    switch (kind) {
        case Kind::ldapSyntaxes:
            return ldapSyntaxFields;
        case Kind::matchingRules:
            return matchingRuleFields;
        case Kind::matchingRuleUse:
            return matchingRuleUseFields;
        case Kind::attributeTypes:
            return attributeTypeFields;
        case Kind::objectClasses:
            return objectClassFields;
        case Kind::dITContentRules:
            return contentRuleFields;
        case Kind::dITStructureRules:
            return structureRuleFields;
        case Kind::nameForms:
            return nameFormFields;
    }
    return {};
}

Value textOrAbsent(const std::string& text) {
    return text.empty() ? Value{} : Value::ofText(text);
}

Value listOrAbsent(const std::vector<std::string>& list) {
    return list.empty() ? Value{} : Value::ofList(list);
}

Value flagOrAbsent(bool flag) {
    return flag ? Value::ofFlag(true) : Value{};
}

// An attribute type has one supertype; classes and rules have a set.
Value superiorsValue(Kind kind, const FullDefinition& definition) {
    if (kind == Kind::attributeTypes && !definition.superiors.empty()) {
        return Value::ofText(definition.superiors.front());
    }
    return listOrAbsent(definition.superiors);
}

Value usageValue(const std::string& usage) {
    return usage.empty() || namesEqual(usage, "userApplications") ? Value{} : Value::ofText(usage);
}

Value kindValue(const std::string& classKind) {
    return Value::ofText(classKind.empty() ? "STRUCTURAL" : classKind);
}

Value listField(std::string_view keyword, const FullDefinition& definition) {
    if (keyword == "NAME") {
        return listOrAbsent(definition.names);
    }
    if (keyword == "MUST") {
        return listOrAbsent(definition.must);
    }
    if (keyword == "MAY") {
        return listOrAbsent(definition.may);
    }
    if (keyword == "AUX") {
        return listOrAbsent(definition.aux);
    }
    if (keyword == "NOT") {
        return listOrAbsent(definition.notAllowed);
    }
    if (keyword == "APPLIES") {
        return listOrAbsent(definition.applies);
    }
    return {};
}

Value textField(std::string_view keyword, const FullDefinition& definition) {
    if (keyword == "OID") {
        return Value::ofText(definition.oid);
    }
    if (keyword == "DESC") {
        return definition.desc ? Value::ofText(*definition.desc) : Value{};
    }
    if (keyword == "EQUALITY") {
        return textOrAbsent(definition.equality);
    }
    if (keyword == "ORDERING") {
        return textOrAbsent(definition.ordering);
    }
    if (keyword == "SUBSTR") {
        return textOrAbsent(definition.substr);
    }
    if (keyword == "SYNTAX") {
        return textOrAbsent(syntaxText(definition.syntax, definition.syntaxLength));
    }
    if (keyword == "OC") {
        return textOrAbsent(definition.objectClass);
    }
    if (keyword == "FORM") {
        return textOrAbsent(definition.form);
    }
    return listField(keyword, definition);
}

}  // namespace

Value Value::ofText(std::string text) {
    Value value;
    value.type = Type::text;
    value.text = std::move(text);
    return value;
}

Value Value::ofFlag(bool flag) {
    Value value;
    value.type = Type::flag;
    value.flag = flag;
    return value;
}

Value Value::ofList(std::vector<std::string> list) {
    Value value;
    value.type = Type::list;
    value.list = std::move(list);
    return value;
}

std::string syntaxText(const std::string& syntax, std::uint32_t length) {
    if (syntax.empty() || length == 0) {
        return syntax;
    }
    return syntax + "{" + std::to_string(length) + "}";
}

Value fieldValue(Kind kind, std::string_view keyword, const FullDefinition& definition) {
    const auto fields = grammar(kind);
    if (std::find(fields.begin(), fields.end(), keyword) == fields.end()) {
        return {};
    }
    if (keyword == "OBSOLETE") {
        return flagOrAbsent(definition.obsolete);
    }
    if (keyword == "SINGLE-VALUE") {
        return flagOrAbsent(definition.singleValue);
    }
    if (keyword == "COLLECTIVE") {
        return flagOrAbsent(definition.collective);
    }
    if (keyword == "NO-USER-MODIFICATION") {
        return flagOrAbsent(definition.noUserModification);
    }
    if (keyword == "SUP") {
        return superiorsValue(kind, definition);
    }
    if (keyword == "USAGE") {
        return usageValue(definition.usage);
    }
    if (keyword == "KIND") {
        return kindValue(definition.classKind);
    }
    return textField(keyword, definition);
}

std::vector<Field> fieldsOf(Kind kind, const FullDefinition& definition) {
    std::vector<Field> fields;
    for (const std::string_view keyword : grammar(kind)) {
        Value value = fieldValue(kind, keyword, definition);
        if (value.type != Value::Type::absent) {
            fields.push_back({std::string(keyword), std::move(value)});
        }
    }
    for (const auto& extension : definition.extensions) {
        fields.push_back({extension.name, Value::ofList(extension.values)});
    }
    return fields;
}

std::size_t fieldRank(Kind kind, std::string_view keyword) {
    const auto fields = grammar(kind);
    for (std::size_t at = 0; at < fields.size(); ++at) {
        if (namesEqual(fields[at], keyword)) {
            return at;
        }
    }
    return fields.size();
}

}  // namespace fullschema
