#include "dsclient/schemafiles.h"

// ldif.h uses FILE and ber_len_t without including what declares them.
#include <lber.h>
#include <ldif.h>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <limits>
#include <memory>
#include <new>
#include <set>
#include <string_view>
#include <system_error>
#include <vector>

#include "dsclient/ldiflines.h"
#include "dscontext/dsclient.h"
#include "toollib/namecompare.h"
#include "toollib/quietnote.h"

namespace dsclient {
namespace {

namespace fs = std::filesystem;

bool isBlankChar(char c) {
    return c == ' ' || c == '\t';
}

std::string where(const std::string& file, std::size_t line) {
    std::array<char, 24> digits{};
    const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), line).ptr;
    const auto length = static_cast<std::size_t>(end - digits.data());
    std::string origin;
    origin.reserve(file.size() + 1 + length);
    origin += file;
    origin += ':';
    origin.append(digits.data(), length);
    return origin;
}

std::int32_t cannotOpen(const std::string& path, int error, std::string& diagnostic) {
    diagnostic = "cannot open " + path + ": " + std::strerror(error);
    return QXERR_CANNOT_OPEN;
}

std::int32_t cannotParse(const std::string& file, std::size_t line, const std::string& why,
                         std::string& diagnostic) {
    diagnostic = where(file, line) + ": " + why;
    return QXERR_CANNOT_PARSE;
}

// The file descriptor of one read, closed on every way out.
class OpenFile {
  public:
    explicit OpenFile(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~OpenFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd() const { return fd_; }

  private:
    int fd_;
};

std::int32_t readWhole(const std::string& path, std::string& content, std::string& diagnostic) {
    errno = 0;
    const OpenFile file(path);
    if (file.fd() < 0) {
        return cannotOpen(path, errno != 0 ? errno : EACCES, diagnostic);
    }
    // Read in place at the size the file has now, then whatever it grew by:
    // a large file is never copied from piece to piece.
    struct stat status {};
    const std::size_t size = ::fstat(file.fd(), &status) == 0 && status.st_size > 0
                                 ? static_cast<std::size_t>(status.st_size)
                                 : 0;
    constexpr std::size_t piece = std::size_t{1} << 16;
    content.resize(size + 1);
    std::size_t filled = 0;
    while (true) {
        if (filled == content.size()) {
            content.resize(filled + piece);
        }
        const ssize_t got = ::read(file.fd(), content.data() + filled, content.size() - filled);
        if (got == 0) {
            break;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return cannotOpen(path, errno != 0 ? errno : EIO, diagnostic);
        }
        filled += static_cast<std::size_t>(got);
    }
    content.resize(filled);
    return 0;
}

// Calls `take(line, number)` for each of the file's lines, without its LF
// and without a CR right before it, numbered from 1, as views of `content`;
// stops at the first that answers nonzero, and returns that.
template <class Take>
std::int32_t forEachLine(std::string_view content, Take take) {
    std::size_t begin = 0;
    std::size_t number = 0;
    while (begin < content.size()) {
        std::size_t end = content.find('\n', begin);
        if (end == std::string_view::npos) {
            end = content.size();
        }
        std::string_view line = content.substr(begin, end - begin);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (const std::int32_t code = take(line, ++number)) {
            return code;
        }
        begin = end + 1;
    }
    return 0;
}

std::vector<std::string> words(std::string_view text) {
    std::vector<std::string> result;
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && isBlankChar(text[pos])) {
            ++pos;
        }
        const std::size_t begin = pos;
        while (pos < text.size() && !isBlankChar(text[pos])) {
            ++pos;
        }
        if (pos > begin) {
            result.emplace_back(text.substr(begin, pos - begin));
        }
    }
    return result;
}

bool addMacro(const Description& description, Descriptions& out) {
    std::vector<std::string> parts = words(description.text);
    if (parts.size() != 2) {
        return false;
    }
    out.oidMacros.emplace_back(std::move(parts[0]), std::move(parts[1]));
    out.oidMacroOrigins.push_back(description.origin);
    return true;
}

// One statement of a schema file: its keyword decides where the rest goes.
std::int32_t takeStatement(const std::string& file, std::size_t line, const std::string& text,
                           Descriptions& out, std::string& diagnostic) {
    std::size_t end = 0;
    while (end < text.size() && !isBlankChar(text[end])) {
        ++end;
    }
    const std::string_view keyword(text.data(), end);
    std::size_t restBegin = end;
    while (restBegin < text.size() && isBlankChar(text[restBegin])) {
        ++restBegin;
    }
    std::size_t restEnd = text.size();
    while (restEnd > restBegin && isBlankChar(text[restEnd - 1])) {
        --restEnd;
    }
    Description description{text.substr(restBegin, restEnd - restBegin), where(file, line)};
    // The server takes any keyword that begins so (dsee.schema writes
    // "attributeype").
    if (startsWithName(keyword, "attribute")) {
        out.attributeTypes.push_back(std::move(description));
    } else if (namesEqual(keyword, "objectclass")) {
        out.objectClasses.push_back(std::move(description));
    } else if (namesEqual(keyword, "ldapsyntax")) {
        out.ldapSyntaxes.push_back(std::move(description));
    } else if (namesEqual(keyword, "ditcontentrule")) {
        out.contentRules.push_back(std::move(description));
    } else if (namesEqual(keyword, "objectidentifier")) {
        if (!addMacro(description, out)) {
            return cannotParse(file, line, "objectidentifier needs a name and an OID", diagnostic);
        }
    } else {
        return cannotParse(file, line, "unknown keyword '" + std::string(keyword) + "'",
                           diagnostic);
    }
    return 0;
}

// Statements as the server splits them: a line that begins with anything but
// a blank or '#', and the indented lines right after it. A comment or empty
// line ends a statement, so an indented line after one continues nothing.
std::int32_t readStatements(const std::string& file, Descriptions& out, std::string& diagnostic) {
    std::string content;
    if (const std::int32_t code = readWhole(file, content, diagnostic)) {
        return code;
    }
    std::string statement;
    std::size_t statementLine = 0;
    auto finish = [&]() -> std::int32_t {
        if (statementLine == 0) {
            return 0;
        }
        const std::size_t line = statementLine;
        statementLine = 0;
        return takeStatement(file, line, statement, out, diagnostic);
    };
    const std::int32_t code =
        forEachLine(content, [&](std::string_view line, std::size_t number) -> std::int32_t {
            if (line.empty() || line.front() == '#') {
                return finish();
            }
            if (isBlankChar(line.front())) {
                const bool onlyBlanks = std::all_of(line.begin(), line.end(), isBlankChar);
                if (statementLine != 0) {
                    statement += ' ';
                    statement += line;
                } else if (!onlyBlanks) {
                    return cannotParse(file, number, "indented line continues no statement",
                                       diagnostic);
                }
                return 0;
            }
            const std::int32_t finished = finish();
            statement = line;
            statementLine = number;
            return finished;
        });
    return code != 0 ? code : finish();
}

struct ParsedValue {
    berval type{};
    berval value{};
    int owned = 0;
    ParsedValue() = default;
    ParsedValue(const ParsedValue&) = delete;
    ParsedValue& operator=(const ParsedValue&) = delete;
    ~ParsedValue() {
        if (owned) {
            ber_memfree(value.bv_val);
        }
    }
};

enum class Target {
    kNone,
    kClasses,
    kAttrs,
    kSyntaxes,
    kNameForms,
    kRules,
    kMatchingRules,
    kMatchingRuleUse,
    kContentRules,
    kMacros,
    kEntry
};

struct Family {
    std::string_view attribute;
    Target target;
    bool ordered;  // the server's own forms carry "{n}" prefixes
};

constexpr Family kFamilies[] = {
    {"objectClasses", Target::kClasses, false},
    {"attributeTypes", Target::kAttrs, false},
    {"ldapSyntaxes", Target::kSyntaxes, false},
    {"nameForms", Target::kNameForms, false},
    {"dITStructureRules", Target::kRules, false},
    {"olcObjectClasses", Target::kClasses, true},
    {"olcAttributeTypes", Target::kAttrs, true},
    {"olcLdapSyntaxes", Target::kSyntaxes, true},
    {"olcObjectIdentifier", Target::kMacros, true},
    {"dn", Target::kEntry, false},
    {"matchingRules", Target::kMatchingRules, false},
    {"matchingRuleUse", Target::kMatchingRuleUse, false},
    {"dITContentRules", Target::kContentRules, false},
    {"olcDitContentRules", Target::kContentRules, true},
};

std::string_view withoutOrderPrefix(std::string_view value) {
    if (value.empty() || value.front() != '{') {
        return value;
    }
    std::size_t pos = 1;
    while (pos < value.size() && value[pos] >= '0' && value[pos] <= '9') {
        ++pos;
    }
    if (pos == 1 || pos >= value.size() || value[pos] != '}') {
        return value;
    }
    return value.substr(pos + 1);
}

std::int32_t takeLdifValue(const std::string& file, std::size_t line, const ParsedValue& parsed,
                           Descriptions& out, std::string& diagnostic) {
    std::string_view type(parsed.type.bv_val, parsed.type.bv_len);
    type = type.substr(0, type.find(';'));
    const Family* family = nullptr;
    for (const Family& candidate : kFamilies) {
        if (namesEqual(type, candidate.attribute)) {
            family = &candidate;
            break;
        }
    }
    if (family == nullptr) {
        return 0;
    }
    std::string_view value(parsed.value.bv_val, parsed.value.bv_len);
    if (family->ordered) {
        value = withoutOrderPrefix(value);
    }
    Description description{std::string(value), where(file, line)};
    switch (family->target) {
        case Target::kClasses:
            out.objectClasses.push_back(std::move(description));
            break;
        case Target::kAttrs:
            out.attributeTypes.push_back(std::move(description));
            break;
        case Target::kSyntaxes:
            out.ldapSyntaxes.push_back(std::move(description));
            break;
        case Target::kNameForms:
            out.nameForms.push_back(std::move(description));
            break;
        case Target::kRules:
            out.structureRules.push_back(std::move(description));
            break;
        case Target::kMatchingRules:
            out.matchingRules.push_back(std::move(description));
            break;
        case Target::kMatchingRuleUse:
            out.matchingRuleUse.push_back(std::move(description));
            break;
        case Target::kContentRules:
            out.contentRules.push_back(std::move(description));
            break;
        case Target::kMacros:
            if (!addMacro(description, out)) {
                return cannotParse(file, line, "olcObjectIdentifier needs a name and an OID",
                                   diagnostic);
            }
            break;
        case Target::kEntry:
            out.entries.push_back(std::move(description.text));
            break;
        case Target::kNone:
            break;
    }
    return 0;
}

// ldif_getline leaves these where it joined folded lines; ldif_parse_line2
// drops them.
constexpr char kFoldMarker = '\r';

// Checked before libldap decodes, which reports bad base64 on standard error
// whatever it is told.
bool looksLikeBase64(const char* value) {
    bool padding = false;
    std::size_t count = 0;
    for (const char* c = value; *c; ++c) {
        const bool letter = (*c >= 'A' && *c <= 'Z') || (*c >= 'a' && *c <= 'z') ||
                            (*c >= '0' && *c <= '9') || *c == '+' || *c == '/';
        if (*c == ' ' || *c == kFoldMarker) {
            continue;
        }
        if (*c == '=') {
            padding = true;
        } else if (!letter || padding) {
            return false;
        }
        ++count;
    }
    return count % 4 == 0;
}

// Takes one logical line of an LDIF file, which begins on file line
// `lineNumber`.
std::int32_t takeLine(const std::string& file, char* line, std::size_t lineNumber,
                      Descriptions& out, std::string& diagnostic) {
    if (std::strcmp(line, "-") == 0) {
        return 0;
    }
    const char* colon = std::strchr(line, ':');
    if (colon == nullptr || colon == line) {
        return cannotParse(file, lineNumber, "not an LDIF line", diagnostic);
    }
    // libldap would read the file the URL names.
    const char* after = colon + 1;
    while (*after == kFoldMarker) {
        ++after;
    }
    if (*after == '<') {
        return cannotParse(file, lineNumber, "values given by URL are refused", diagnostic);
    }
    if (*after == ':' && !looksLikeBase64(after + 1)) {
        return cannotParse(file, lineNumber, "bad base64 value", diagnostic);
    }
    ParsedValue parsed;
    if (ldif_parse_line2(line, &parsed.type, &parsed.value, &parsed.owned) < 0) {
        return cannotParse(file, lineNumber, "not an LDIF line or bad base64", diagnostic);
    }
    return takeLdifValue(file, lineNumber, parsed, out, diagnostic);
}

// Reads an LDIF file in pieces for what must be refused before anything of
// it is taken: include lines, which libldap would follow into other files,
// and NUL bytes, past which libldap's record reader reads what it never
// wrote. QXERR_CANNOT_PARSE at the first of either.
std::int32_t scanLdifLines(const std::string& file, std::string& diagnostic) {
    errno = 0;
    const OpenFile in(file);
    if (in.fd() < 0) {
        return cannotOpen(file, errno != 0 ? errno : EACCES, diagnostic);
    }
    constexpr std::string_view include = "include:";
    std::array<char, std::size_t{1} << 16> piece{};
    std::array<char, include.size()> start{};  // the first bytes of the line
    std::size_t length = 0;                    // of the line so far, without its LF
    std::size_t lineNumber = 1;
    const auto endLine = [&]() -> std::int32_t {
        if (length >= include.size() &&
            namesEqual(std::string_view(start.data(), start.size()), include)) {
            return cannotParse(file, lineNumber, "include lines are refused", diagnostic);
        }
        ++lineNumber;
        length = 0;
        return 0;
    };
    while (true) {
        const ssize_t got = ::read(in.fd(), piece.data(), piece.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return cannotOpen(file, errno != 0 ? errno : EIO, diagnostic);
        }
        if (got == 0) {
            return length != 0 ? endLine() : 0;
        }
        const std::string_view text(piece.data(), static_cast<std::size_t>(got));
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t end = std::min(text.find('\n', at), text.size());
            const std::string_view part = text.substr(at, end - at);
            if (part.find('\0') != std::string_view::npos) {
                return cannotParse(file, lineNumber, "NUL bytes are refused", diagnostic);
            }
            if (length < start.size()) {
                const std::size_t taken = std::min(start.size() - length, part.size());
                std::copy_n(part.data(), taken, start.data() + length);
            }
            length += part.size();
            if (end < text.size()) {
                if (const std::int32_t code = endLine()) {
                    return code;
                }
            }
            at = end + 1;
        }
    }
}

std::int32_t readLdif(const std::string& file, Descriptions& out, std::string& diagnostic) {
    if (const std::int32_t code = scanLdifLines(file, diagnostic)) {
        return code;
    }
    // Read a logical line at a time: the schema of a large LDIF file is one
    // record, and its text need not be held whole beside what is taken of it.
    errno = 0;
    const OpenFile in(file);
    if (in.fd() < 0) {
        return cannotOpen(file, errno != 0 ? errno : EACCES, diagnostic);
    }
    LdifLines lines(in.fd());
    std::size_t lineNumber = 0;
    while (char* line = lines.next(lineNumber)) {
        if (const std::int32_t code = takeLine(file, line, lineNumber, out, diagnostic)) {
            return code;
        }
    }
    return errno != 0 ? cannotOpen(file, errno, diagnostic) : 0;
}

bool isSchemaFileName(std::string_view name) {
    return endsWithName(name, ".schema") || endsWithName(name, ".ldif");
}

std::int32_t readFile(const std::string& file, Descriptions& out, std::string& diagnostic) {
    ++out.filesRead;
    return endsWithName(file, ".ldif") ? readLdif(file, out, diagnostic)
                                       : readStatements(file, out, diagnostic);
}

// Debian and others ship each schema both as NAME.schema and as NAME.ldif;
// read both and every definition of a folder would be listed twice.
void dropLdifTwins(std::vector<std::string>& names) {
    const auto foldedStem = [](const std::string& name, std::string_view suffix) {
        std::string stem = name.substr(0, name.size() - suffix.size());
        for (char& c : stem) {
            c = foldName(c);
        }
        return stem;
    };
    std::set<std::string> schemaStems;
    for (const std::string& name : names) {
        if (endsWithName(name, ".schema")) {
            schemaStems.insert(foldedStem(name, ".schema"));
        }
    }
    names.erase(std::remove_if(names.begin(), names.end(),
                               [&](const std::string& name) {
                                   return endsWithName(name, ".ldif") &&
                                          schemaStems.count(foldedStem(name, ".ldif")) != 0;
                               }),
                names.end());
}

std::int32_t readFolder(const std::string& folder, Descriptions& out, std::string& diagnostic) {
    std::error_code error;
    fs::directory_iterator entries(folder, error);
    if (error) {
        return cannotOpen(folder, error.value(), diagnostic);
    }
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : entries) {
        std::string name = entry.path().filename().string();
        std::error_code statusError;
        if (isSchemaFileName(name) && entry.is_regular_file(statusError)) {
            names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end());
    dropLdifTwins(names);
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    for (const std::string& name : names) {
        if (const std::int32_t code = readFile(prefix + name, out, diagnostic)) {
            return code;
        }
    }
    return 0;
}

// The lists grew by doubling while read; a hundred thousand descriptions
// left room for thirty thousand more, kept until the list is parsed.
void fitToSize(Descriptions& read) {
    for (auto* kind :
         {&read.objectClasses, &read.attributeTypes, &read.ldapSyntaxes, &read.nameForms,
          &read.structureRules, &read.matchingRules, &read.matchingRuleUse, &read.contentRules}) {
        kind->shrink_to_fit();
    }
}

}  // namespace

std::int32_t readSchemaFiles(const std::string& path, Descriptions& out, std::string& diagnostic) {
    try {
        std::error_code error;
        const fs::file_status status = fs::status(path, error);
        if (error) {
            return cannotOpen(path, error.value(), diagnostic);
        }
        std::int32_t code = 0;
        if (fs::is_directory(status)) {
            code = readFolder(path, out, diagnostic);
        } else if (fs::is_regular_file(status)) {
            code = readFile(path, out, diagnostic);
        } else {
            // A pipe or device could keep the open waiting for ever.
            diagnostic = "cannot open " + path + ": not a regular file";
            return QXERR_CANNOT_OPEN;
        }
        fitToSize(out);
        return code;
    } catch (const std::bad_alloc&) {
        // The last resort: the note may itself fail to allocate, the code not.
        noteQuietly(diagnostic, "out of memory while reading ", path);
        return QXERR_OUT_OF_MEMORY;
    } catch (...) {
        noteQuietly(diagnostic, "cannot read ", path);
        return QXERR_CANNOT_OPEN;
    }
}

}  // namespace dsclient
