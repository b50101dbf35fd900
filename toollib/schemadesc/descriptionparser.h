#pragma once

#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "toollib/schemadesc/fulldefinition.h"

// The schema descriptions of RFC 4512 (object classes, attribute types,
// syntaxes, name forms, DIT structure rules) taken apart through libldap
// into plain structs, with OID macros expanded where a definition names
// its own OID. Each parse function has one shape: the text of one
// description and the macros in force, and nothing when the description
// does not parse (a NUL byte in it included), is one libldap accepts but
// that names nothing, or names a syntax that is no numeric OID.
namespace schemadesc {

// OID macros ("objectIdentifier NAME VALUE" of schema files): a macro name
// stands for an OID, alone or before ":suffix".
class OidMacros {
  public:
    // The first of a name wins. Macro names are case-sensitive.
    explicit OidMacros(const std::vector<std::pair<std::string, std::string>>& macros);

    // `text` with a leading macro name replaced by its value, over and over;
    // unchanged when it names no macro or the macros loop.
    std::string expand(std::string text) const;

    bool empty() const { return values_.empty(); }

  private:
    std::unordered_map<std::string, std::string> values_;
};

enum class ClassKind { abstract, structural, auxiliary };

enum class AttrUsage { userApplications, directoryOperation, distributedOperation, dsaOperation };

struct ParsedClass {
    std::string oid;
    std::vector<std::string> names;
    ClassKind kind = ClassKind::structural;
    std::vector<std::string> superiors;
    std::vector<std::string> must;
    std::vector<std::string> may;
};

struct ParsedAttr {
    std::string oid;
    std::vector<std::string> names;
    std::string superior;
    std::string equality;  // the matching rule, macros expanded
    std::string syntax;    // a numeric OID, or empty for none
    bool bounded = false;  // the syntax carries a length bound
    bool singleValue = false;
    bool noUserModification = false;
    AttrUsage usage = AttrUsage::userApplications;
};

struct ParsedSyntax {
    std::string oid;
    bool humanReadable = true;  // no X-NOT-HUMAN-READABLE 'TRUE'
};

struct ParsedNameForm {
    std::string oid;  // numeric
    std::vector<std::string> names;
    std::string objectClass;
    std::vector<std::string> must;
    std::vector<std::string> may;
};

struct ParsedRule {
    int id = 0;
    std::string form;
    std::vector<int> superiors;  // rule ids
};

std::optional<ParsedClass> parseClass(const std::string& text, const OidMacros& macros);
std::optional<ParsedAttr> parseAttr(const std::string& text, const OidMacros& macros);
std::optional<ParsedSyntax> parseSyntax(const std::string& text, const OidMacros& macros);
std::optional<ParsedNameForm> parseNameForm(const std::string& text, const OidMacros& macros);
// A rule's own id is no OID: `macros` have nothing to expand in it.
std::optional<ParsedRule> parseRule(const std::string& text, const OidMacros& macros);

// Every field of a description of `kind`, with the same rules as the parse
// functions above (what does not parse, macros, a quoted OID); for
// dITContentRules, matchingRules and matchingRuleUse too.
std::optional<FullDefinition> parseFull(Kind kind, const std::string& text,
                                        const OidMacros& macros);

// A description on one line for a message: control characters and runs of
// blanks as one space, cut short with "..." when long.
std::string excerpt(const std::string& text);

}  // namespace schemadesc
