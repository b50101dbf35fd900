#include "dsclient/schemafiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "dsclient/conversion.h"
#include "dscontext/dsclient.h"
#include "support/tempdir.h"

namespace dsclient {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

Texts texts(const std::vector<Description>& descriptions) {
    Texts result;
    for (const Description& d : descriptions) {
        result.push_back(d.text);
    }
    return result;
}

Texts origins(const std::vector<Description>& descriptions) {
    Texts result;
    for (const Description& d : descriptions) {
        result.push_back(d.origin);
    }
    return result;
}

struct Read {
    std::int32_t code;
    std::string diagnostic;
    Descriptions out;
};

Read readOne(const ScopedTempDir& dir, const std::string& name, const std::string& content) {
    const std::string path = dir.write(name, content).string();
    Read read;
    read.code = readSchemaFiles(path, read.out, read.diagnostic);
    return read;
}

TEST(SchemaFiles, StatementsSplitAsTheServerSplitsThem) {
    struct Case {
        const char* what;
        std::string content;
        std::int32_t code;
        Texts attrs;
        Texts classes;
        Texts attrOrigins;
        std::string diagnostic;  // after the path
    };
    const std::vector<Case> cases = {
        {"continuations",
         "attributetype ( 1.1\n\tNAME 'a'\n  SUP b )\nobjectclass ( 2.1 )\n",
         0,
         {"( 1.1 \tNAME 'a'   SUP b )"},
         {"( 2.1 )"},
         {"f.schema:1"},
         ""},
        {"comments and empty lines between",
         "# head\n\nattributetype ( 1.1 )\n# x\n\nattributetype ( 1.2 )",
         0,
         {"( 1.1 )", "( 1.2 )"},
         {},
         {"f.schema:3", "f.schema:6"},
         ""},
        {"a comment ends a statement",
         "attributetype ( 1.1\n# inside\n\tNAME 'a' )\n",
         QXERR_CANNOT_PARSE,
         {},
         {},
         {},
         ":3: indented line continues no statement"},
        {"an empty line ends a statement",
         "attributetype ( 1.1\n\n NAME 'a' )\n",
         QXERR_CANNOT_PARSE,
         {},
         {},
         {},
         ":3: indented line continues no statement"},
        {"a line of blanks continues",
         "attributetype ( 1.1\n \t \n NAME 'a' )\n \n",
         0,
         {"( 1.1  \t   NAME 'a' )"},
         {},
         {"f.schema:1"},
         ""},
        {"crlf",
         "attributetype ( 1.1\r\n NAME 'a' )\r\n\r\nobjectclass ( 2.1 )\r\n",
         0,
         {"( 1.1  NAME 'a' )"},
         {"( 2.1 )"},
         {"f.schema:1"},
         ""},
        {"keywords in any case",
         "AttributeType ( 1.1 )\nattributeype ( 1.2 )\nOBJECTCLASS ( 2.1 )\n",
         0,
         {"( 1.1 )", "( 1.2 )"},
         {"( 2.1 )"},
         {"f.schema:1", "f.schema:2"},
         ""},
        {"unknown keyword",
         "attributetype ( 1.1 )\nobjectclasses ( 2.1 )\n",
         QXERR_CANNOT_PARSE,
         {},
         {},
         {},
         ":2: unknown keyword 'objectclasses'"},
        {"content rules ignored",
         "ditcontentrule ( 2.1\n AUX x )\nattributetype ( 1.1 )\n",
         0,
         {"( 1.1 )"},
         {},
         {"f.schema:3"},
         ""},
        {"indented first line",
         " attributetype ( 1.1 )\n",
         QXERR_CANNOT_PARSE,
         {},
         {},
         {},
         ":1: indented line continues no statement"},
        {"bad objectidentifier",
         "objectidentifier onlyName\n",
         QXERR_CANNOT_PARSE,
         {},
         {},
         {},
         ":1: objectidentifier needs a name and an OID"},
    };
    ScopedTempDir dir;
    for (const Case& c : cases) {
        const Read read = readOne(dir, "f.schema", c.content);
        EXPECT_EQ(read.code, c.code) << c.what << ": " << read.diagnostic;
        if (c.code != 0) {
            EXPECT_EQ(read.diagnostic, (dir.path() / "f.schema").string() + c.diagnostic) << c.what;
            continue;
        }
        EXPECT_EQ(texts(read.out.attributeTypes), c.attrs) << c.what;
        EXPECT_EQ(texts(read.out.objectClasses), c.classes) << c.what;
        Texts expectedOrigins;
        for (const std::string& origin : c.attrOrigins) {
            expectedOrigins.push_back((dir.path() / origin).string());
        }
        EXPECT_EQ(origins(read.out.attributeTypes), expectedOrigins) << c.what;
    }
}

TEST(SchemaFiles, MacrosAndSyntaxStatements) {
    ScopedTempDir dir;
    const Read read = readOne(dir, "m.SCHEMA",
                              "objectidentifier Root 1.2\nObjectIdentifier\tSub Root:3\n"
                              "ldapsyntax ( 1.2.3 DESC 'x' )\n");
    ASSERT_EQ(read.code, 0) << read.diagnostic;
    const std::vector<std::pair<std::string, std::string>> macros = {{"Root", "1.2"},
                                                                     {"Sub", "Root:3"}};
    EXPECT_EQ(read.out.oidMacros, macros);
    EXPECT_EQ(texts(read.out.ldapSyntaxes), (Texts{"( 1.2.3 DESC 'x' )"}));
}

TEST(SchemaFiles, LdifValuesOfBothFamilies) {
    const std::string ldif =
        "# comment\n"
        "version: 1\n"
        "\n"
        "dn: cn=schema\n"
        "objectClass: subschema\n"
        "objectclasses: ( 2.1 NAME 'fol\n"
        " ded' )\n"
        "# between values\n"
        "attributeTypes;binary:: KCAxLjEgTkFNRSAnYicgKQ==\n"
        "LDAPSYNTAXES: ( 1.2.3 )\n"
        "nameForms: ( 3.1 NAME 'f' OC a MUST cn )\n"
        "dITStructureRules: ( 1 FORM f )\n"
        "attributeTypes: {0}( 1.9 )\n"
        "\r\n"
        "dn:: Y249Y29yZSxjbj1zY2hlbWEsY249Y29uZmln\r\n"
        "olcObjectIdentifier: {0}Root 1.2\n"
        "olcObjectIdentifier: Sub\tRoot:3\n"
        "olcAttributeTypes: {12}( Sub:1 NAME 'c' )\n"
        "olcObjectClasses: {0}( 2.2 NAME 'd' )\n"
        "olcLdapSyntaxes: {3}( 1.2.4 )\n"
        "olcObjectClasses: {x}( 2.3 )\n";
    ScopedTempDir dir;
    const Read read = readOne(dir, "s.LDIF", ldif);
    ASSERT_EQ(read.code, 0) << read.diagnostic;
    const Descriptions& out = read.out;
    EXPECT_EQ(out.entries, (Texts{"cn=schema", "cn=core,cn=schema,cn=config"}));
    EXPECT_EQ(texts(out.objectClasses),
              (Texts{"( 2.1 NAME 'folded' )", "( 2.2 NAME 'd' )", "{x}( 2.3 )"}));
    EXPECT_EQ(texts(out.attributeTypes),
              (Texts{"( 1.1 NAME 'b' )", "{0}( 1.9 )", "( Sub:1 NAME 'c' )"}));
    EXPECT_EQ(texts(out.ldapSyntaxes), (Texts{"( 1.2.3 )", "( 1.2.4 )"}));
    EXPECT_EQ(texts(out.nameForms), (Texts{"( 3.1 NAME 'f' OC a MUST cn )"}));
    EXPECT_EQ(texts(out.structureRules), (Texts{"( 1 FORM f )"}));
    const std::vector<std::pair<std::string, std::string>> macros = {{"Root", "1.2"},
                                                                     {"Sub", "Root:3"}};
    EXPECT_EQ(out.oidMacros, macros);
    const std::string file = (dir.path() / "s.LDIF").string();
    EXPECT_EQ(origins(out.objectClasses), (Texts{file + ":6", file + ":19", file + ":21"}));
    EXPECT_EQ(origins(out.attributeTypes), (Texts{file + ":9", file + ":13", file + ":18"}));

    // A "{n}" prefix on the standard forms is part of the value and does not parse.
    const SchemaContent content = convertDescriptions(out);
    EXPECT_EQ(content.attrs.code, QXERR_CANNOT_PARSE);
    EXPECT_EQ(content.attrs.diagnostic.rfind(file + ":13: ", 0), 0u) << content.attrs.diagnostic;
    EXPECT_EQ(content.classes.diagnostic.rfind(file + ":21: ", 0), 0u)
        << content.classes.diagnostic;
    EXPECT_EQ(content.syntaxes.code, 0);
}

// A record of nothing but an index line holds nothing: the values of the
// record before are not taken again, nor is the file refused.
TEST(SchemaFiles, LdifRecordOfAnIndexLineAloneHoldsNothing) {
    ScopedTempDir dir;
    const Read read = readOne(dir, "i.ldif",
                              "dn: cn=schema\nattributeTypes: ( 1.1 NAME 'x' )\n\n5\n\n"
                              "dn: cn=more\nattributeTypes: ( 1.2 )\n");
    ASSERT_EQ(read.code, 0) << read.diagnostic;
    EXPECT_EQ(texts(read.out.attributeTypes), (Texts{"( 1.1 NAME 'x' )", "( 1.2 )"}));
    EXPECT_EQ(origins(read.out.attributeTypes), (Texts{(dir.path() / "i.ldif").string() + ":2",
                                                       (dir.path() / "i.ldif").string() + ":7"}));
    EXPECT_EQ(read.out.entries, (Texts{"cn=schema", "cn=more"}));
}

// The kinds only the whole-schema comparison reads: content rules of schema
// statements, and matching rules, rule uses and content rules of LDIF in
// both families, with the origins of everything, macros included.
TEST(SchemaFiles, WholeSchemaKindsOfStatementsAndLdif) {
    ScopedTempDir dir;
    const Read statements = readOne(dir, "w.schema",
                                    "objectidentifier Site 1.9\n"
                                    "DITContentRule ( Site:1\n  AUX x )\n"
                                    "ditcontentrule ( 2.2 NOT cn )\n");
    ASSERT_EQ(statements.code, 0) << statements.diagnostic;
    const std::string schema = (dir.path() / "w.schema").string();
    EXPECT_EQ(texts(statements.out.contentRules), (Texts{"( Site:1   AUX x )", "( 2.2 NOT cn )"}));
    EXPECT_EQ(origins(statements.out.contentRules), (Texts{schema + ":2", schema + ":4"}));
    EXPECT_EQ(statements.out.oidMacroOrigins, Texts{schema + ":1"});

    const Read ldif = readOne(dir, "w.ldif",
                              "dn: cn=subschema\n"
                              "matchingRules: ( 2.5.13.2 NAME 'caseIgnoreMatch' SYNTAX 1.2 )\n"
                              "MATCHINGRULEUSE;binary: ( 2.5.13.2 APPLIES cn )\n"
                              "dITContentRules: {0}( 2.3 )\n"
                              "\n"
                              "dn: cn=site,cn=schema,cn=config\n"
                              "olcObjectIdentifier: {0}Site 1.9\n"
                              "olcDitContentRules: {0}( 2.4 AUX y )\n"
                              "olcDITContentRules: {1}( 2.5 )\n");
    ASSERT_EQ(ldif.code, 0) << ldif.diagnostic;
    const std::string file = (dir.path() / "w.ldif").string();
    EXPECT_EQ(texts(ldif.out.matchingRules),
              Texts{"( 2.5.13.2 NAME 'caseIgnoreMatch' SYNTAX 1.2 )"});
    EXPECT_EQ(origins(ldif.out.matchingRules), Texts{file + ":2"});
    EXPECT_EQ(texts(ldif.out.matchingRuleUse), Texts{"( 2.5.13.2 APPLIES cn )"});
    EXPECT_EQ(origins(ldif.out.matchingRuleUse), Texts{file + ":3"});
    // The order prefix belongs to the server's own form only.
    EXPECT_EQ(texts(ldif.out.contentRules), (Texts{"{0}( 2.3 )", "( 2.4 AUX y )", "( 2.5 )"}));
    EXPECT_EQ(origins(ldif.out.contentRules), (Texts{file + ":4", file + ":8", file + ":9"}));
    EXPECT_EQ(ldif.out.oidMacroOrigins, Texts{file + ":7"});
    // None of them reaches the listing's kinds.
    EXPECT_TRUE(ldif.out.objectClasses.empty());
    EXPECT_TRUE(ldif.out.attributeTypes.empty());
    EXPECT_TRUE(ldif.out.ldapSyntaxes.empty());
}

TEST(SchemaFiles, LdifFaultsFailTheOpen) {
    struct Case {
        const char* what;
        std::string content;
        std::string diagnostic;  // after the path
    };
    const std::vector<Case> cases = {
        {"url value", "dn: cn=x\nattributeTypes:< file:///etc/passwd\n",
         ":2: values given by URL are refused"},
        {"url value after folding", "dn: cn=x\nattributeTypes:\n < file:///etc/passwd\n",
         ":2: values given by URL are refused"},
        {"bad base64", "dn: cn=x\nobjectClasses:: !!!!\n", ":2: bad base64 value"},
        {"base64 of a wrong length", "dn: cn=x\nobjectClasses:: KCAx=\n", ":2: bad base64 value"},
        {"padding inside base64", "dn: cn=x\nobjectClasses:: KC=AxLjEgKQ==\n",
         ":2: bad base64 value"},
        {"no colon", "dn: cn=x\n\ndn: cn=y\nthis is no ldif\n", ":4: not an LDIF line"},
        {"include", "include: file:///etc/ldap/schema/core.ldif\n\ndn: cn=x\n",
         ":1: include lines are refused"},
        {"records apart by CRLF", "dn: cn=x\r\n\r\ndn: cn=y\r\nthis is no ldif\r\n",
         ":4: not an LDIF line"},
        // The file is read in pieces of 64 KiB: a line that spans two is one line.
        {"include across pieces",
         "dn: cn=x\ndescription: " + std::string(65536 - 9 - 13 - 2 - 4, 'a') +
             "\n\nInClUdE: file:///etc/ldap/schema/core.ldif\n",
         ":4: include lines are refused"},
        {"a long line after an empty one",
         "dn: cn=x\ndescription: " + std::string(70000, 'a') + "\n\nnot ldif\n",
         ":4: not an LDIF line"},
        // libldap's record reader would read past the NUL into what it never wrote.
        {"a NUL byte", std::string("dn: cn=x\n\ndn: cn=y\nobjectClasses: ( 2.1\0 )\n", 43),
         ":4: NUL bytes are refused"},
    };
    ScopedTempDir dir;
    for (const Case& c : cases) {
        const Read read = readOne(dir, "bad.ldif", c.content);
        EXPECT_EQ(read.code, QXERR_CANNOT_PARSE) << c.what;
        EXPECT_EQ(read.diagnostic, (dir.path() / "bad.ldif").string() + c.diagnostic) << c.what;
    }
}

TEST(SchemaFiles, FolderReadsItsSchemaFilesInNameOrder) {
    ScopedTempDir dir;
    const fs::path folder = dir.path() / "cn=schema";
    fs::create_directory(folder);
    dir.write("cn=schema/b.schema", "attributetype ( 1.2 )\n");
    dir.write("cn=schema/a.LDIF", "dn: cn=a\nolcAttributeTypes: {0}( 1.1 )\n");
    dir.write("cn=schema/C.Schema", "attributetype ( 1.0 )\n");
    dir.write("cn=schema/notes.txt", "attributetype ( 9.9 )\n");
    dir.write("outside.schema", "attributetype ( 1.3 )\n");
    fs::create_symlink(dir.path() / "outside.schema", folder / "d.schema");
    fs::create_symlink(dir.path() / "missing.schema", folder / "e.schema");
    fs::create_directory(folder / "sub.schema");
    dir.write("cn=schema/sub.schema/x.schema", "attributetype ( 9.8 )\n");

    Descriptions out;
    std::string diagnostic;
    ASSERT_EQ(readSchemaFiles(folder.string(), out, diagnostic), 0) << diagnostic;
    EXPECT_EQ(texts(out.attributeTypes), (Texts{"( 1.0 )", "( 1.1 )", "( 1.2 )", "( 1.3 )"}));
    EXPECT_EQ(out.attributeTypes[1].origin, folder.string() + "/a.LDIF:2");
    EXPECT_EQ(out.entries, (Texts{"cn=a"}));

    const fs::path empty = dir.path() / "empty";
    fs::create_directory(empty);
    Descriptions none;
    EXPECT_EQ(readSchemaFiles(empty.string() + "/", none, diagnostic), 0);
    EXPECT_TRUE(none.attributeTypes.empty());

    // A fault of one file fails the whole folder.
    dir.write("cn=schema/f.schema", "bogus ( 1 )\n");
    Descriptions faulty;
    EXPECT_EQ(readSchemaFiles(folder.string(), faulty, diagnostic), QXERR_CANNOT_PARSE);
    EXPECT_EQ(diagnostic, folder.string() + "/f.schema:1: unknown keyword 'bogus'");
}

TEST(SchemaFiles, FolderPassesOverTheLdifTwinOfASchemaFile) {
    ScopedTempDir dir;
    const fs::path folder = dir.path() / "both";
    fs::create_directory(folder);
    const std::string ldif = "dn: cn=x\nolcAttributeTypes: {0}( 2.";
    dir.write("both/core.schema", "attributetype ( 1.1 )\n");
    dir.write("both/core.ldif", ldif + "1 )\n");
    dir.write("both/Site.SCHEMA", "attributetype ( 1.2 )\n");
    dir.write("both/site.ldif", ldif + "2 )\n");
    dir.write("both/only.ldif", ldif + "3 )\n");
    dir.write("both/core.ldif.schema", "attributetype ( 1.4 )\n");
    dir.write("both/score.ldif", ldif + "5 )\n");

    Descriptions out;
    std::string diagnostic;
    ASSERT_EQ(readSchemaFiles(folder.string(), out, diagnostic), 0) << diagnostic;
    EXPECT_EQ(texts(out.attributeTypes),
              (Texts{"( 1.2 )", "( 1.4 )", "( 1.1 )", "( 2.3 )", "( 2.5 )"}));

    // Named on its own, the twin is read.
    Descriptions alone;
    ASSERT_EQ(readSchemaFiles((folder / "core.ldif").string(), alone, diagnostic), 0);
    EXPECT_EQ(texts(alone.attributeTypes), (Texts{"( 2.1 )"}));
}

TEST(SchemaFiles, MissingOrUnreadableSourcesCannotOpen) {
    ScopedTempDir dir;
    const std::string plain = dir.write("plain.schema", "x").string();
    std::vector<std::string> paths = {
        (dir.path() / "missing.schema").string(),
        (dir.path() / "missing.ldif").string(),
        (dir.path() / "missing" / "folder").string(),
        plain + "/inside.ldif",
        "/dev/null",
    };
    std::string locked;
    if (geteuid() != 0) {  // root reads whatever the mode says
        locked = dir.write("locked.schema", "attributetype ( 1.1 )\n").string();
        chmod(locked.c_str(), 0);
        paths.push_back(locked);
        const std::string lockedLdif = dir.write("locked.ldif", "dn: cn=x\n").string();
        chmod(lockedLdif.c_str(), 0);
        paths.push_back(lockedLdif);
        const fs::path lockedFolder = dir.path() / "locked";
        fs::create_directory(lockedFolder);
        chmod(lockedFolder.c_str(), 0);
        paths.push_back(lockedFolder.string());
    }
    for (const std::string& path : paths) {
        Descriptions out;
        std::string diagnostic;
        EXPECT_EQ(readSchemaFiles(path, out, diagnostic), QXERR_CANNOT_OPEN) << path;
        EXPECT_EQ(diagnostic.rfind("cannot open " + path + ": ", 0), 0u) << diagnostic;
    }
    chmod((dir.path() / "locked").c_str(), 0700);
}

// Debian's schema files, as slapd installs them.
constexpr const char* kDebianSchemas = "/etc/ldap/schema";

SchemaContent readAndConvert(const fs::path& path, std::string& diagnostic) {
    Descriptions descriptions;
    const std::int32_t code = readSchemaFiles(path.string(), descriptions, diagnostic);
    EXPECT_EQ(code, 0) << diagnostic;
    return convertDescriptions(descriptions);
}

TEST(SchemaFiles, DebianSchemasReadAndTwinsAgree) {
    if (!fs::is_directory(kDebianSchemas)) {
        GTEST_SKIP() << "slapd's schema files are not installed";
    }
    std::vector<fs::path> schemas;
    for (const auto& entry : fs::directory_iterator(kDebianSchemas)) {
        if (entry.path().extension() == ".schema") {
            schemas.push_back(entry.path());
        }
    }
    std::sort(schemas.begin(), schemas.end());
    ASSERT_FALSE(schemas.empty());
    for (const fs::path& schema : schemas) {
        fs::path ldif = schema;
        ldif.replace_extension(".ldif");
        std::string diagnostic;
        const SchemaContent a = readAndConvert(schema, diagnostic);
        const SchemaContent b = readAndConvert(ldif, diagnostic);
        for (const SchemaContent* content : {&a, &b}) {
            EXPECT_EQ(content->classes.code, 0) << content->classes.diagnostic;
            EXPECT_EQ(content->attrs.code, 0) << content->attrs.diagnostic;
            EXPECT_EQ(content->syntaxes.code, 0) << content->syntaxes.diagnostic;
        }
        EXPECT_FALSE(a.classes.definitions.empty() && a.attrs.definitions.empty()) << schema;
        ASSERT_EQ(a.classes.definitions.size(), b.classes.definitions.size()) << schema;
        for (std::size_t i = 0; i < a.classes.definitions.size(); ++i) {
            const ClassDefinition& x = a.classes.definitions[i];
            const ClassDefinition& y = b.classes.definitions[i];
            EXPECT_EQ(x.name, y.name) << schema;
            EXPECT_EQ(x.flags, y.flags) << schema << " " << x.name;
            EXPECT_EQ(x.lists, y.lists) << schema << " " << x.name;
        }
        ASSERT_EQ(a.attrs.definitions.size(), b.attrs.definitions.size()) << schema;
        for (std::size_t i = 0; i < a.attrs.definitions.size(); ++i) {
            const AttrDefinition& x = a.attrs.definitions[i];
            const AttrDefinition& y = b.attrs.definitions[i];
            EXPECT_EQ(x.name, y.name) << schema;
            EXPECT_EQ(x.flags, y.flags) << schema << " " << x.name;
            EXPECT_EQ(x.syntaxId, y.syntaxId) << schema << " " << x.name;
        }
        ASSERT_EQ(a.syntaxes.definitions.size(), b.syntaxes.definitions.size()) << schema;
        for (std::size_t i = 0; i < a.syntaxes.definitions.size(); ++i) {
            EXPECT_EQ(a.syntaxes.definitions[i].name, b.syntaxes.definitions[i].name) << schema;
            EXPECT_EQ(a.syntaxes.definitions[i].flags, b.syntaxes.definitions[i].flags) << schema;
        }
    }
    // The whole folder is one source too, each schema read once.
    std::string diagnostic;
    const SchemaContent all = readAndConvert(kDebianSchemas, diagnostic);
    EXPECT_EQ(all.classes.code, 0) << all.classes.diagnostic;
    EXPECT_EQ(all.attrs.code, 0) << all.attrs.diagnostic;
    std::set<std::string> attrNames;
    for (const AttrDefinition& attr : all.attrs.definitions) {
        EXPECT_TRUE(attrNames.insert(attr.name).second) << attr.name << " listed twice";
    }
    std::set<std::string> classNames;
    for (const ClassDefinition& cls : all.classes.definitions) {
        EXPECT_TRUE(classNames.insert(cls.name).second) << cls.name << " listed twice";
    }
}

}  // namespace
}  // namespace dsclient
