// The packed list of names against the array of definitions, which holds
// each name in a string of its own: the same operations on both must give
// the same names in the same order and the same answers to every look-up.

#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "schema/attrdef.h"
#include "schema/extendedarray.h"
#include "schema/namelist.h"

namespace {

// A name of varied length: empty, short, past the eight bytes the sort keys
// hold, and long; in a random case, so equal names in other case abound.
std::string randomName(std::mt19937& rng) {
    static const std::vector<std::string> stems{
        "",  "cn",   "Common Name",         "commonNameOfAnEntry",
        "x", "mail", std::string(300, 'q'), std::string("a\0b", 3)};
    std::string name = stems[rng() % stems.size()];
    if (rng() % 3 == 0) {
        name += static_cast<char>('a' + rng() % 4);
    }
    for (char& c : name) {
        if (rng() % 2 == 0 && c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return name;
}

// The model: the same names as attribute definitions, told apart by their
// syntax, which records the order in which they were added.
struct Model {
    ExtendedArray<AttrDef> defs;
    std::uint32_t added = 0;
    void add(const std::string& name) { defs.Add(AttrDef(added++, 0, name)); }
    void addAll(const std::vector<std::string>& names) {
        std::vector<AttrDef> batch;
        for (const std::string& name : names) {
            batch.emplace_back(added++, 0, name);
        }
        defs.AddAll(batch);
    }
};

void expectSame(const NameList& names, const Model& model, const std::vector<std::string>& probes,
                const std::string& what) {
    ASSERT_EQ(names.count(), model.defs.count()) << what;
    for (std::size_t k = 0; k < names.count(); ++k) {
        ASSERT_EQ(names[k], model.defs[k].name) << what << " at " << k;
    }
    std::size_t cursor = 0;
    std::size_t modelCursor = 0;
    for (const std::string& probe : probes) {
        EXPECT_EQ(names.Find(probe), model.defs.Find(AttrDef(probe))) << what << ": " << probe;
        EXPECT_EQ(names.FindInOrder(probe, cursor),
                  model.defs.FindInOrder(AttrDef(probe), modelCursor))
            << what << ": " << probe;
    }
}

}  // namespace

TEST(NameList, HoldsAndFindsNamesAsAnArrayOfStringsWould) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        std::mt19937 rng(seed);
        NameList names;
        Model model;
        const std::string what = "seed " + std::to_string(seed);
        for (int step = 0; step < 12; ++step) {
            switch (rng() % 4) {
                case 0: {  // one at a time, past the room held
                    const std::size_t count = rng() % 40;
                    for (std::size_t k = 0; k < count; ++k) {
                        const std::string name = randomName(rng);
                        names.Add(name);
                        model.add(name);
                    }
                    break;
                }
                case 1: {  // a batch, shuffled or sorted, short or long
                    std::vector<std::string> batch;
                    const std::size_t count = rng() % 2 == 0 ? rng() % 16 : rng() % 200;
                    for (std::size_t k = 0; k < count; ++k) {
                        batch.push_back(randomName(rng));
                    }
                    if (rng() % 2 == 0) {
                        std::stable_sort(
                            batch.begin(), batch.end(),
                            [](const auto& a, const auto& b) { return compareNames(a, b) < 0; });
                    }
                    names.AddAll(batch);
                    model.addAll(batch);
                    break;
                }
                case 2: {  // a name of the array itself, as its bytes move
                    if (!names.empty()) {
                        const std::string name(names[rng() % names.count()]);
                        names.Add(names[names.Find(name)]);
                        model.add(model.defs[model.defs.Find(AttrDef(name))].name);
                    }
                    break;
                }
                default: {  // copies and moves are whole and independent
                    NameList copy(names);
                    NameList moved(std::move(copy));
                    EXPECT_TRUE(copy.empty());  // NOLINT(bugprone-use-after-move): moved out
                    copy = moved;
                    moved.Add("extra");
                    EXPECT_TRUE(copy == names);
                    EXPECT_EQ(moved.count(), names.count() + 1);
                    names = std::move(copy);
                    break;
                }
            }
            std::vector<std::string> probes;
            for (int k = 0; k < 30; ++k) {
                probes.push_back(randomName(rng));
            }
            std::stable_sort(probes.begin(), probes.end(),
                             [](const auto& a, const auto& b) { return compareNames(a, b) < 0; });
            expectSame(names, model, probes, what);
        }
    }
}
