// The program on the schema files that Debian's directory server package
// installs, tried as an administrator would.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/runprogram.h"
#include "support/tempdir.h"

namespace fs = std::filesystem;

namespace {

const fs::path debianSchemas = "/etc/ldap/schema";

std::string fileSource(const std::string& name) {
    return "file:" + (debianSchemas / name).string();
}

// The names listed after `indent` between `header` and the next empty line
// of a listing (names at the start of a line) or of a report's sections of
// unique names (names after one tab).
std::set<std::string> namesUnder(const std::string& text, const std::string& header,
                                 const std::string& indent = "") {
    std::set<std::string> names;
    const std::size_t at = text.find("\n" + header + "\n");
    if (at == std::string::npos) {
        return names;
    }
    std::istringstream lines(text.substr(at + header.size() + 2));
    for (std::string line; std::getline(lines, line) && !line.empty();) {
        if (line.compare(0, indent.size(), indent) == 0 && line[indent.size()] != '\t') {
            names.insert(line.substr(indent.size()));
        }
    }
    return names;
}

TEST(LocalSchemaFiles, EveryDebianSchemaFileListsLikeItsLdifTwin) {
    ASSERT_TRUE(fs::is_directory(debianSchemas)) << "the slapd package is not installed";
    ScopedTempDir work;
    std::vector<std::string> schemaFiles;
    for (const auto& entry : fs::directory_iterator(debianSchemas)) {
        if (entry.path().extension() == ".schema") {
            schemaFiles.push_back(entry.path().stem().string());
        }
    }
    std::sort(schemaFiles.begin(), schemaFiles.end());
    ASSERT_GE(schemaFiles.size(), 10u);
    for (const std::string& stem : schemaFiles) {
        SCOPED_TRACE(stem);
        const RunResult schema = runProgram(work.path(), {fileSource(stem + ".schema")});
        const RunResult ldif = runProgram(work.path(), {fileSource(stem + ".ldif")});
        EXPECT_EQ(schema.status, 0);
        EXPECT_EQ(ldif.status, 0);
        EXPECT_NE(schema.out.find("Definitions\n"), std::string::npos) << schema.out;
        EXPECT_EQ(schema.out, ldif.out);
        // Nothing but progress on standard error: every line ends in a
        // carriage return, none in a line end.
        EXPECT_EQ(schema.err.find('\n'), std::string::npos) << schema.err;
        EXPECT_EQ(ldif.err.find('\n'), std::string::npos) << ldif.err;
    }
}

TEST(LocalSchemaFiles, ASecondFileWithMoreSchemasListsExactlyTheAdditionsAsUnique) {
    ScopedTempDir work;
    std::string core, additions;
    for (const char* name : {"core", "cosine", "inetorgperson"}) {
        const std::string text = readFile(debianSchemas / (std::string(name) + ".schema"));
        (std::string(name) == "core" ? core : additions) += text;
    }
    work.write("site.schema", core + additions);
    work.write("additions.schema", additions);

    const RunResult report = runProgram(work.path(), {fileSource("core.schema"), "site.schema"});
    EXPECT_EQ(report.status, 1);
    const RunResult added = runProgram(work.path(), {"additions.schema"});
    ASSERT_EQ(added.status, 0);
    const std::set<std::string> addedClasses = namesUnder(added.out, "Class Definitions");
    const std::set<std::string> addedAttrs = namesUnder(added.out, "Attribute Definitions");
    EXPECT_EQ(namesUnder(report.out, "Classes unique to SITE.SCHEMA", "\t"), addedClasses);
    EXPECT_EQ(namesUnder(report.out, "Attributes unique to SITE.SCHEMA", "\t"), addedAttrs);
    EXPECT_EQ(addedClasses.count("inetOrgPerson"), 1u);
    EXPECT_EQ(addedAttrs.count("displayName"), 1u);
    std::string coreShown = fileSource("core.schema");
    std::transform(coreShown.begin(), coreShown.end(), coreShown.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    EXPECT_NE(report.out.find("Classes unique to " + coreShown + "\n\tNONE\n"), std::string::npos)
        << report.out;
}

// Every listing is a reference file: saved and compared with its source, for
// each Debian schema file and the whole folder, it reports nothing, though
// schema files hold no syntaxes and some hold no classes (a listing of
// nothing at all is the single line "\tNONE", which names no section).
TEST(LocalSchemaFiles, EveryListingSavedAsAReferenceFileComparesEqualToItsSource) {
    ScopedTempDir work;
    std::vector<std::string> sources{"file:" + debianSchemas.string() + "/"};
    for (const auto& entry : fs::directory_iterator(debianSchemas)) {
        if (entry.path().extension() == ".schema") {
            sources.push_back("file:" + entry.path().string());
        }
    }
    ASSERT_GE(sources.size(), 10u);
    for (const std::string& source : sources) {
        for (const std::vector<std::string>& switches :
             {std::vector<std::string>{}, std::vector<std::string>{"/C", "/S"}}) {
            SCOPED_TRACE(source + (switches.empty() ? "" : " /C /S"));
            std::vector<std::string> args{source};
            args.insert(args.end(), switches.begin(), switches.end());
            const RunResult saved = runProgram(work.path(), args);
            ASSERT_EQ(saved.status, 0) << saved.err;
            if (saved.out == "\tNONE\n") {
                continue;  // nothing of the selected kinds: no section to read back
            }
            work.write("saved.ref", saved.out);
            args.insert(args.begin(), "saved.ref");
            const RunResult compared = runProgram(work.path(), args);
            EXPECT_EQ(compared.status, 0) << compared.out << compared.err;
            EXPECT_EQ(compared.out.find("\t\t"), std::string::npos) << compared.out;
        }
    }
}

// Names that meant a local file or folder but are read as something else,
// and a folder that holds nothing to read: each says so on standard error.
TEST(LocalSchemaFiles, NamesThatMissTheirFilesSayWhy) {
    ScopedTempDir work;
    fs::create_directory(work.path() / "schemas.invalid");
    fs::create_directory(work.path() / "docs");
    work.write("schemas.invalid/core.schema", readFile(debianSchemas / "core.schema"));
    work.write("docs/readme.txt", "no schema here\n");
    const std::string hint = " (a local schema file or folder is named file:";
    struct Case {
        std::string name;
        std::string out;   // the whole of standard output
        std::string note;  // a line of standard error
    };
    const std::vector<Case> cases{
        // A host name that does not resolve, and a folder of that name.
        {"schemas.invalid",
         "Could not attach to server SCHEMAS.INVALID.  QXCCOpenConnByName returned "
         "-315:fffffec5\n",
         hint + "schemas.invalid)"},
        {"./schemas.invalid",
         "Could not attach to server ./SCHEMAS.INVALID.  QXCCOpenConnByName returned "
         "-301:fffffed3\n",
         "./schemas.invalid: not a host name, URL or schema file name" + hint +
             "./schemas.invalid)"},
        {"../missing/x",
         "Could not attach to server ../MISSING/X.  QXCCOpenConnByName returned -301:fffffed3\n",
         "../missing/x: not a host name, URL or schema file name  "},
        {"file:docs", "\tNONE\n", "file:docs: the folder holds no .schema or .ldif file  "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RunResult run = runProgram(work.path(), {c.name, "/C"});
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.status, c.out.find("Could not") == 0 ? 1 : 0);
        EXPECT_NE(run.err.find(c.note), std::string::npos) << run.err;
    }
}

}  // namespace
