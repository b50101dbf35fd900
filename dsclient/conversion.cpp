#include "dsclient/conversion.h"

#include <ldap_schema.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "dscontext/dsclient.h"
#include "toollib/namecompare.h"

namespace dsclient {
namespace {

template <class T, void (*Free)(T*)>
struct LdapFree {
    void operator()(T* p) const { Free(p); }
};
using ObjectClassPtr =
    std::unique_ptr<LDAPObjectClass, LdapFree<LDAPObjectClass, ldap_objectclass_free>>;
using AttributeTypePtr =
    std::unique_ptr<LDAPAttributeType, LdapFree<LDAPAttributeType, ldap_attributetype_free>>;
using SyntaxPtr = std::unique_ptr<LDAPSyntax, LdapFree<LDAPSyntax, ldap_syntax_free>>;
using NameFormPtr = std::unique_ptr<LDAPNameForm, LdapFree<LDAPNameForm, ldap_nameform_free>>;
using StructureRulePtr =
    std::unique_ptr<LDAPStructureRule, LdapFree<LDAPStructureRule, ldap_structurerule_free>>;

constexpr unsigned kParseFlags = LDAP_SCHEMA_ALLOW_ALL;
constexpr std::size_t kExcerptLength = 60;
// Longer macro chains than this are taken for loops.
constexpr int kMaxMacroDepth = 64;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

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

// The description as one line short enough for a message: whitespace and
// control bytes become single spaces, and a long text is cut (never inside a
// UTF-8 sequence) and marked with " ...".
std::string excerpt(std::string_view text) {
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
    std::size_t cut = kExcerptLength;
    while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    line.resize(cut);
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    return line + " ...";
}

class OidMacros {
  public:
    explicit OidMacros(const std::vector<std::pair<std::string, std::string>>& macros) {
        for (const auto& [name, value] : macros) {
            values_.emplace(name, value);  // the first of a name wins
        }
    }

    // `text` with a leading macro name (alone, or before ":suffix") replaced
    // by its value, over and over; unchanged when it names no macro or the
    // macros loop. Macro names are case-sensitive.
    std::string expand(const std::string& text) const {
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

  private:
    std::unordered_map<std::string, std::string> values_;
};

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

// libldap's description parsers can step one byte past the terminating NUL
// of a malformed description (a stray byte inside an OID, for one) and go on
// reading whatever follows in memory. The text they are given ends in a run
// of NUL bytes, so that such a step reads another end of the text.
std::string forParser(std::string text) {
    constexpr std::size_t endRun = 16;
    text.append(endRun, '\0');
    return text;
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

// The same, made ready for the parser.
std::string withExpandedOid(const std::string& text, const OidMacros& macros) {
    return forParser(expandedOid(text, macros));
}

// The definition's own OID after macro expansion. libldap hands back nothing
// for a quoted OID, so that one comes from the text.
std::string definitionOid(const char* parsed, std::string_view text, const OidMacros& macros) {
    std::string oid = copyText(parsed);
    if (oid.empty()) {
        if (const auto token = findOidToken(text); token && token->quoted) {
            oid = std::string(text.substr(token->begin, token->end - token->begin));
        }
    }
    return macros.expand(oid);
}

bool hasUsableNames(const std::vector<std::string>& names, const std::string& oid) {
    for (const std::string& name : names) {
        if (name.empty()) {
            return false;
        }
    }
    return !names.empty() || !oid.empty();
}

struct ParsedClass {
    std::string oid;
    std::vector<std::string> names;
    int kind = LDAP_SCHEMA_STRUCTURAL;
    std::vector<std::string> superiors;
    std::vector<std::string> must;
    std::vector<std::string> may;
};

struct ParsedAttr {
    std::string oid;
    std::vector<std::string> names;
    std::string superior;
    std::string equality;
    std::string syntax;
    bool bounded = false;
    bool singleValue = false;
    bool noUserModification = false;
    int usage = LDAP_SCHEMA_USER_APPLICATIONS;
};

struct ParsedSyntax {
    std::string oid;
    bool humanReadable = true;
};

struct ParsedNameForm {
    std::string oid;
    std::vector<std::string> names;
    std::string objectClass;
    std::vector<std::string> must;
    std::vector<std::string> may;
};

struct ParsedRule {
    int id = 0;
    std::string form;
    std::vector<int> superiors;
};

std::optional<ParsedClass> parseClass(const std::string& text, const OidMacros& macros) {
    int code = 0;
    const char* rest = nullptr;
    const ObjectClassPtr parsed(
        ldap_str2objectclass(withExpandedOid(text, macros).c_str(), &code, &rest, kParseFlags));
    if (!parsed) {
        return std::nullopt;
    }
    ParsedClass result;
    result.oid = definitionOid(parsed->oc_oid, text, macros);
    result.names = copyList(parsed->oc_names);
    if (!hasUsableNames(result.names, result.oid)) {
        return std::nullopt;
    }
    result.kind = parsed->oc_kind;
    result.superiors = copyList(parsed->oc_sup_oids);
    result.must = copyList(parsed->oc_at_oids_must);
    result.may = copyList(parsed->oc_at_oids_may);
    return result;
}

std::optional<ParsedAttr> parseAttr(const std::string& text, const OidMacros& macros) {
    int code = 0;
    const char* rest = nullptr;
    const AttributeTypePtr parsed(
        ldap_str2attributetype(withExpandedOid(text, macros).c_str(), &code, &rest, kParseFlags));
    if (!parsed) {
        return std::nullopt;
    }
    ParsedAttr result;
    result.oid = definitionOid(parsed->at_oid, text, macros);
    result.names = copyList(parsed->at_names);
    if (!hasUsableNames(result.names, result.oid)) {
        return std::nullopt;
    }
    result.superior = copyText(parsed->at_sup_oid);
    result.equality = macros.expand(copyText(parsed->at_equality_oid));
    // libldap lets a macro or a malformed length bound through as the
    // syntax OID; what is not numeric after expansion is no syntax at all.
    if (parsed->at_syntax_oid) {
        result.syntax = macros.expand(parsed->at_syntax_oid);
        if (!isNumericOid(result.syntax)) {
            return std::nullopt;
        }
        result.bounded = parsed->at_syntax_len != 0;
    }
    result.singleValue = parsed->at_single_value != 0;
    result.noUserModification = parsed->at_no_user_mod != 0;
    result.usage = parsed->at_usage;
    return result;
}

std::optional<ParsedSyntax> parseSyntax(const std::string& text, const OidMacros& macros) {
    int code = 0;
    const char* rest = nullptr;
    const SyntaxPtr parsed(
        ldap_str2syntax(withExpandedOid(text, macros).c_str(), &code, &rest, kParseFlags));
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
    int code = 0;
    const char* rest = nullptr;
    const NameFormPtr parsed(
        ldap_str2nameform(withExpandedOid(text, macros).c_str(), &code, &rest, kParseFlags));
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
        text.replace(clause->first, clause->second - clause->first, " ");
    }
    return true;
}

std::optional<ParsedRule> parseRule(const std::string& text) {
    std::string rest = text;
    ParsedRule result;
    if (!takeRuleSuperiors(rest, result.superiors)) {
        return std::nullopt;
    }
    int code = 0;
    const char* unparsed = nullptr;
    const StructureRulePtr parsed(
        ldap_str2structurerule(forParser(rest).c_str(), &code, &unparsed, kParseFlags));
    if (!parsed || !parsed->sr_nameform) {
        return std::nullopt;
    }
    result.id = parsed->sr_ruleid;
    result.form = parsed->sr_nameform;
    return result;
}

struct NameLess {
    bool operator()(const std::string& a, const std::string& b) const {
        return compareNames(a, b) < 0;
    }
};

// Finds the definitions of one kind by any of their NAMEs (letter case
// ignored) and then by OID; of several, the first in source order.
class DefinitionIndex {
  public:
    explicit DefinitionIndex(const OidMacros& macros) : macros_(macros) {}

    void add(const std::vector<std::string>& names, const std::string& oid, std::size_t position) {
        for (const std::string& name : names) {
            byName_.emplace(name, position);
        }
        if (!oid.empty()) {
            byOid_.emplace(oid, position);
        }
    }

    std::optional<std::size_t> find(const std::string& reference) const {
        if (reference.empty()) {
            return std::nullopt;
        }
        if (const auto found = byName_.find(reference); found != byName_.end()) {
            return found->second;
        }
        if (const auto found = byOid_.find(reference); found != byOid_.end()) {
            return found->second;
        }
        if (const auto found = byOid_.find(macros_.expand(reference)); found != byOid_.end()) {
            return found->second;
        }
        return std::nullopt;
    }

  private:
    const OidMacros& macros_;
    std::map<std::string, std::size_t, NameLess> byName_;
    std::unordered_map<std::string, std::size_t> byOid_;
};

template <class Parsed>
std::string definitionName(const Parsed& parsed) {
    return parsed.names.empty() ? parsed.oid : parsed.names.front();
}

void addOnce(std::vector<std::string>& list, const std::string& name) {
    const bool present = std::any_of(list.begin(), list.end(), [&](const std::string& member) {
        return namesEqual(member, name);
    });
    if (!present) {
        list.push_back(name);
    }
}

template <class Definition>
void failKind(KindContent<Definition>& kind, const Description& description, const char* what) {
    if (kind.code == 0) {
        kind.code = QXERR_CANNOT_PARSE;
        kind.diagnostic =
            description.origin + ": " + what + " does not parse: " + excerpt(description.text);
    }
}

// A description with a NUL byte in it would reach libldap cut short.
bool hasNul(const std::string& text) {
    return text.find('\0') != std::string::npos;
}

std::uint32_t syntaxIdOf(const std::string& syntax, const std::string& equality) {
    static const std::map<std::string_view, std::uint32_t> kIds = {
        {"12", 1},  {"34", 1},  {"15", 3},  {"26", 2},  {"44", 4},  {"11", 4},
        {"36", 5},  {"7", 7},   {"27", 8},  {"40", 9},  {"5", 9},   {"28", 9},
        {"8", 9},   {"9", 9},   {"10", 9},  {"50", 10}, {"22", 11}, {"39", 14},
        {"41", 18}, {"38", 20}, {"24", 24}, {"53", 24},
    };
    // Active-Directory-style servers publish these under their own arc; a
    // large integer is an INTEGER in Debian's msuser schema, the rest take
    // the id of the standard syntax they stand closest to.
    static const std::map<std::string_view, std::uint32_t> kDirectoryIds = {
        {"1.2.840.113556.1.4.906", 8},  {"1.2.840.113556.1.4.905", 3},
        {"1.2.840.113556.1.4.1362", 2}, {"1.2.840.113556.1.4.907", 9},
        {"1.2.840.113556.1.4.903", 9},  {"1.2.840.113556.1.4.904", 9},
    };
    constexpr std::string_view kPrefix = "1.3.6.1.4.1.1466.115.121.1.";
    if (syntax == "1.3.6.1.1.16.1") {
        return 9;
    }
    if (const auto directory = kDirectoryIds.find(syntax); directory != kDirectoryIds.end()) {
        return directory->second;
    }
    if (syntax.size() <= kPrefix.size() || syntax.compare(0, kPrefix.size(), kPrefix) != 0) {
        return 0;
    }
    const auto found = kIds.find(std::string_view(syntax).substr(kPrefix.size()));
    if (found == kIds.end()) {
        return 0;
    }
    if (found->first == "15" &&
        (namesEqual(equality, "caseExactMatch") || equality == "2.5.13.5")) {
        return 2;
    }
    if (found->first == "26" &&
        (namesEqual(equality, "caseIgnoreIA5Match") || equality == "1.3.6.1.4.1.1466.109.114.2")) {
        return 3;
    }
    return found->second;
}

class Converter {
  public:
    explicit Converter(const Descriptions& descriptions)
        : in_(descriptions),
          macros_(descriptions.oidMacros),
          classIndex_(macros_),
          attrIndex_(macros_),
          formIndex_(macros_) {}

    SchemaContent run() {
        parseAll();
        convertAttrs();
        convertSyntaxes();
        convertClasses();
        out_.entries = in_.entries;
        if (out_.classes.code != 0) {
            out_.classes.definitions.clear();
        }
        if (out_.attrs.code != 0) {
            out_.attrs.definitions.clear();
        }
        if (out_.syntaxes.code != 0) {
            out_.syntaxes.definitions.clear();
        }
        return std::move(out_);
    }

  private:
    template <class Parsed, class Definition, class Parse>
    void parseKind(const std::vector<Description>& descriptions, std::vector<Parsed>& parsed,
                   KindContent<Definition>& kind, const char* what, Parse parse) {
        for (const Description& description : descriptions) {
            std::optional<Parsed> one;
            if (!hasNul(description.text)) {
                one = parse(description.text);
            }
            if (one) {
                parsed.push_back(std::move(*one));
            } else {
                failKind(kind, description, what);
            }
        }
    }

    void parseAll() {
        auto withMacros = [this](auto parse) {
            return [this, parse](const std::string& text) { return parse(text, macros_); };
        };
        parseKind(in_.objectClasses, classes_, out_.classes, "object class",
                  withMacros(parseClass));
        parseKind(in_.nameForms, forms_, out_.classes, "name form", withMacros(parseNameForm));
        parseKind(in_.structureRules, rules_, out_.classes, "DIT structure rule", parseRule);
        parseKind(in_.attributeTypes, attrs_, out_.attrs, "attribute type", withMacros(parseAttr));
        parseKind(in_.ldapSyntaxes, syntaxes_, out_.syntaxes, "syntax", withMacros(parseSyntax));
        for (std::size_t i = 0; i < classes_.size(); ++i) {
            classIndex_.add(classes_[i].names, classes_[i].oid, i);
        }
        for (std::size_t i = 0; i < attrs_.size(); ++i) {
            attrIndex_.add(attrs_[i].names, attrs_[i].oid, i);
        }
        for (std::size_t i = 0; i < forms_.size(); ++i) {
            formIndex_.add(forms_[i].names, forms_[i].oid, i);
        }
        for (std::size_t i = 0; i < rules_.size(); ++i) {
            ruleById_.emplace(rules_[i].id, i);
        }
    }

    std::string resolveClass(const std::string& reference) const {
        const auto found = classIndex_.find(reference);
        return found ? definitionName(classes_[*found]) : reference;
    }

    std::string resolveAttr(const std::string& reference) const {
        const auto found = attrIndex_.find(reference);
        return found ? definitionName(attrs_[*found]) : reference;
    }

    // The nearest attribute on the SUP chain, starting with `start` itself,
    // that has what `has` looks for; none at an undefined SUP or a loop.
    template <class Has>
    const ParsedAttr* nearest(std::size_t start, Has has) const {
        std::vector<bool> seen(attrs_.size(), false);
        std::size_t current = start;
        while (!seen[current]) {
            seen[current] = true;
            if (has(attrs_[current])) {
                return &attrs_[current];
            }
            const auto next = attrIndex_.find(attrs_[current].superior);
            if (!next) {
                return nullptr;
            }
            current = *next;
        }
        return nullptr;
    }

    void convertAttrs() {
        for (std::size_t i = 0; i < attrs_.size(); ++i) {
            const ParsedAttr& attr = attrs_[i];
            const ParsedAttr* withSyntax =
                nearest(i, [](const ParsedAttr& a) { return !a.syntax.empty(); });
            const ParsedAttr* withEquality =
                nearest(i, [](const ParsedAttr& a) { return !a.equality.empty(); });
            AttrDefinition definition;
            definition.name = definitionName(attr);
            if (withSyntax) {
                definition.syntaxId =
                    syntaxIdOf(withSyntax->syntax, withEquality ? withEquality->equality : "");
            } else {
                definition.syntaxId = QX_NO_SYNTAX;
            }
            if (attr.singleValue) {
                definition.flags |= DS_SINGLE_VALUED_ATTR;
            }
            if (withSyntax && withSyntax->bounded) {
                definition.flags |= DS_SIZED_ATTR;
            }
            if (attr.noUserModification) {
                definition.flags |= DS_READ_ONLY_ATTR;
            }
            if (attr.usage != LDAP_SCHEMA_USER_APPLICATIONS) {
                definition.flags |= DS_HIDDEN_ATTR;
            }
            if (attr.usage == LDAP_SCHEMA_DSA_OPERATION) {
                definition.flags |= DS_PER_REPLICA;
            }
            switch (definition.syntaxId) {
                case 2:
                case 3:
                case 4:
                case 5:
                case 10:
                    definition.flags |= DS_STRING_ATTR;
                    break;
                default:
                    break;
            }
            out_.attrs.definitions.push_back(std::move(definition));
        }
    }

    void convertSyntaxes() {
        for (const ParsedSyntax& syntax : syntaxes_) {
            SyntaxDefinition definition;
            definition.name = syntax.oid;
            definition.flags = syntax.humanReadable ? DS_STRING : 0;
            out_.syntaxes.definitions.push_back(std::move(definition));
        }
    }

    // The class a rule's name form is of, when both resolve.
    std::optional<std::size_t> classOfRule(const ParsedRule& rule) const {
        const auto form = formIndex_.find(rule.form);
        if (!form) {
            return std::nullopt;
        }
        return classIndex_.find(forms_[*form].objectClass);
    }

    void convertClasses() {
        std::vector<ClassDefinition>& definitions = out_.classes.definitions;
        for (const ParsedClass& parsed : classes_) {
            ClassDefinition definition;
            definition.name = definitionName(parsed);
            if (parsed.kind == LDAP_SCHEMA_STRUCTURAL) {
                definition.flags |= DS_EFFECTIVE_CLASS;
            } else if (parsed.kind == LDAP_SCHEMA_AUXILIARY) {
                definition.flags |= DS_AUXILIARY_CLASS;
            }
            for (const std::string& superior : parsed.superiors) {
                definition.lists[0].push_back(resolveClass(superior));
            }
            for (const std::string& attr : parsed.must) {
                definition.lists[3].push_back(resolveAttr(attr));
            }
            for (const std::string& attr : parsed.may) {
                definition.lists[4].push_back(resolveAttr(attr));
            }
            definitions.push_back(std::move(definition));
        }
        for (const ParsedNameForm& form : forms_) {
            const auto owner = classIndex_.find(form.objectClass);
            if (!owner) {
                continue;
            }
            for (const auto* list : {&form.must, &form.may}) {
                for (const std::string& attr : *list) {
                    addOnce(definitions[*owner].lists[2], resolveAttr(attr));
                }
            }
        }
        for (const ParsedRule& rule : rules_) {
            const auto owner = classOfRule(rule);
            for (int superiorId : rule.superiors) {
                const auto superior = ruleById_.find(superiorId);
                if (superior == ruleById_.end()) {
                    continue;
                }
                const ParsedRule& superiorRule = rules_[superior->second];
                if (const auto container = classOfRule(superiorRule)) {
                    definitions[*container].flags |= DS_CONTAINER_CLASS;
                }
                const auto superiorForm = formIndex_.find(superiorRule.form);
                if (owner && superiorForm) {
                    addOnce(definitions[*owner].lists[1],
                            resolveClass(forms_[*superiorForm].objectClass));
                }
            }
        }
    }

    const Descriptions& in_;
    OidMacros macros_;
    std::vector<ParsedClass> classes_;
    std::vector<ParsedAttr> attrs_;
    std::vector<ParsedSyntax> syntaxes_;
    std::vector<ParsedNameForm> forms_;
    std::vector<ParsedRule> rules_;
    DefinitionIndex classIndex_;
    DefinitionIndex attrIndex_;
    DefinitionIndex formIndex_;
    std::map<int, std::size_t> ruleById_;
    SchemaContent out_;
};

}  // namespace

SchemaContent convertDescriptions(const Descriptions& descriptions) {
    try {
        return Converter(descriptions).run();
    } catch (...) {
        // Only allocation can fail here; whatever it was, no kind can be read.
    }
    SchemaContent failed;
    failed.classes.code = failed.attrs.code = failed.syntaxes.code = QXERR_OUT_OF_MEMORY;
    try {
        failed.classes.diagnostic = failed.attrs.diagnostic = failed.syntaxes.diagnostic =
            "out of memory while converting the schema";
    } catch (...) {
        // The codes alone still tell the reader what happened.
    }
    return failed;
}

}  // namespace dsclient
