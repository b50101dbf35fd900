// Local schema sources: arbitrary bytes as a schema statement file, an LDIF
// file, or the two halves of a folder, read through libldap's parsers and
// converted into definitions. Beyond running clean under the sanitizers:
// the only codes are success and "cannot parse", a failure always comes with
// a one-line note and no definitions of its kind, and converting the same
// descriptions twice gives the same definitions; and the whole-definition
// parse refuses what the listing's parse refuses, and takes what it takes.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <type_traits>
#include <vector>

#include "dsclient/conversion.h"
#include "dsclient/descriptions.h"
#include "dsclient/schemafiles.h"
#include "dscontext/dsclient.h"
#include "toollib/schemadesc/descriptionparser.h"

namespace fs = std::filesystem;

namespace {

void check(bool holds, const char* what, const std::string& detail = "") {
    if (!holds) {
        std::cerr << "schema source: " << what << ": " << detail << '\n';
        std::abort();
    }
}

bool oneLine(const std::string& text) {
    return !text.empty() && text.find('\n') == std::string::npos;
}

// A folder in memory where the system has one, made once per process.
const fs::path& workFolder() {
    static const fs::path folder = [] {
        const fs::path base =
            fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        const fs::path made = base / ("tavler-fuzz-" + std::to_string(getpid()));
        fs::create_directories(made);
        return made;
    }();
    return folder;
}

void write(const fs::path& file, const char* data, std::size_t size) {
    std::ofstream(file, std::ios::binary | std::ios::trunc).write(data, static_cast<long>(size));
}

template <class Kind>
void checkKind(const Kind& kind, const Kind& again, const char* what) {
    check(kind.code == 0 || kind.code == QXERR_CANNOT_PARSE || kind.code == QXERR_OUT_OF_MEMORY,
          what, "an unexpected code");
    if (kind.code != 0) {
        check(kind.definitions.empty(), what, "definitions beside a failure");
        check(oneLine(kind.diagnostic), what, "a failure without a one-line note");
    }
    check(kind.code == again.code && kind.definitions.size() == again.definitions.size(), what,
          "two conversions differ");
    for (std::size_t i = 0; i < kind.definitions.size(); ++i) {
        check(kind.definitions[i].name == again.definitions[i].name, what, "names differ");
        check(!kind.definitions[i].name.empty(), what, "a definition without a name");
    }
}

// Every description through the whole-definition parse too; where the
// listing's parse reads the same kind, both take or refuse it alike.
template <class Listed>
void checkWhole(const std::vector<dsclient::Description>& descriptions, schemadesc::Kind kind,
                const schemadesc::OidMacros& macros, Listed listed) {
    for (const dsclient::Description& d : descriptions) {
        const bool whole = schemadesc::parseFull(kind, d.text, macros).has_value();
        if constexpr (!std::is_same_v<Listed, std::nullptr_t>) {
            check(whole == listed(d.text, macros).has_value(), "whole definitions",
                  "the two parses disagree on " + d.text);
        }
    }
}

void checkWholeKinds(const dsclient::Descriptions& d) {
    using schemadesc::Kind;
    const schemadesc::OidMacros macros(d.oidMacros);
    checkWhole(d.objectClasses, Kind::objectClasses, macros, schemadesc::parseClass);
    checkWhole(d.attributeTypes, Kind::attributeTypes, macros, schemadesc::parseAttr);
    checkWhole(d.nameForms, Kind::nameForms, macros, schemadesc::parseNameForm);
    checkWhole(d.structureRules, Kind::dITStructureRules, macros, schemadesc::parseRule);
    checkWhole(d.ldapSyntaxes, Kind::ldapSyntaxes, macros, nullptr);
    checkWhole(d.matchingRules, Kind::matchingRules, macros, nullptr);
    checkWhole(d.matchingRuleUse, Kind::matchingRuleUse, macros, nullptr);
    checkWhole(d.contentRules, Kind::dITContentRules, macros, nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const char* text = reinterpret_cast<const char*>(data + 1);
    const std::size_t length = size - 1;
    const fs::path folder = workFolder();
    fs::path source;
    switch (data[0] % 3) {
        case 0:
            source = folder / "input.schema";
            write(source, text, length);
            break;
        case 1:
            source = folder / "input.ldif";
            write(source, text, length);
            break;
        default: {
            source = folder / "both";
            fs::create_directories(source);
            write(source / "a.ldif", text, length / 2);
            write(source / "b.schema", text + length / 2, length - length / 2);
        }
    }
    dsclient::Descriptions descriptions;
    std::string diagnostic;
    const std::int32_t code = dsclient::readSchemaFiles(source.string(), descriptions, diagnostic);
    check(code == 0 || code == QXERR_CANNOT_PARSE, "reading", std::to_string(code));
    if (code != 0) {
        check(oneLine(diagnostic), "reading", "a failure without a one-line note");
        return 0;
    }
    const dsclient::SchemaContent content = dsclient::convertDescriptions(descriptions);
    const dsclient::SchemaContent again = dsclient::convertDescriptions(descriptions);
    checkKind(content.classes, again.classes, "classes");
    checkKind(content.attrs, again.attrs, "attributes");
    checkKind(content.syntaxes, again.syntaxes, "syntaxes");
    checkWholeKinds(descriptions);
    return 0;
}
