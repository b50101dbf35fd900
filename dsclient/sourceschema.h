#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace dsclient {

// One class as a source hands it out. The five lists are, in this order, the
// super classes, containment, naming attributes, mandatory and optional
// attributes, each in the order the source gives them.
struct ClassDefinition {
    std::string name;
    std::uint32_t flags = 0;
    std::array<std::vector<std::string>, 5> lists;
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
