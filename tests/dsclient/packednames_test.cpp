#include "dsclient/packednames.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using dsclient::PackedNames;
using Names = std::vector<std::string>;

PackedNames packed(const Names& names) {
    PackedNames list;
    for (const std::string& name : names) {
        list.push_back(name);
    }
    return list;
}

TEST(PackedNames, HandsBackEachNameAsAdded) {
    const std::vector<Names> cases = {
        {},
        {""},
        {"top"},
        {"", "a", ""},
        {std::string(70000, 'x'), "benchAttribute12345", std::string(1, '\0') + "after nul"},
    };
    for (const Names& names : cases) {
        const PackedNames list = packed(names);
        EXPECT_EQ(list.size(), names.size());
        EXPECT_EQ(list.empty(), names.empty());
        EXPECT_EQ(list.names(), names);
        EXPECT_EQ(PackedNames(names), list);
        Names walked;
        for (const std::string_view name : list) {
            walked.emplace_back(name);
        }
        EXPECT_EQ(walked, names);
    }
}

TEST(PackedNames, ListsDifferWhereTheirNamesDoNotJoinTheSame) {
    // The same bytes split differently are different lists.
    EXPECT_NE(packed({"ab", "c"}), packed({"a", "bc"}));
    EXPECT_NE(packed({"abc"}), packed({"abc", ""}));
    EXPECT_EQ(packed({"a", "bc"}), (PackedNames{"a", "bc"}));

    PackedNames list{"one", "two"};
    list.assign(3, "attribute");
    EXPECT_EQ(list.names(), (Names{"attribute", "attribute", "attribute"}));
    list.release();
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list, PackedNames());
    list.push_back("again");
    EXPECT_EQ(list.names(), Names{"again"});
}

}  // namespace
