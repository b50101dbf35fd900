// Schemas read whole: arbitrary bytes as a schema statement file or an LDIF
// file (the first byte chooses), through the library's call that hands out
// whole descriptions, into the full model. Beyond running clean under the
// sanitizers: a schema compared with itself has no difference, not even a
// cosmetic one; its listing reads back and lists to the same bytes; where
// no two definitions of a kind share an OID or a NAME (pairing and the
// reading of references then follow source order, which the listing
// changes), the listing compares equal to the schema; and the report and
// JSON writers take any comparison.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <set>
#include <sstream>
#include <string>

#include "dscontext/dsclient.h"
#include "fullschema/comparison.h"
#include "fullschema/fullschema.h"
#include "fullschema/jsonoutput.h"
#include "fullschema/listing.h"
#include "fullschema/textreport.h"

namespace fs = std::filesystem;

namespace {

void check(bool holds, const char* what, const std::string& detail = "") {
    if (!holds) {
        std::cerr << "full schema: " << what << ": " << detail << '\n';
        std::abort();
    }
}

const fs::path& workFolder() {
    static const fs::path folder = [] {
        const fs::path base =
            fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        const fs::path made = base / ("tavler-fullfuzz-" + std::to_string(getpid()));
        fs::create_directories(made);
        return made;
    }();
    return folder;
}

void collect(void* user, std::uint32_t kind, const char* text, std::size_t length,
             const char* origin) noexcept {
    auto& into = *static_cast<fullschema::SourceText*>(user);
    const std::string value(text, length);
    if (kind < fullschema::kindCount) {
        into.kinds[kind].push_back({value, origin});
    } else {
        const std::size_t space = value.find(' ');
        into.macros.emplace_back(value.substr(0, space),
                                 space == std::string::npos ? "" : value.substr(space + 1));
    }
}

// The schema of the file, read as the program reads a source; nothing when
// the file or one of its descriptions does not read.
std::optional<fullschema::FullSchema> readWhole(const fs::path& file) {
    std::uint32_t start = 0;
    std::uint32_t connection = 0;
    std::uint32_t context = 0;
    check(QXGetDefaultConnectionID(&start) == QX_SUCCESS, "no default connection");
    const std::string name = "file:" + file.string();
    if (QXCCOpenConnByName(start, name.c_str(), QX_NAME_FORMAT_SERVER, QX_OPEN_STATE_DEFAULT,
                           QX_TRANSPORT_ANY, &connection) != QX_SUCCESS) {
        return std::nullopt;
    }
    check(QXDSCreateContextHandle(&context) == QX_SUCCESS, "no context");
    check(QXDSSetContext(context, QX_CTX_CONNECTION, &connection) == QX_SUCCESS, "no binding");
    fullschema::SourceText text;
    const std::int32_t code = QXDSReadDescriptions(context, collect, &text);
    QXDSFreeContext(context);
    QXCCCloseConn(connection);
    check(code == QX_SUCCESS, "reading an opened file", std::to_string(code));
    std::string diagnostic;
    auto schema = fullschema::readFullSchema(text, diagnostic);
    check(schema.has_value() || (!diagnostic.empty() && diagnostic.find('\n') == std::string::npos),
          "a failure without a one-line note");
    return schema;
}

std::string folded(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

bool identitiesUnique(const fullschema::FullSchema& schema) {
    for (const schemadesc::Kind kind : schemadesc::allKinds) {
        std::set<std::string> oids;
        std::set<std::string> names;
        for (const auto& definition : schema.definitions(kind)) {
            if (!oids.insert(folded(definition.oid)).second) {
                return false;
            }
            for (const std::string& name : definition.names) {
                if (!names.insert(folded(name)).second) {
                    return false;
                }
            }
        }
    }
    return true;
}

std::string listingOf(const fullschema::FullSchema& schema) {
    std::ostringstream out;
    fullschema::writeLdifListing(out, schema, fullschema::everyKind);
    return out.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const fs::path input = workFolder() / (data[0] % 2 == 0 ? "input.schema" : "input.ldif");
    std::ofstream(input, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data + 1), static_cast<long>(size - 1));
    const std::optional<fullschema::FullSchema> schema = readWhole(input);
    if (!schema) {
        return 0;
    }
    const fullschema::Comparison itself = fullschema::compareSchemas(*schema, *schema, true);
    check(itself.differences.empty() && itself.notCompared.empty(), "differs from itself");

    const std::string listing = listingOf(*schema);
    const fs::path saved = workFolder() / "listing.ldif";
    std::ofstream(saved, std::ios::binary | std::ios::trunc) << listing;
    const std::optional<fullschema::FullSchema> again = readWhole(saved);
    check(again.has_value(), "the listing does not read back", listing);
    check(listingOf(*again) == listing, "the listing lists otherwise", listing);
    const fullschema::Comparison saving = fullschema::compareSchemas(*schema, *again, true);
    check(!identitiesUnique(*schema) || saving.differences.empty(), "the listing differs", listing);

    const fullschema::Comparison withNothing =
        fullschema::compareSchemas(*schema, fullschema::FullSchema(), true);
    std::ostringstream sink;
    fullschema::writeTextReport(sink, "a", "b", withNothing, true);
    fullschema::writeJsonComparison(sink, "a", *schema, "b", fullschema::FullSchema(), withNothing);
    fullschema::writeJsonListing(sink, "a", *schema, fullschema::everyKind);
    return 0;
}
