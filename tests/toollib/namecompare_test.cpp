#include "toollib/namecompare.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <unordered_map>

TEST(NameCompare, FoldsOnlyTheLettersAToZ) {
    EXPECT_EQ(compareNames("Alias", "ALIAS"), 0);
    EXPECT_TRUE(namesEqual("cn", "CN"));
    // Bytes beyond ASCII are not folded by any locale.
    EXPECT_FALSE(namesEqual("\xe9", "\xc9"));
    EXPECT_EQ(foldName('{'), '{');
    EXPECT_EQ(foldName('`'), '`');
}

TEST(NameCompare, ComparesFoldedBytesAsUnsigned) {
    // The underscore (0x5F) sorts after every upper-case letter, even against
    // a lower-case one, because the letter is folded first.
    EXPECT_GT(compareNames("A_B", "AB"), 0);
    EXPECT_GT(compareNames("a_b", "ab"), 0);
    EXPECT_LT(compareNames("Z", "_"), 0);
    // A byte above 0x7F is greater than any ASCII byte.
    EXPECT_GT(compareNames("\x80", "z"), 0);
}

TEST(NameCompare, PrefixSortsFirst) {
    EXPECT_LT(compareNames("Organization", "Organizational Unit"), 0);
    EXPECT_GT(compareNames("ab", "A"), 0);
    EXPECT_LT(compareNames("", "a"), 0);
    EXPECT_EQ(compareNames("", ""), 0);
}

TEST(NameCompare, EmbeddedNulIsAnOrdinaryByte) {
    const std::string a("a\0b", 3);
    const std::string b("a\0c", 3);
    EXPECT_LT(compareNames(a, b), 0);
    EXPECT_FALSE(namesEqual(a, "a"));
}

TEST(NameCompare, ContainsFindsThePartAnywhere) {
    EXPECT_TRUE(containsName("my.lstfile", ".LST"));
    EXPECT_TRUE(containsName("X.REF.LST", ".lst"));
    EXPECT_TRUE(containsName(".ref", ".REF"));
    EXPECT_FALSE(containsName(".re", ".ref"));
    EXPECT_FALSE(containsName("411ref", ".ref"));
}

TEST(NameCompare, HashAgreesWithTheComparison) {
    const NameHash hash;
    EXPECT_EQ(hash("telephoneNumber"), hash("TELEPHONENUMBER"));
    EXPECT_NE(hash("cn"), hash("sn"));
    EXPECT_NE(hash("\xe9"), hash("\xc9"));
    // A table keyed by names finds a key whatever its case, by a view too.
    std::unordered_map<std::string, int, NameHash, NameEqual> table{{"uid", 1}};
    EXPECT_EQ(table.count(std::string_view("UID")), 1U);
    EXPECT_EQ(table.count(std::string_view("uids")), 0U);
}
