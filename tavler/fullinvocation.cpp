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
    auto* collected = static_cast<std::optional<fullschema::CollectedText>*>(user);
    if (!collected->has_value()) {
        return;
    }
    try {
        fullschema::CollectedText& into = **collected;
        const std::string_view value(text, length);
        if (kind < fullschema::kindCount) {
            into.add(kind, value, origin != nullptr ? origin : "");
        } else if (kind == QX_DESC_OID_MACRO) {
            const std::size_t space = value.find(' ');
            into.addMacro(std::string(value.substr(0, space)),
                          space == std::string_view::npos ? std::string()
                                                          : std::string(value.substr(space + 1)));
        }
    } catch (...) {
        collected->reset();
    }
}

// The schema a source word names, read whole; nothing when it could not be
// read, with the failure reported and its line in `failure`.
std::optional<fullschema::FullSchema> readSource(ServerState& server, int i,
                                                 const std::string& typedName,
                                                 const std::string& upperName,
                                                 std::string& failure) {
    // A word with a server scheme names a server even with ".ref" inside it.
    if (!hasServerScheme(upperName) && containsName(upperName, ".ref")) {
        failure = typedName +
                  ": a reference file holds the listing layout only; compare it without --full";
        std::cerr << failure << '\n';
        return std::nullopt;
    }
    updateMsg(typedName + ": Connecting");
    readyHeapForSchemaFile(typedName);
    if (!attachServer(server, i, upperName, typedName)) {
        failure = server.failure;
        return std::nullopt;
    }
    updateMsg(typedName + ": Reading Schema Descriptions");
    std::optional<fullschema::CollectedText> text(std::in_place);
    const std::int32_t code =
        QXDSReadDescriptions(server.contextHandle.at(static_cast<std::size_t>(i)), collect, &text);
    if (code != QX_SUCCESS) {
        failure = reportLibraryError("QXDSReadDescriptions returned ", code, *server.errorLines);
        return std::nullopt;
    }
    if (!text) {
        throw std::bad_alloc();
    }
    std::optional<fullschema::FullSchema> schema = fullschema::readFullSchema(*text, failure);
    if (!schema) {
        updateMsg("");
        std::cerr << failure << '\n';
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

void list(const std::string& name, const fullschema::FullSchema& schema, const KindSet& kinds,
          const FullModeOptions& options, bool inListRun) {
    if (options.json) {
        fullschema::writeJsonListing(std::cout, name, schema, kinds);
        return;
    }
    if (inListRun) {
        std::cout << "# " << name << '\n';
    }
    fullschema::writeLdifListing(std::cout, schema, kinds);
    if (inListRun) {
        std::cout << '\n';
    }
}

void compare(const std::array<fullschema::FullSchema, 2>& schemas, const KindSet& kinds,
             const FullModeOptions& options, RunOutcome& outcome) {
    const std::array<const std::string*, 2> names{&outcome.a, &*outcome.b};
    // A truncated or empty baseline would otherwise pass as "no differences".
    for (std::size_t i = 0; i < schemas.size(); ++i) {
        if (schemas[i].size() == 0) {
            updateMsg("");
            outcome.result = RunOutcome::Result::failed;
            outcome.message = *names[i] + " holds no schema definitions";
            std::cerr << outcome.message << '\n';
            return;
        }
    }
    const fullschema::Comparison comparison =
        onlyKinds(fullschema::compareSchemas(schemas[0], schemas[1], options.strict), kinds);
    if (options.json) {
        fullschema::writeJsonComparison(std::cout, outcome.a, schemas[0], *outcome.b, schemas[1],
                                        comparison);
    } else {
        fullschema::writeTextReport(std::cout, outcome.a, *outcome.b, comparison, useColour());
    }
    outcome.result = comparison.differences.empty() ? RunOutcome::Result::noDifferences
                                                    : RunOutcome::Result::differences;
    outcome.counts = comparison.counts;
}

}  // namespace

int fullStatus(const RunOutcome& outcome) {
    switch (outcome.result) {
        case RunOutcome::Result::failed:
            return kFailure;
        case RunOutcome::Result::differences:
            return kDifferences;
        case RunOutcome::Result::noDifferences:
        case RunOutcome::Result::listed:
            break;
    }
    return 0;
}

RunOutcome fullInvocation(const CMDLine& typed, const CMDLine& upper, const SelectedKinds& selected,
                          const FullModeOptions& options, ServerState& server, bool inListRun) {
    const int count = typed.getArgCount();
    RunOutcome outcome;
    outcome.a = typed.getArg(0);
    if (count == 2) {
        outcome.b = typed.getArg(1);
    }
    if (options.json) {
        server.errorLines = &std::cerr;
    }
    std::array<fullschema::FullSchema, 2> schemas;
    for (int i = 0; i < count && outcome.result != RunOutcome::Result::failed; ++i) {
        std::optional<fullschema::FullSchema> schema =
            readSource(server, i, typed.getArg(i), upper.getArg(i), outcome.message);
        if (!schema) {
            outcome.result = RunOutcome::Result::failed;
        } else {
            schemas[static_cast<std::size_t>(i)] = std::move(*schema);
        }
    }
    if (outcome.result != RunOutcome::Result::failed) {
        const KindSet kinds = kindsOf(selected);
        if (count == 1) {
            list(outcome.a, schemas[0], kinds, options, inListRun);
        } else {
            compare(schemas, kinds, options, outcome);
        }
    }
    updateMsg("");
    closeServers(server);
    return outcome;
}
