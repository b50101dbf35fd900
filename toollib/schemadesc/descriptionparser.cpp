#include "toollib/schemadesc/descriptionparser.h"

#include <ldap_schema.h>

#include <charconv>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ldapparse.h"
#include "toollib/namecompare.h"
#include "toollib/schemadesc/descriptionreader.h"
#include "toollib/utf8.h"

namespace schemadesc {
namespace {

using namespace detail;

// Longer macro chains than this are taken for loops.
constexpr int kMaxMacroDepth = 64;
constexpr std::size_t kExcerptLength = 60;
// The NUL bytes after a text handed to libldap (see forParser).
constexpr std::size_t kParserEndRun = 16;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Where the definition OID stands in a description: just after the opening
// parenthesis, possibly quoted.
struct OidToken {
    std::size_t begin = 0;
    std::size_t end = 0;
    bool quoted = false;
};

std::optional<OidToken> findOidToken(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && isBlank(text[pos])) {
        ++pos;
    }
    if (pos >= text.size() || text[pos] != '(') {
        return std::nullopt;
    }
    ++pos;
    while (pos < text.size() && isBlank(text[pos])) {
        ++pos;
    }
    OidToken token;
    if (pos < text.size() && text[pos] == '\'') {
        token.quoted = true;
        token.begin = pos + 1;
        const std::size_t close = text.find('\'', token.begin);
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        token.end = close;
        return token;
    }
    token.begin = pos;
    while (pos < text.size() && !isBlank(text[pos]) && text[pos] != '(' && text[pos] != ')' &&
           text[pos] != '\'') {
        ++pos;
    }
    token.end = pos;
    if (token.begin == token.end) {
        return std::nullopt;
    }
    return token;
}

// The text with an unquoted macro OID of the definition expanded, for the
// kinds whose OID libldap accepts only in numeric form.
std::string expandedOid(const std::string& text, const OidMacros& macros) {
    const auto token = findOidToken(text);
    if (!token || token->quoted) {
        return text;
    }
    const std::string written = text.substr(token->begin, token->end - token->begin);
    const std::string expanded = macros.expand(written);
    if (expanded == written) {
        return text;
    }
    std::string result = text;
    result.replace(token->begin, token->end - token->begin, expanded);
    return result;
}

// A token of a description outside quoted strings: a run of characters other
// than blanks, parentheses and quotes, or one parenthesis.
struct Token {
    std::size_t begin;
    std::size_t end;
};

std::vector<Token> tokenize(std::string_view text) {
    std::vector<Token> tokens;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char c = text[pos];
        if (isBlank(c)) {
            ++pos;
        } else if (c == '\'') {
            const std::size_t close = text.find('\'', pos + 1);
            pos = close == std::string_view::npos ? text.size() : close + 1;
        } else if (c == '(' || c == ')') {
            tokens.push_back({pos, pos + 1});
            ++pos;
        } else {
            const std::size_t begin = pos;
            while (pos < text.size() && !isBlank(text[pos]) && text[pos] != '(' &&
                   text[pos] != ')' && text[pos] != '\'') {
                ++pos;
            }
            tokens.push_back({begin, pos});
        }
    }
    return tokens;
}

std::optional<int> parseRuleId(std::string_view text) {
    int id = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() ||
        !isDigit(text.front())) {
        return std::nullopt;
    }
    return id;
}

// libldap rejects every SUP clause of a DIT structure rule, so the clause is
// read here and cut out of the text handed on. False when it is malformed or
// given twice.
bool takeRuleSuperiors(std::string& text, std::vector<int>& superiors) {
    const std::vector<Token> tokens = tokenize(text);
    std::optional<std::pair<std::size_t, std::size_t>> clause;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const std::string_view word(text.data() + tokens[i].begin, tokens[i].end - tokens[i].begin);
        if (!namesEqual(word, "SUP")) {
            continue;
        }
        if (clause || i + 1 >= tokens.size()) {
            return false;
        }
        std::size_t last = i + 1;
        auto idAt = [&](std::size_t k) {
            return parseRuleId(
                std::string_view(text.data() + tokens[k].begin, tokens[k].end - tokens[k].begin));
        };
        if (text[tokens[last].begin] == '(') {
            ++last;
            while (last < tokens.size() && text[tokens[last].begin] != ')') {
                const auto id = idAt(last);
                if (!id) {
                    return false;
                }
                superiors.push_back(*id);
                ++last;
            }
            if (last >= tokens.size() || superiors.empty()) {
                return false;
            }
        } else {
            const auto id = idAt(last);
            if (!id) {
                return false;
            }
            superiors.push_back(*id);
        }
        clause = std::make_pair(tokens[i].begin, tokens[last].end);
        i = last;
    }
    if (clause) {
        // Erased and given its space apart: GCC 12 warns of an overlap that
        // cannot happen when it inlines the one-call replace (-Wrestrict).
        text.erase(clause->first, clause->second - clause->first);
        text.insert(clause->first, 1, ' ');
    }
    return true;
}

}  // namespace

namespace detail {

std::string copyText(const char* text) {
    return text ? std::string(text) : std::string();
}

std::vector<std::string> copyList(char** list) {
    std::vector<std::string> result;
    for (char** item = list; item && *item; ++item) {
        result.emplace_back(*item);
    }
    return result;
}

bool isNumericOid(std::string_view oid) {
    if (oid.empty() || oid.front() == '.' || oid.back() == '.') {
        return false;
    }
    char previous = 0;
    for (char c : oid) {
        if (!isDigit(c) && c != '.') {
            return false;
        }
        if (c == '.' && previous == '.') {
            return false;
        }
        previous = c;
    }
    return true;
}

bool hasNul(const std::string& text) {
    return text.find('\0') != std::string::npos;
}

// libldap's description parsers can step one byte past the terminating NUL
// of a malformed description (a stray byte inside an OID, for one) and go on
// reading whatever follows in memory. The text they are given ends in a run
// of NUL bytes, so that such a step reads another end of the text.
std::string forParser(std::string_view text) {
    std::string padded;
    padded.reserve(text.size() + kParserEndRun);
    padded.append(text);
    padded.append(kParserEndRun, '\0');
    return padded;
}

void prepareForParser(const std::string& text, const OidMacros& macros, std::string& into) {
    if (macros.empty()) {
        into.assign(text);
    } else {
        into = expandedOid(text, macros);
    }
    into.append(kParserEndRun, '\0');
}

void assignDefinitionOid(std::string& into, const char* parsed, std::string_view text,
                         const OidMacros& macros) {
    if (parsed != nullptr) {
        into.assign(parsed);
    } else {
        into.clear();
    }
    if (into.empty()) {
        if (const auto token = findOidToken(text); token && token->quoted) {
            into.assign(text.substr(token->begin, token->end - token->begin));
        }
    }
    if (!macros.empty()) {
        into = macros.expand(std::move(into));
    }
}

std::string definitionOid(const char* parsed, std::string_view text, const OidMacros& macros) {
    std::string oid;
    assignDefinitionOid(oid, parsed, text, macros);
    return oid;
}

bool assignNumericSyntax(std::string& into, const char* parsed, const OidMacros& macros) {
    if (parsed == nullptr) {
        into.clear();
        return true;
    }
    into.assign(parsed);
    if (!macros.empty()) {
        into = macros.expand(std::move(into));
    }
    return isNumericOid(into);
}

// An unknown kind or usage is taken as the one that marks the definition
// least: no class flag, hidden but not per replica.
ClassKind classKind(int kind) {
    switch (kind) {
        case LDAP_SCHEMA_STRUCTURAL:
            return ClassKind::structural;
        case LDAP_SCHEMA_AUXILIARY:
            return ClassKind::auxiliary;
        default:
            return ClassKind::abstract;
    }
}

AttrUsage attrUsage(int usage) {
    switch (usage) {
        case LDAP_SCHEMA_USER_APPLICATIONS:
            return AttrUsage::userApplications;
        case LDAP_SCHEMA_DISTRIBUTED_OPERATION:
            return AttrUsage::distributedOperation;
        case LDAP_SCHEMA_DSA_OPERATION:
            return AttrUsage::dsaOperation;
        default:
            return AttrUsage::directoryOperation;
    }
}

bool hasUsableNames(const std::vector<std::string>& names, const std::string& oid) {
    for (const std::string& name : names) {
        if (name.empty()) {
            return false;
        }
    }
    return !names.empty() || !oid.empty();
}

std::optional<std::string> numericSyntax(const char* parsed, const OidMacros& macros) {
    std::string syntax;
    if (!assignNumericSyntax(syntax, parsed, macros)) {
        return std::nullopt;
    }
    return syntax;
}

LdapPtr<LDAPStructureRule, ldap_structurerule_free> parsedRule(const std::string& text,
                                                               std::vector<int>& superiors) {
    if (hasNul(text)) {
        return nullptr;
    }
    std::string rest = text;
    if (!takeRuleSuperiors(rest, superiors)) {
        return nullptr;
    }
    auto parsed = parsedBy<LDAPStructureRule, ldap_str2structurerule, ldap_structurerule_free>(
        forParser(rest));
    if (!parsed || !parsed->sr_nameform) {
        return nullptr;
    }
    // libldap reads the rule's own id into an int without a range check: an
    // id too large came back as some other number, negative ones included,
    // and was listed as a rule that no longer read back. Such an id is
    // refused, as one of SUP is.
    const auto token = findOidToken(rest);
    if (!token || parseRuleId(std::string_view(rest).substr(
                      token->begin, token->end - token->begin)) != parsed->sr_ruleid) {
        return nullptr;
    }
    return parsed;
}

}  // namespace detail

OidMacros::OidMacros(const std::vector<std::pair<std::string, std::string>>& macros) {
    for (const auto& [name, value] : macros) {
        values_.emplace(name, value);
    }
}

std::string OidMacros::expand(std::string text) const {
    if (values_.empty()) {
        return text;
    }
    std::string current = text;
    for (int depth = 0; depth < kMaxMacroDepth; ++depth) {
        if (current.empty() || isDigit(current.front())) {
            return current;
        }
        const std::size_t colon = current.find(':');
        const auto found = values_.find(current.substr(0, colon));
        if (found == values_.end()) {
            return current;
        }
        current = colon == std::string::npos ? found->second
                                             : found->second + "." + current.substr(colon + 1);
    }
    return text;
}

std::optional<ParsedClass> parseClass(const std::string& text, const OidMacros& macros) {
    ClassReader reader;
    if (!reader.read(text, macros)) {
        return std::nullopt;
    }
    auto strings = [](const CStringList& list) {
        return std::vector<std::string>(list.begin(), list.end());
    };
    ParsedClass result;
    result.oid = reader.oid();
    result.names = strings(reader.names());
    result.kind = reader.kind();
    result.superiors = strings(reader.superiors());
    result.must = strings(reader.must());
    result.may = strings(reader.may());
    return result;
}

std::optional<ParsedAttr> parseAttr(const std::string& text, const OidMacros& macros) {
    AttrReader reader;
    if (!reader.read(text, macros)) {
        return std::nullopt;
    }
    ParsedAttr result;
    result.oid = reader.oid();
    result.names.assign(reader.names().begin(), reader.names().end());
    result.superior = reader.superior();
    result.equality = reader.equality();
    result.syntax = reader.syntax();
    result.bounded = reader.bounded();
    result.singleValue = reader.singleValue();
    result.noUserModification = reader.noUserModification();
    result.usage = reader.usage();
    return result;
}

std::optional<ParsedSyntax> parseSyntax(const std::string& text, const OidMacros& macros) {
    const auto parsed = parsedWithOid<LDAPSyntax, ldap_str2syntax, ldap_syntax_free>(text, macros);
    if (!parsed) {
        return std::nullopt;
    }
    ParsedSyntax result;
    result.oid = definitionOid(parsed->syn_oid, text, macros);
    if (result.oid.empty()) {
        return std::nullopt;
    }
    for (auto** ext = parsed->syn_extensions; ext && *ext; ++ext) {
        const std::string name = copyText((*ext)->lsei_name);
        if (name.size() < 2 ||
            !namesEqual(std::string_view(name).substr(2), "NOT-HUMAN-READABLE")) {
            continue;
        }
        for (char** value = (*ext)->lsei_values; value && *value; ++value) {
            if (namesEqual(*value, "TRUE")) {
                result.humanReadable = false;
            }
        }
    }
    return result;
}

std::optional<ParsedNameForm> parseNameForm(const std::string& text, const OidMacros& macros) {
    const auto parsed =
        parsedWithOid<LDAPNameForm, ldap_str2nameform, ldap_nameform_free>(text, macros);
    if (!parsed || !parsed->nf_objectclass) {
        return std::nullopt;
    }
    ParsedNameForm result;
    result.oid = definitionOid(parsed->nf_oid, text, macros);
    result.names = copyList(parsed->nf_names);
    if (!isNumericOid(result.oid) || !hasUsableNames(result.names, result.oid)) {
        return std::nullopt;
    }
    result.objectClass = parsed->nf_objectclass;
    result.must = copyList(parsed->nf_at_oids_must);
    result.may = copyList(parsed->nf_at_oids_may);
    return result;
}

std::optional<ParsedRule> parseRule(const std::string& text, const OidMacros& /*macros*/) {
    ParsedRule result;
    const auto parsed = parsedRule(text, result.superiors);
    if (!parsed) {
        return std::nullopt;
    }
    result.id = parsed->sr_ruleid;
    result.form = parsed->sr_nameform;
    return result;
}

std::string excerpt(const std::string& text) {
    std::string line;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f || c == ' ') {
            if (!line.empty() && line.back() != ' ') {
                line += ' ';
            }
        } else {
            line += c;
        }
    }
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    if (line.size() <= kExcerptLength) {
        return line;
    }
    // Never cut inside a UTF-8 sequence.
    line.resize(utf8CutPoint(line, kExcerptLength));
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    return line + " ...";
}

}  // namespace schemadesc
