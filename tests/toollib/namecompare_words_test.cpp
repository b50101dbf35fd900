// compareNames skips runs of equal bytes eight at a time; these cases put
// the difference at every position around those words, so that a skipped
// byte shows as a wrong order.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "toollib/namecompare.h"

namespace {

// The comparison as the program defines it, one byte at a time.
int byteByByte(const std::string& a, const std::string& b) {
    for (std::size_t k = 0; k < a.size() && k < b.size(); ++k) {
        const auto x = static_cast<unsigned char>(foldName(a[k]));
        const auto y = static_cast<unsigned char>(foldName(b[k]));
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

int sign(int v) {
    return (v > 0) - (v < 0);
}

}  // namespace

TEST(NameCompareWords, AgreesWithAByteByByteComparisonWhereverTheNamesDiffer) {
    // Equal heads and tails around one differing byte, in letters of either
    // case, so that neither the head nor the tail alone decides.
    for (std::size_t length = 1; length <= 40; ++length) {
        const std::string base(length, 'n');
        for (std::size_t at = 0; at < length; ++at) {
            for (const char other : {'N', 'm', 'O', '\0', '\xff', '_'}) {
                std::string changed = base;
                changed[at] = other;
                EXPECT_EQ(sign(compareNames(base, changed)), byteByByte(base, changed))
                    << length << " at " << at << " with " << int(other);
                EXPECT_EQ(sign(compareNames(changed, base)), byteByByte(changed, base));
            }
        }
    }
}

TEST(NameCompareWords, AgreesOnRandomNamesOfFewLetters) {
    std::mt19937 random(7);
    const std::string letters = "aAbB _\x01\xe9";
    for (int n = 0; n < 20000; ++n) {
        std::string a(random() % 24, ' ');
        for (char& c : a) {
            c = letters[random() % letters.size()];
        }
        // Often the same name, or a copy with one byte changed or cut.
        std::string b = a;
        if (!b.empty() && random() % 2 == 0) {
            b[random() % b.size()] = letters[random() % letters.size()];
        }
        if (random() % 4 == 0) {
            b.resize(random() % (b.size() + 1));
        }
        ASSERT_EQ(sign(compareNames(a, b)), byteByByte(a, b)) << '"' << a << "\" \"" << b << '"';
        ASSERT_EQ(namesEqual(a, b), byteByByte(a, b) == 0);
    }
}
