#include "tavler/fullinvocation.h"

#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "dscontext/dsclient.h"
#include "dscontext/errorline.h"
#include "fullschema/comparison.h"
#include "fullschema/fullschema.h"
#include "fullschema/jsonoutput.h"
#include "fullschema/listing.h"
#include "fullschema/textreport.h"
#include "toollib/namecompare.h"
#include "toollib/progress.h"
#include "toollib/terminaltext.h"

namespace {

using fullschema::Kind;
using fullschema::KindSet;

constexpr int kDifferences = 1;
constexpr int kFailure = 2;

// /C: the kinds that shape entries' classes; /A: attributes and which rules
// apply to them; /S: syntaxes and matching rules.
KindSet kindsOf(const SelectedKinds& selected) {
    KindSet kinds{};
    const auto choose = [&kinds](Kind kind, bool on) { kinds[schemadesc::kindIndex(kind)] = on; };
    choose(Kind::objectClasses, selected.classes);
    choose(Kind::dITContentRules, selected.classes);
    choose(Kind::nameForms, selected.classes);
    choose(Kind::dITStructureRules, selected.classes);
    choose(Kind::attributeTypes, selected.attributes);
    choose(Kind::matchingRuleUse, selected.attributes);
    choose(Kind::ldapSyntaxes, selected.syntaxes);
    choose(Kind::matchingRules, selected.syntaxes);
    return kinds;
}

// Collects what the library hands out. Never throws: a failure to store is
// noted and reported once the call has returned.
void collect(void* user, std::uint32_t kind, const char* text, std::size_t length,
             const char* origin) noexcept {
    auto* collected = static_cast<std::optional<fullschema::SourceText>*>(user);
    if (!collected->has_value()) {
        return;
    }
    try {
        fullschema::SourceText& into = **collected;
        const std::string_view value(text, length);
        if (kind < fullschema::kindCount) {
            into.kinds[kind].push_back({std::string(value), origin});
        } else if (kind == QX_DESC_OID_MACRO) {
            const std::size_t space = value.find(' ');
            into.macros.emplace_back(std::string(value.substr(0, space)),
                                     space == std::string_view::npos
                                         ? std::string()
                                         : std::string(value.substr(space + 1)));
        }
    } catch (...) {
        collected->reset();
    }
}

// The schema a source word names, read whole; nothing when it could not be
// read, with the failure reported.
std::optional<fullschema::FullSchema> readSource(ServerState& server, int i,
                                                 const std::string& typedName,
                                                 const std::string& upperName) {
    // A word with a server scheme names a server even with ".ref" inside it.
    if (!hasServerScheme(upperName) && containsName(upperName, ".ref")) {
        std::cerr << typedName
                  << ": a reference file holds the listing layout only; compare it without "
                     "--full\n";
        return std::nullopt;
    }
    updateMsg(typedName + ": Connecting");
    if (!attachServer(server, i, upperName, typedName)) {
        return std::nullopt;
    }
    updateMsg(typedName + ": Reading Schema Descriptions");
    std::optional<fullschema::SourceText> text(std::in_place);
    const std::int32_t code =
        QXDSReadDescriptions(server.contextHandle.at(static_cast<std::size_t>(i)), collect, &text);
    if (code != QX_SUCCESS) {
        reportLibraryError("QXDSReadDescriptions returned ", code);
        return std::nullopt;
    }
    if (!text) {
        throw std::bad_alloc();
    }
    std::string diagnostic;
    std::optional<fullschema::FullSchema> schema = fullschema::readFullSchema(*text, diagnostic);
    if (!schema) {
        updateMsg("");
        std::cerr << diagnostic << '\n';
    }
    return schema;
}

// Colour only for a reader at a terminal who has not asked for none.
bool useColour() {
    const char* noColour = std::getenv("NO_COLOR");
    return shownOnTerminal(std::cout) && (noColour == nullptr || *noColour == '\0');
}

// The comparison with only the chosen kinds, counted again.
fullschema::Comparison onlyKinds(fullschema::Comparison all, const KindSet& kinds) {
    fullschema::Comparison kept;
    for (const fullschema::NotCompared& skipped : all.notCompared) {
        if (kinds[schemadesc::kindIndex(skipped.kind)]) {
            kept.notCompared.push_back(skipped);
        }
    }
    for (fullschema::Difference& d : all.differences) {
        if (kinds[schemadesc::kindIndex(d.kind)]) {
            ++kept.counts[static_cast<std::size_t>(d.severity)];
            kept.differences.push_back(std::move(d));
        }
    }
    return kept;
}

int list(const std::string& name, const fullschema::FullSchema& schema, const KindSet& kinds,
         const FullModeOptions& options, bool inListRun) {
    if (options.json) {
        fullschema::writeJsonListing(std::cout, name, schema, kinds);
    } else {
        if (inListRun) {
            std::cout << "# " << name << '\n';
        }
        fullschema::writeLdifListing(std::cout, schema, kinds);
        if (inListRun) {
            std::cout << '\n';
        }
    }
    return 0;
}

int compare(const std::array<std::string, 2>& names,
            const std::array<fullschema::FullSchema, 2>& schemas, const KindSet& kinds,
            const FullModeOptions& options) {
    // A truncated or empty baseline would otherwise pass as "no differences".
    for (std::size_t i = 0; i < schemas.size(); ++i) {
        if (schemas[i].size() == 0) {
            updateMsg("");
            std::cerr << names[i] << " holds no schema definitions\n";
            return kFailure;
        }
    }
    const fullschema::Comparison comparison =
        onlyKinds(fullschema::compareSchemas(schemas[0], schemas[1], options.strict), kinds);
    if (options.json) {
        fullschema::writeJsonComparison(std::cout, names[0], schemas[0], names[1], schemas[1],
                                        comparison);
    } else {
        fullschema::writeTextReport(std::cout, names[0], names[1], comparison, useColour());
    }
    return comparison.differences.empty() ? 0 : kDifferences;
}

}  // namespace

int fullInvocation(const CMDLine& typed, const CMDLine& upper, const SelectedKinds& selected,
                   const FullModeOptions& options, ServerState& server, bool inListRun) {
    const int count = typed.getArgCount();
    std::array<std::string, 2> names;
    std::array<fullschema::FullSchema, 2> schemas;
    int status = 0;
    for (int i = 0; i < count && status == 0; ++i) {
        const auto at = static_cast<std::size_t>(i);
        names[at] = typed.getArg(i);
        std::optional<fullschema::FullSchema> schema =
            readSource(server, i, names[at], upper.getArg(i));
        if (!schema) {
            status = kFailure;
        } else {
            schemas[at] = std::move(*schema);
        }
    }
    if (status == 0) {
        const KindSet kinds = kindsOf(selected);
        status = count == 1 ? list(names[0], schemas[0], kinds, options, inListRun)
                            : compare(names, schemas, kinds, options);
    }
    updateMsg("");
    closeServers(server);
    return status;
}
