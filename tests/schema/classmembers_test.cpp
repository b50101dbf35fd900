// Class members are held in blocks while classes arrive out of order; a
// class whose members outgrow a block, before and after the classes leave
// their order, must keep every member, as adding them one at a time would.

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "schema/schema.h"
#include "support/listing.h"
#include "toollib/txtparse/textstreamparser.h"

TEST(ClassMembers, ClassesLargerThanABlockKeepAllTheirMembersInEveryOrder) {
    // Member counts: none, a few, past the first block, past the largest
    // block (a megabyte).
    const std::vector<std::size_t> counts{0, 3, 700, 70000, 5, 0, 1200};
    for (const bool sorted : {true, false}) {
        std::string text = "Class Definitions\n";
        Schema expected;
        for (std::size_t c = 0; c < counts.size(); ++c) {
            // In order, or the first two in order and then descending.
            const std::string name =
                sorted || c < 2 ? "Class" + std::to_string(c) : "Klass" + std::to_string(90 - c);
            ClassDef def(name, 0);
            text += name + "\n\tMandatory Attributes\n";
            for (std::size_t m = 0; m < counts[c]; ++m) {
                char member[32];
                static_cast<void>(std::snprintf(member, sizeof member, "member%06zu", m));
                text += std::string("\t\t") + member + "\n";
                def.add(MANDATORY, member);
            }
            expected.classDef.Add(def);
        }
        auto tsp = TextStreamParser::fromText(text);
        Schema read;
        read.whirly = 0;
        ASSERT_TRUE(read.readClassDefs(tsp));
        EXPECT_EQ(listing(read), listing(expected)) << (sorted ? "sorted" : "out of order");
    }
}
