#include "dsclient/filesource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dscontext/dsclient.h"
#include "support/tempdir.h"

namespace dsclient {
namespace {

TEST(FileSource, NamesAndPaths) {
    struct Case {
        std::string name;
        bool isFile;
        std::string path;
    };
    const std::vector<Case> cases = {
        {"file:/etc/ldap/schema/core.schema", true, "/etc/ldap/schema/core.schema"},
        {"FILE:///etc/ldap/schema", true, "/etc/ldap/schema"},
        {"File://rel/x", true, "rel/x"},
        {"file:relative/Core.Schema", true, "relative/Core.Schema"},
        {"file:/a%20b.schema", true, "/a%20b.schema"},
        {"file:", true, ""},
        {"core.SCHEMA", true, "core.SCHEMA"},
        {"dir/site.Ldif", true, "dir/site.Ldif"},
        {"x.ref.schema", true, "x.ref.schema"},
        {"core.schema.bak", false, "core.schema.bak"},
        {"ldap://dir.example", false, "ldap://dir.example"},
        {"no such server", false, "no such server"},
        {"fil:/x", false, "fil:/x"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isFileSourceName(c.name), c.isFile) << c.name;
        EXPECT_EQ(fileSourcePath(c.name), c.path) << c.name;
    }
}

TEST(FileSource, OpenReadsAndFetchHandsOutTheContent) {
    ScopedTempDir dir;
    const std::string ldif = dir.write("Site.LDIF",
                                       "dn: cn=site\n"
                                       "olcAttributeTypes: {0}( 1.1 NAME 'a' SYNTAX "
                                       "1.3.6.1.4.1.1466.115.121.1.27 )\n"
                                       "olcObjectClasses: {0}( 2.1 NAME 'c' MAY A )\n"
                                       "olcObjectClasses: {1}( 2.2 NAME 'broken' NAME 'b' )\n")
                                 .string();
    FileSource source("file://" + ldif);
    EXPECT_EQ(source.serverName(), "file://" + ldif);
    SchemaContent content;
    std::string diagnostic;
    EXPECT_EQ(source.fetch(content, diagnostic), QXERR_CANNOT_OPEN);
    ASSERT_EQ(source.open(diagnostic), 0) << diagnostic;
    ASSERT_EQ(source.fetch(content, diagnostic), 0) << diagnostic;
    EXPECT_EQ(content.entries, std::vector<std::string>{"cn=site"});
    ASSERT_EQ(content.attrs.definitions.size(), 1u);
    EXPECT_EQ(content.attrs.definitions[0].syntaxId, 8u);
    EXPECT_EQ(content.classes.code, QXERR_CANNOT_PARSE);
    EXPECT_EQ(content.classes.diagnostic.rfind(ldif + ":4: object class does not parse: ", 0), 0u)
        << content.classes.diagnostic;

    FileSource missing("file:" + (dir.path() / "none.schema").string());
    EXPECT_EQ(missing.open(diagnostic), QXERR_CANNOT_OPEN);
    EXPECT_EQ(missing.fetch(content, diagnostic), QXERR_CANNOT_OPEN);
}

}  // namespace
}  // namespace dsclient
