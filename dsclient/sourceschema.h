#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dsclient/packednames.h"

namespace dsclient {

// The five lists of a class, in the order they are handed out: super
// classes, containment, naming attributes, mandatory and optional attributes.
enum ClassList : std::size_t { SUPERCLASSES = 0, CONTAINMENT, NAMEDBY, MANDATORY, OPT };
constexpr std::size_t classListCount = 5;

// The syntax ids of attribute definitions (QX_NO_SYNTAX for none).
enum SyntaxId : std::uint32_t {
    SYN_UNKNOWN = 0,
    SYN_DIST_NAME,
    SYN_CE_STRING,
    SYN_CI_STRING,
    SYN_PR_STRING,
    SYN_NU_STRING,
    SYN_CI_LIST,
    SYN_BOOLEAN,
    SYN_INTEGER,
    SYN_OCTET_STRING,
    SYN_TEL_NUMBER,
    SYN_FAX_NUMBER,
    SYN_NET_ADDRESS,
    SYN_OCTET_LIST,
    SYN_EMAIL_ADDRESS,
    SYN_PATH,
    SYN_REPLICA_POINTER,
    SYN_OBJECT_ACL,
    SYN_PO_ADDRESS,
    SYN_TIMESTAMP,
    SYN_CLASS_NAME,
    SYN_STREAM,
    SYN_COUNTER,
    SYN_BACK_LINK,
    SYN_TIME,
    SYN_TYPED_NAME,
    SYN_HOLD,
    SYN_INTERVAL,
    SYNTAX_COUNT
};

// One class as a source hands it out, each list (see ClassList) in the
// order the source gives it.
struct ClassDefinition {
    std::string name;
    std::uint32_t flags = 0;
    std::array<PackedNames, classListCount> lists;
};

struct AttrDefinition {
    std::string name;
    std::uint32_t flags = 0;
    std::uint32_t syntaxId = 0xFFFFFFFF;  // no syntax
};

struct SyntaxDefinition {
    std::string name;
    std::uint16_t flags = 0;
};

// The definitions of one kind, in source order, or the code with which a read
// of that kind fails (0: the kind reads) and a one-line note on why.
template <class Definition>
struct KindContent {
    std::vector<Definition> definitions;
    std::int32_t code = 0;
    std::string diagnostic;
};

// Everything a source holds, converted into the library's definitions.
struct SchemaContent {
    KindContent<ClassDefinition> classes;
    KindContent<AttrDefinition> attrs;
    KindContent<SyntaxDefinition> syntaxes;
    // Entry names besides "[Root]" that QXDSReadObjectInfo finds.
    std::vector<std::string> entries;
};

}  // namespace dsclient
