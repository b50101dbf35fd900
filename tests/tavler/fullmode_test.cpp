// Full mode end to end: Debian's schema files against their LDIF twins,
// snapshots that read back as their sources, and live servers against the
// files they were loaded from and against each other.

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/runprogram.h"
#include "support/slapdserver.h"
#include "support/tempdir.h"

namespace fs = std::filesystem;

namespace {

const fs::path debianSchemas = "/etc/ldap/schema";

std::string fileSource(const std::string& name) {
    return "file:" + (debianSchemas / name).string();
}

// A difference as (kind, name, change or field, severity).
using Found = std::tuple<std::string, std::string, std::string, std::string>;

std::set<Found> differencesOf(const std::string& json) {
    std::set<Found> found;
    const nlohmann::json document = nlohmann::json::parse(json);
    for (const auto& d : document.at("differences")) {
        const std::string change = d.at("change");
        found.emplace(d.at("kind"), d.at("name"),
                      change == "changed" ? d.at("field").get<std::string>() : change,
                      d.at("severity"));
    }
    return found;
}

class FullMode : public testing::Test {
  protected:
    RunResult run(const std::vector<std::string>& args) {
        RunOptions options{
            {},
            {"LDAPCONF=" + (work.path() / "ldap.conf").string(), "HOME=" + work.path().string()}};
        return runProgram(work.path(), args, {}, nullptr, options);
    }
    void SetUp() override { work.write("ldap.conf", ""); }

    // The source's full listing saved as snap.ldif lists to the same bytes
    // and compares equal with its source.
    void expectSnapshotReadsBack(const std::string& source) {
        SCOPED_TRACE(source);
        const RunResult listing = run({"--full", source});
        ASSERT_EQ(listing.status, 0) << listing.err;
        ASSERT_EQ(listing.out.rfind("dn: cn=Subschema\n", 0), 0u);
        work.write("snap.ldif", listing.out);
        const RunResult again = run({"--full", "snap.ldif"});
        EXPECT_EQ(again.out, listing.out);
        const RunResult compared = run({"--full", source, "snap.ldif"});
        EXPECT_EQ(compared.status, 0) << compared.out;
        EXPECT_EQ(run({"--full", "--strict", "snap.ldif", source}).status, 0);
    }

    ScopedTempDir work;
};

TEST_F(FullMode, DebianSchemaFilesCompareEqualToTheirLdifTwinsAndSaveAsSnapshots) {
    ASSERT_TRUE(fs::is_directory(debianSchemas)) << "the slapd package is not installed";
    std::vector<std::string> stems;
    for (const auto& entry : fs::directory_iterator(debianSchemas)) {
        if (entry.path().extension() == ".schema" &&
            fs::exists(fs::path(entry.path()).replace_extension(".ldif"))) {
            stems.push_back(entry.path().stem().string());
        }
    }
    std::sort(stems.begin(), stems.end());
    ASSERT_GE(stems.size(), 15u);
    for (const std::string& stem : stems) {
        SCOPED_TRACE(stem);
        const RunResult pair =
            run({"--full", fileSource(stem + ".schema"), fileSource(stem + ".ldif")});
        EXPECT_EQ(pair.status, 0) << pair.out << pair.err;
        EXPECT_NE(pair.out.find("\nno differences\n"), std::string::npos) << pair.out;
    }
    expectSnapshotReadsBack(fileSource("inetorgperson.ldif"));
    expectSnapshotReadsBack(fileSource("nis.schema"));
    expectSnapshotReadsBack("file:" + debianSchemas.string());
}

TEST_F(FullMode, LiveServersAgainstTheirFilesAndAgainstEachOther) {
    const std::string site =
        "attributetype ( 1.3.6.1.4.1.99999.2.1 NAME 'siteCode' EQUALITY integerMatch "
        "ORDERING integerOrderingMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.27 SINGLE-VALUE )\n"
        "objectclass ( 1.3.6.1.4.1.99999.3.1 NAME 'siteObject' SUP top AUXILIARY "
        "MUST siteCode )\n";
    const std::string integer =
        "EQUALITY integerMatch ORDERING integerOrderingMatch SYNTAX "
        "1.3.6.1.4.1.1466.115.121.1.27";
    std::string changed = site;
    changed.replace(changed.find(integer), integer.size(),
                    "EQUALITY caseIgnoreMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.15");
    changed +=
        "attributetype ( 1.3.6.1.4.1.99999.2.2 NAME 'siteName' "
        "SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )\n";
    SlapdOptions before;
    before.schemas = {"core", "cosine"};
    before.extraSchemaText = {site};
    SlapdOptions after = before;
    after.extraSchemaText = {changed};
    SlapdServer a(before);
    SlapdServer b(after);
    ASSERT_TRUE(a.running()) << a.error();
    ASSERT_TRUE(b.running()) << b.error();

    // The files hold nothing the server lacks and nothing that differs; what
    // the server builds in itself is only in the server.
    work.write("loaded.schema", readFile(debianSchemas / "core.schema") +
                                    readFile(debianSchemas / "cosine.schema") + site);
    const RunResult files = run({"--json", "loaded.schema", a.ldapUrl()});
    ASSERT_NE(files.status, 2) << files.out << files.err;
    std::set<std::string> builtIn;
    for (const auto& [kind, name, change, severity] : differencesOf(files.out)) {
        EXPECT_EQ(change, "only-in-b") << kind << " " << name;
        builtIn.insert(name);
    }
    EXPECT_EQ(builtIn.count("olcGlobal"), 1u);
    EXPECT_EQ(builtIn.count("subschema"), 1u);

    const RunResult servers = run({"--json", a.ldapUrl(), b.ldapUrl()});
    EXPECT_EQ(servers.status, 1) << servers.err;
    // The server derives which matching rules apply to which attributes;
    // those follow the designed changes, whatever else they are.
    std::set<Found> designed;
    for (const Found& found : differencesOf(servers.out)) {
        if (std::get<0>(found) == "matchingRuleUse") {
            EXPECT_EQ(std::get<2>(found), "APPLIES");
        } else {
            designed.insert(found);
        }
    }
    EXPECT_EQ(designed, (std::set<Found>{
                            {"attributeTypes", "siteCode", "EQUALITY", "breaking"},
                            {"attributeTypes", "siteCode", "ORDERING", "breaking"},
                            {"attributeTypes", "siteCode", "SYNTAX", "breaking"},
                            {"attributeTypes", "siteName", "only-in-b", "compatible"},
                        }));
    EXPECT_EQ(run({"--full", a.ldapUrl(), a.ldapUrl()}).status, 0);
    expectSnapshotReadsBack(b.ldapUrl());
}

}  // namespace
