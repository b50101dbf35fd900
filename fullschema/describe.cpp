#include "fullschema/describe.h"

#include <string>
#include <string_view>
#include <vector>

#include "fullschema/fields.h"

namespace fullschema {
namespace {

bool isFlagKeyword(std::string_view keyword) {
    return keyword == "OBSOLETE" || keyword == "SINGLE-VALUE" || keyword == "COLLECTIVE" ||
           keyword == "NO-USER-MODIFICATION";
}

void appendQuoted(std::string& out, const std::string& text) {
    out += '\'';
    out += text;
    out += '\'';
}

// 'a' or ( 'a' 'b' ), for NAME and the values of an extension.
void appendQuotedList(std::string& out, const std::vector<std::string>& values) {
    if (values.size() == 1) {
        appendQuoted(out, values.front());
        return;
    }
    out += '(';
    for (const std::string& value : values) {
        out += ' ';
        appendQuoted(out, value);
    }
    out += " )";
}

// An OID or a name as libldap gave it: bare, or quoted when its source
// quoted it around what a bare one cannot hold. Written bare, it would read
// back as another OID or name followed by words that do not parse.
void appendOid(std::string& out, const std::string& oid) {
    if (oid.find_first_of(" \t\n\r()${") == std::string::npos) {
        out += oid;
    } else {
        appendQuoted(out, oid);
    }
}

// a or ( a $ b ) for references; a structure rule's ids as ( 1 2 ).
void appendOidList(std::string& out, const std::vector<std::string>& values,
                   std::string_view separator) {
    if (values.size() == 1) {
        appendOid(out, values.front());
        return;
    }
    out += "( ";
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) {
            out += separator;
        }
        appendOid(out, values[i]);
    }
    out += " )";
}

void appendField(std::string& out, schemadesc::Kind kind, const Field& field) {
    const std::string& keyword = field.keyword;
    const Value& value = field.value;
    if (keyword == "OID") {
        appendOid(out, value.text);
        return;
    }
    if (keyword == "KIND") {
        out += value.text;
        return;
    }
    out += keyword;
    if (isFlagKeyword(keyword)) {
        return;
    }
    out += ' ';
    if (keyword == "NAME" || keyword.starts_with("X-")) {
        appendQuotedList(out, value.list);
    } else if (keyword == "DESC") {
        appendQuoted(out, value.text);
    } else if (value.type == Value::Type::list) {
        const bool ruleIds = kind == schemadesc::Kind::dITStructureRules;
        appendOidList(out, value.list, ruleIds ? " " : " $ ");
    } else if (keyword == "SYNTAX") {
        // A numeric OID, with its length bound in braces.
        out += value.text;
    } else {
        appendOid(out, value.text);
    }
}

// The list a kind cannot be without. libldap takes it empty, "( )", and a
// description that leaves it out would not read back.
std::string_view requiredList(schemadesc::Kind kind) {
    switch (kind) {
        case schemadesc::Kind::matchingRuleUse:
            return "APPLIES";
        case schemadesc::Kind::nameForms:
            return "MUST";
        default:
            return {};
    }
}

}  // namespace

std::string describe(schemadesc::Kind kind, const schemadesc::FullDefinition& definition) {
    const std::string_view required = requiredList(kind);
    bool requiredWritten = required.empty();
    const auto writeEmptyRequired = [&](std::string& out) {
        out += required;
        out += " ( ) ";
        requiredWritten = true;
    };
    std::string out = "( ";
    for (const Field& field : fieldsOf(kind, definition)) {
        // A definition that libldap took without an OID has only its NAME.
        if (field.keyword == "OID" && field.value.text.empty()) {
            continue;
        }
        if (!requiredWritten && fieldRank(kind, field.keyword) > fieldRank(kind, required)) {
            writeEmptyRequired(out);
        }
        requiredWritten = requiredWritten || field.keyword == required;
        appendField(out, kind, field);
        out += ' ';
    }
    if (!requiredWritten) {
        writeEmptyRequired(out);
    }
    out += ')';
    return out;
}

}  // namespace fullschema
