#include "schema/chunkedlist.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(ChunkedList, HandsOutEveryValueInTheOrderAdded) {
    // None, less than one chunk, exactly one, and several with a part.
    for (const std::size_t count : {0UL, 3UL, 1024UL, 1025UL, 5000UL}) {
        ChunkedList<std::string> list;
        for (std::size_t k = 0; k < count; ++k) {
            list.push_back(std::to_string(k));
        }
        ASSERT_EQ(list.size(), count);
        const std::vector<std::string> all = list.take();
        ASSERT_EQ(all.size(), count);
        EXPECT_EQ(all.capacity(), count > 1024 ? count : all.capacity()) << "exact room";
        for (std::size_t k = 0; k < count; ++k) {
            ASSERT_EQ(all[k], std::to_string(k));
        }
        EXPECT_EQ(list.size(), 0U);
        list.push_back("again");
        EXPECT_EQ(list.take(), std::vector<std::string>{"again"});
    }
}
