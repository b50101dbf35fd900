#include "tavler/printhelp.h"

#include <unistd.h>

#include <array>
#include <iostream>
#include <span>
#include <string>
#include <string_view>

#include "toollib/terminaltext.h"

namespace {

// The screen's border, drawn with box-drawing characters in UTF-8.
constexpr const char* topLeft = "\u250C";
constexpr const char* topRight = "\u2510";
constexpr const char* ruleLeft = "\u251C";
constexpr const char* ruleRight = "\u2524";
constexpr const char* bottomLeft = "\u2514";
constexpr const char* bottomRight = "\u2518";
constexpr const char* horizontal = "\u2500";
constexpr const char* vertical = "\u2502";
constexpr int innerWidth = 77;

constexpr const char* version = "1.0   ";
// The program carries its version in a form that can be found in the binary.
[[maybe_unused]] constexpr const char* versionStamp = "VeRsIoN=1.0   ";

void rule(std::ostream& os, const char* left, const char* right) {
    os << left;
    for (int k = 0; k < innerWidth; ++k) {
        os << horizontal;
    }
    os << right;
}

void text(std::ostream& os, const char* inner) {
    os << vertical << inner << vertical << '\n';
}

constexpr std::array<const char*, 3> purpose{
    " Purpose: Compares the schema of two servers.                                ",
    "                                                                             ",
    " Syntax:  TAVLER    <schemaA> [<schemaB>] [/C | /A | /S]                     ",
};

constexpr std::array<const char*, 10> description{
    " Description:                                                                ",
    "   Displays the schema of <schemaA> or compares <schemaA> with <schemaB> and ",
    "   displays their differences.  <schemaA> and <schemaB> may be a server name,",
    "   a schema reference file(.ref), or a server list file(.lst).               ",
    "                                                                             ",
    " Options:                                                                    ",
    "   NO options       List or compare class, attribute and syntax definitions  ",
    "   /C               List or compare class definitions only.                  ",
    "   /A               List or compare attribute definitions.                   ",
    "   /S               List or compare syntax definitions.                      ",
};

constexpr std::array<const char*, 5> examples{
    " Examples:                                                                   ",
    "   TAVLER  serverA /C /A                                                     ",
    "   TAVLER  serverA serverB /S                                                ",
    "   TAVLER  411.ref serverB                                                   ",
    "   TAVLER  serverB servers.lst                                               ",
};

// What the boxed screen has no room for: the forms of a schema source, the
// options and the exit statuses.
constexpr const char* summary = R"(
Schema sources
  NAME.ref                  a schema reference file (a saved listing)
  NAME.lst                  a server list file: the run is repeated once for
                            each of its lines, the line in the list file's place
  file:PATH                 schema files on this machine: an LDIF file, a file of
                            schema statements, or a folder of .schema and .ldif
                            files (NAME.ldif beside NAME.schema is passed over)
  NAME.schema, NAME.ldif    the same, without file:
  ldap://HOST[:PORT]        a directory server over LDAP (a bare HOST[:PORT] too)
  ldaps://HOST[:PORT]       the same over TLS
  ldapi://SOCKET            a local server by its socket path, percent-encoded,
                            bound with SASL EXTERNAL
  ldap://HOST/????StartTLS  StartTLS before anything is read
  ldap://HOST/????bindname=DN
                            bind as DN, its commas written %2c; the password is
                            asked for on the terminal or read from standard input
  A word that begins with / is a switch: write an absolute path as file:/PATH.

Options
  -h, --help                this text
  --version                 the program's name and version
  --full                    every kind and field of an LDAP schema: one source
                            is listed as LDIF (a baseline to save), two are
                            compared with a severity for each difference
                            (/C, /A and /S still choose kinds; no .ref files)
  --json                    full mode, written as JSON
  --strict                  full mode also compares DESC, X- extensions and
                            the order of aliases (cosmetic differences)
  --summary                 after a run of a list file, one line per
                            comparison or listing it made and the totals
                            (with --json: one last JSON document)
  --jobs N                  a list run fetches up to N servers at once ahead
                            of the line being run (1 to 1024, default 16;
                            1: one at a time); the output stays the same
  --                        the words after it are arguments or switches

Exit status
  0  a schema listed, a comparison without differences, a list file worked
     through, or this text
  1  a comparison found differences, a schema could not be read, or standard
     output could not be written
  2  an unknown option, a --jobs without a number from 1 to 1024, or switches
     that select no kind
  3  a reference or list file could not be opened, or memory ran out
  With --full: 0 listed or no differences, 1 differences, 2 a source could
  not be read or an option is wrong, 3 memory ran out; a list run gives the
  highest status of its lines.
)";

}  // namespace

void writeUsageScreen(std::ostream& os) {
    rule(os, topLeft, topRight);
    os << '\n';
    os << vertical << " TAVLER                     General Usage Help                        ";
    os << version;
    os << ' ' << vertical << '\n';
    // Each block of text lines stands under a rule, and one more rule closes the last.
    const std::array<std::span<const char* const>, 3> blocks{purpose, description, examples};
    for (std::span<const char* const> block : blocks) {
        rule(os, ruleLeft, ruleRight);
        os << '\n';
        for (const char* line : block) {
            text(os, line);
        }
    }
    rule(os, ruleLeft, ruleRight);
    os << '\n';
    rule(os, bottomLeft, bottomRight);
}

void PrintHelp() {
    // Escape sequences only go to a terminal, so a redirected screen is plain text.
    if (isatty(STDOUT_FILENO) == 1) {
        // The program's own control sequence, past the filter that shows
        // the control bytes of names on a terminal.
        constexpr std::string_view clear = "\x1b[H\x1b[2J";
        rawBuffer(std::cout)->sputn(clear.data(), static_cast<std::streamsize>(clear.size()));
    }
    writeUsageScreen(std::cout);
    std::cout.flush();
}

void writeHelp(std::ostream& os) {
    writeUsageScreen(os);
    os << '\n' << summary;
}

void writeVersion(std::ostream& os) {
    os << "tavler " << TAVLER_VERSION << '\n';
}
