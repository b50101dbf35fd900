// The orders that reading a reference file in one pass, sorting in bulk and
// walking two sorted arrays side by side must keep: those of reading each
// section from the top, adding one definition at a time, and halving.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "schema/extendedarray.h"
#include "schema/namelist.h"
#include "schema/referencefilecache.h"
#include "schema/schema.h"
#include "support/capture.h"
#include "support/listing.h"
#include "support/tempdir.h"
#include "toollib/txtparse/textstreamparser.h"

namespace {

struct Read {
    std::string listing;
    std::array<bool, 3> found{};
    std::string spinner;
};

Read readAll(TextStreamParser& tsp, ReferenceFileCache* cache = nullptr) {
    Read read;
    Schema schema;
    schema.setFileCache(cache);
    StreamCapture err(std::cerr);
    read.found = {schema.readClassDefs(tsp), schema.readAttrDefs(tsp), schema.readSyntaxDefs(tsp)};
    read.spinner = err.text();
    read.listing = listing(schema);
    return read;
}

// Names that fold to the same name, names that share their first eight
// bytes, and others, each several times, in a seeded order.
std::vector<std::string> shuffledNames(unsigned seed, std::size_t count) {
    const std::vector<std::string> stems{
        "cn", "CN", "Cn", "Common Name A", "COMMON NAME A", "Common Name B", "common_name", "Zone",
        "a",  "A",  "",   "Common N"};
    std::vector<std::string> names;
    for (std::size_t k = 0; k < count; ++k) {
        names.push_back(stems[k % stems.size()]);
    }
    std::shuffle(names.begin(), names.end(), std::mt19937(seed));
    return names;
}

}  // namespace

TEST(ReadOrder, BulkAdditionKeepsTheOrderOfAddingOneAtATime) {
    // Short batches (as a class's list) and long ones (as a section), with
    // equal names in other case and names equal in their first eight bytes.
    for (const std::size_t count : {2UL, 7UL, 16UL, 17UL, 40UL, 1500UL}) {
        for (unsigned seed = 1; seed <= 3; ++seed) {
            const std::vector<std::string> names = shuffledNames(seed, count);
            // A name held before stays before equal ones added later.
            NameList one;
            NameList bulk;
            one.Add("cN");
            bulk.Add("cN");
            ExtendedArray<AttrDef> oneDef;
            std::vector<AttrDef> defs;
            for (std::size_t k = 0; k < names.size(); ++k) {
                one.Add(names[k]);
                // The syntax tells definitions of equal names apart.
                defs.emplace_back(static_cast<std::uint32_t>(k), 0, names[k]);
                oneDef.Add(defs.back());
            }
            ASSERT_TRUE(bulk.AddAll(names));
            ExtendedArray<AttrDef> bulkDef;
            ASSERT_TRUE(bulkDef.AddAll(defs));
            ASSERT_EQ(bulk.count(), one.count());
            ASSERT_EQ(bulkDef.count(), oneDef.count());
            for (std::size_t k = 0; k < one.count(); ++k) {
                ASSERT_EQ(bulk[k], one[k]) << count << " names, at " << k;
            }
            for (std::size_t k = 0; k < defs.size(); ++k) {
                ASSERT_EQ(bulkDef[k].syntax, oneDef[k].syntax) << count << " definitions, at " << k;
            }
        }
    }
}

TEST(ReadOrder, SortKeysFoldEveryByteAsNamesCompare) {
    // Each byte value at each place of names shorter than, as long as and
    // longer than a key: a-z fold, every other byte (0x80 up too) stays.
    const auto byByte = [](std::string_view name) {
        std::uint64_t key = 0;
        for (std::size_t b = 0; b < 8; ++b) {
            key =
                (key << 8) | (b < name.size() ? static_cast<unsigned char>(foldName(name[b])) : 0U);
        }
        return key;
    };
    for (const std::size_t length : {0UL, 1UL, 2UL, 3UL, 4UL, 5UL, 6UL, 7UL, 8UL, 13UL}) {
        for (unsigned byte = 0; byte < 256; ++byte) {
            for (std::size_t at = 0; at < std::min<std::size_t>(length, 9); ++at) {
                std::string name(length, 'q');
                name[at] = static_cast<char>(byte);
                ASSERT_EQ(stablesort::prefixOf(name), byByte(name))
                    << "byte " << byte << " at " << at << " of " << length;
            }
        }
    }
}

TEST(ReadOrder, WalkingInOrderFindsWhatHalvingFinds) {
    for (const std::size_t count : {1UL, 5UL, 33UL, 400UL}) {
        const std::vector<std::string> names = shuffledNames(9, count);
        NameList held;
        held.AddAll(names);
        // Every held name, names between and around them, in ascending order.
        NameList wanted;
        wanted.AddAll(shuffledNames(4, count / 2 + 3));
        wanted.Add("B");
        wanted.Add("zzz");
        std::size_t cursor = 0;
        for (const std::string_view name : wanted) {
            EXPECT_EQ(held.FindInOrder(name, cursor), held.Find(name)) << name;
        }
        cursor = 0;
        for (const std::string_view name : held) {
            EXPECT_EQ(held.FindInOrder(name, cursor), held.Find(name)) << name;
        }
    }
}

TEST(ReadOrder, SectionsInEveryOrderAndRepeatedReadAsFromTheTop) {
    const std::string classes = "Class Definitions\nbeta\n\tSuper Class\n\t\tTop\nALPHA\nalpha\n";
    const std::string attrs = "Attribute Definitions\ncn\n\tSyntax\n\t\tSYN_CI_STRING\nCN\n";
    const std::string syntaxes = "Syntax Definitions\nBoolean\n\tFlags\n\t\tDS_STRING\n";
    const std::string expected =
        "\nClass Definitions\nALPHA\nalpha\nbeta\n\tSuper Class\n\t\tTop\n"
        "\nAttribute Definitions\ncn\n\tSyntax\n\t\tSYN_CI_STRING\nCN\n"
        "\nSyntax Definitions\nBoolean\n\tFlags\n\t\tDS_STRING\n";
    std::array<std::string, 3> sections{classes, attrs, syntaxes};
    std::sort(sections.begin(), sections.end());
    do {
        const std::string once = sections[0] + sections[1] + sections[2];
        // A second copy of every section, or of the first, is never read.
        for (const std::string& text :
             {once, once + once, once + sections[0] + "Late\n", "; lead\n\n" + once}) {
            auto tsp = TextStreamParser::fromText(text);
            const Read read = readAll(tsp);
            EXPECT_EQ(read.listing, expected) << text;
            EXPECT_EQ(read.found, (std::array<bool, 3>{true, true, true}));
            // Read in reverse order, and again, the same.
            for (int pass = 0; pass < 2; ++pass) {
                Schema again;
                again.whirly = 0;
                EXPECT_TRUE(again.readSyntaxDefs(tsp) && again.readAttrDefs(tsp) &&
                            again.readClassDefs(tsp));
                EXPECT_EQ(listing(again), expected);
            }
        }
    } while (std::next_permutation(sections.begin(), sections.end()));
}

TEST(ReadOrder, AFileReadAgainGivesTheSameSchemaAndSpinnerUntilItChanges) {
    ScopedTempDir dir;
    std::string text = "\nClass Definitions\n";
    for (const std::string& name : shuffledNames(5, 60)) {
        text += (name.empty() ? "x" : name) + "\n\tOptional Attributes\n\t\tb\n\t\tA\n\t\ta\n";
    }
    text += "\nSyntax Definitions\nStream\n";  // and no attribute section
    const auto path = dir.write("again.ref", text);
    ReferenceFileCache cache;
    std::vector<Read> reads;
    for (int k = 0; k < 4; ++k) {
        TextStreamParser tsp(path.string());
        reads.push_back(readAll(tsp, &cache));
    }
    ASSERT_EQ(reads[0].found, (std::array<bool, 3>{true, false, true}));
    ASSERT_EQ(reads[0].spinner.size(), 2u * 61);
    for (const Read& read : reads) {
        EXPECT_EQ(read.listing, reads[0].listing);
        EXPECT_EQ(read.found, reads[0].found);
        EXPECT_EQ(read.spinner.size(), reads[0].spinner.size());
    }
    // Another content under the same name is read anew.
    dir.write("again.ref", "\nClass Definitions\nOnly\n");
    TextStreamParser changed(path.string());
    const Read read = readAll(changed, &cache);
    EXPECT_EQ(read.listing, "\nClass Definitions\nOnly\n");
    EXPECT_EQ(read.found, (std::array<bool, 3>{true, false, false}));
}

TEST(ReadOrder, ClassListsInAnyOrderAreThoseOfAddingOneAtATime) {
    // Classes in order, in order and then not, and in no order; equal names
    // in other case among the classes and in their lists; names that differ
    // only past a NUL byte or in bytes from 0x80 up; a sub-header met twice
    // in one class; a member before the first sub-header of a class, which
    // goes to the list the class before ended in (the first class's goes
    // nowhere); lists short and longer than sixteen members.
    std::vector<std::string> stems = shuffledNames(7, 12);
    stems.push_back(std::string("nul\0a", 5));
    stems.push_back(std::string("nul\0A", 5));
    stems.push_back("\xC3\xA9t\xC3\xA9");
    stems.push_back("\xC3\x89T\xC3\x89");
    const auto variant = [&stems](std::mt19937& rng) {
        std::string name = stems[rng() % stems.size()];
        return name.empty() ? std::string("x") : name + std::to_string(rng() % 3);
    };
    for (const int order : {0, 1, 2}) {
        for (unsigned seed = 1; seed <= 4; ++seed) {
            std::mt19937 rng(seed);
            std::vector<std::string> names;
            for (int k = 0; k < 80; ++k) {
                names.push_back(variant(rng));
            }
            if (order < 2) {
                const auto sortedUpTo = order == 0 ? names.end() : names.begin() + 30;
                std::stable_sort(names.begin(), sortedUpTo, [](const auto& a, const auto& b) {
                    return compareNames(a, b) < 0;
                });
            }
            std::string text = "Class Definitions\n";
            std::optional<ClassType> lastType;
            ExtendedArray<ClassDef> expected;
            for (const std::string& name : names) {
                ClassDef def(name, 0);
                const std::string early = variant(rng);
                text += name + "\n\t" + early + "\n";
                if (lastType) {
                    def.add(*lastType, early);
                }
                for (int block = 0; block < 4; ++block) {
                    const auto type = static_cast<ClassType>(rng() % (OPT + 1));
                    lastType = type;
                    text += std::string("\t") + classSubHeader(type) + "\n";
                    const std::size_t members = rng() % 3 == 0 ? 20 + rng() % 10 : rng() % 6;
                    for (std::size_t m = 0; m < members; ++m) {
                        const std::string member = variant(rng);
                        text += "\t\t" + member + "\n";
                        def.add(type, member);
                    }
                }
                expected.Add(def);
            }
            auto tsp = TextStreamParser::fromText(text);
            Schema read;
            read.whirly = 0;
            ASSERT_TRUE(read.readClassDefs(tsp));
            Schema added;
            for (const ClassDef& def : expected) {
                added.classDef.Add(def);
            }
            ASSERT_EQ(listing(read), listing(added)) << "order " << order << ", seed " << seed;
        }
    }
}
