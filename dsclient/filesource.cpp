#include "dsclient/filesource.h"

#include <filesystem>
#include <iostream>
#include <new>
#include <string_view>
#include <system_error>
#include <utility>

#include "dsclient/conversion.h"
#include "dsclient/descriptions.h"
#include "dsclient/schemafiles.h"
#include "dscontext/dsclient.h"
#include "toollib/namecompare.h"
#include "toollib/quietnote.h"

namespace dsclient {
namespace {

constexpr std::string_view kScheme = "file:";

}  // namespace

void writeSourceNote(std::string text) {
    constexpr std::size_t statusWidth = 79;
    if (text.size() < statusWidth) {
        text.resize(statusWidth, ' ');
    }
    std::cout.flush();
    std::cerr << text << '\n';
}

bool hasFileScheme(std::string_view name) {
    return startsWithName(name, kScheme);
}

bool isFileSourceName(const std::string& name) {
    return hasFileScheme(name) || endsWithName(name, ".schema") || endsWithName(name, ".ldif");
}

std::string fileSourcePath(const std::string& name) {
    if (!startsWithName(name, kScheme)) {
        return name;
    }
    std::string_view path = std::string_view(name).substr(kScheme.size());
    if (path.substr(0, 2) == "//") {
        path.remove_prefix(2);
    }
    return std::string(path);
}

std::string localSourceHint(const std::string& name) {
    std::error_code error;
    if (name.empty() || !std::filesystem::exists(name, error)) {
        return {};
    }
    return " (a local schema file or folder is named file:" + name + ")";
}

FileSource::FileSource(std::string name, bool holdsNotes)
    : name_(std::move(name)), holdsNotes_(holdsNotes) {}

std::int32_t FileSource::open(std::string& diagnostic) {
    try {
        Descriptions descriptions;
        if (const std::int32_t code =
                readSchemaFiles(fileSourcePath(name_), descriptions, diagnostic)) {
            return code;
        }
        // The library reports through codes and the last error text, which
        // the program shows only for a failure; an empty folder is no
        // failure (it lists as NONE), yet almost always a wrong name, so the
        // source says so itself.
        if (descriptions.filesRead == 0) {
            std::string note = name_ + ": the folder holds no .schema or .ldif file";
            if (holdsNotes_) {
                heldNotes_.push_back(std::move(note));
            } else {
                writeSourceNote(std::move(note));
            }
        }
        descriptions_ = std::move(descriptions);
        opened_ = true;
        held_ = true;
        return 0;
    } catch (...) {
        noteQuietly(diagnostic, "out of memory while reading the schema files");
        return QXERR_OUT_OF_MEMORY;
    }
}

std::int32_t FileSource::takeDescriptions(Descriptions& out, std::string& diagnostic) {
    if (held_) {
        held_ = false;
        out = std::move(descriptions_);
        descriptions_ = Descriptions{};
        return 0;
    }
    Descriptions again;
    if (const std::int32_t code = readSchemaFiles(fileSourcePath(name_), again, diagnostic)) {
        return code;
    }
    out = std::move(again);
    return 0;
}

std::int32_t FileSource::fetch(SchemaContent& content, std::string& diagnostic) {
    if (!opened_) {
        noteQuietly(diagnostic, "the schema files were not read");
        return QXERR_CANNOT_OPEN;
    }
    try {
        Descriptions descriptions;
        if (const std::int32_t code = takeDescriptions(descriptions, diagnostic)) {
            return code;
        }
        content = convertDescriptions(std::move(descriptions));
        return 0;
    } catch (...) {
        noteQuietly(diagnostic, "out of memory while handing out the schema");
        return QXERR_OUT_OF_MEMORY;
    }
}

std::int32_t FileSource::fetchDescriptions(Descriptions& out, std::string& diagnostic) {
    if (!opened_) {
        noteQuietly(diagnostic, "the schema files were not read");
        return QXERR_CANNOT_OPEN;
    }
    try {
        return takeDescriptions(out, diagnostic);
    } catch (...) {
        noteQuietly(diagnostic, "out of memory while handing out the schema descriptions");
        return QXERR_OUT_OF_MEMORY;
    }
}

std::string FileSource::serverName() const {
    return name_;
}

std::vector<std::string> FileSource::takeHeldNotes() {
    return std::exchange(heldNotes_, {});
}

}  // namespace dsclient
