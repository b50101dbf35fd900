// Writes large schema reference files for the benchmarks: one schema, or a
// pair whose second file differs from the first in a chosen share of its
// definitions. The same seed and parameters always give the same bytes.
//
//   tavler_refgen [--classes N] [--members N] [--attributes N] [--syntaxes N]
//                 [--differ FRACTION] [--order sorted|shuffled] [--name-length N]
//                 [--seed N] A.ref [B.ref]

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <numeric>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Params {
    std::size_t classes = 50000;
    std::size_t members = 10;
    std::size_t attributes = 200000;
    std::size_t syntaxes = 40;
    double differ = 0.05;
    bool shuffled = false;
    std::size_t nameLength = 10;
    std::uint64_t seed = 1;
    std::vector<std::string> outputs;
};

// splitmix64: a fixed sequence on every platform, unlike the standard
// distributions, whose results the library is free to choose.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    std::size_t below(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(next() % n); }
    bool chance(double p) { return static_cast<double>(next() >> 11) * 0x1.0p-53 < p; }
    template <class T>
    void shuffle(std::vector<T>& v) {
        for (std::size_t i = v.size(); i > 1; --i) {
            std::swap(v[i - 1], v[below(i)]);
        }
    }

  private:
    std::uint64_t state;
};

constexpr std::array<std::string_view, 6> classFlags{
    "DS_AMBIGUOUS_CONTAINMENT", "DS_AMBIGUOUS_NAMING", "DS_AUXILIARY_CLASS",
    "DS_CONTAINER_CLASS",       "DS_EFFECTIVE_CLASS",  "DS_NONREMOVABLE_CLASS"};
constexpr std::array<std::string_view, 6> attrFlags{"DS_SINGLE_VALUED_ATTR", "DS_SIZED_ATTR",
                                                    "DS_NONREMOVABLE_ATTR",  "DS_READ_ONLY_ATTR",
                                                    "DS_STRING_ATTR",        "DS_PUBLIC_READ"};
constexpr std::array<std::string_view, 5> syntaxFlags{
    "DS_STRING", "DS_SINGLE_VALUED", "DS_SUPPORTS_ORDER", "DS_SUPPORTS_EQUAL", "DS_IGNORE_CASE"};
constexpr std::array<std::string_view, 8> syntaxNames{
    "SYN_DIST_NAME", "SYN_CE_STRING",    "SYN_CI_STRING", "SYN_BOOLEAN",
    "SYN_INTEGER",   "SYN_OCTET_STRING", "SYN_TIMESTAMP", "SYN_PATH"};

// A name of about `length` characters (from half to one and a half times
// that, at least 7): capitalised words of random letters, as in "Postal
// Address Xyz", then the index in base 26, which keeps the names distinct.
std::string makeName(Random& rnd, std::size_t index, std::size_t length) {
    length = std::max<std::size_t>(length / 2 + rnd.below(length + 1), 7);
    std::string tail;
    for (int k = 0; k < 5; ++k, index /= 26) {
        tail.insert(tail.begin(), static_cast<char>('a' + index % 26));
    }
    std::string name;
    bool wordStart = true;
    while (name.size() + tail.size() < length) {
        if (!wordStart && name.size() + tail.size() + 1 < length && rnd.chance(0.15)) {
            name += ' ';
            wordStart = true;
            continue;
        }
        name += static_cast<char>((wordStart ? 'A' : 'a') + rnd.below(26));
        wordStart = false;
    }
    return name + tail;
}

struct Class {
    std::string name;
    unsigned flags = 0;
    std::string super;
    std::vector<std::string> named, mandatory, optional;
};
struct Attr {
    std::string name;
    unsigned flags = 0;
    std::size_t syntax = 0;
};
struct Syntax {
    std::string name;
    unsigned flags = 0;
};

struct Schema {
    std::vector<Class> classes;
    std::vector<Attr> attrs;
    std::vector<Syntax> syntaxes;
};

unsigned randomFlags(Random& rnd, std::size_t count) {
    unsigned flags = 0;
    for (std::size_t bit = 0; bit < count; ++bit) {
        if (rnd.chance(0.2)) {
            flags |= 1U << bit;
        }
    }
    return flags;
}

Class makeClass(Random& rnd, const Params& p, std::size_t index, const std::vector<Attr>& attrs,
                const std::vector<Class>& earlier) {
    Class c;
    c.name = makeName(rnd, index, p.nameLength);
    c.flags = randomFlags(rnd, classFlags.size());
    c.super = earlier.empty() ? "Top" : earlier[rnd.below(earlier.size())].name;
    for (std::size_t m = 0; m < p.members && !attrs.empty(); ++m) {
        const std::string& member = attrs[rnd.below(attrs.size())].name;
        (m == 0 ? c.named : m < 3 ? c.mandatory : c.optional).push_back(member);
    }
    return c;
}

Schema makeSchema(Random& rnd, const Params& p) {
    Schema s;
    for (std::size_t i = 0; i < p.syntaxes; ++i) {
        s.syntaxes.push_back(
            {makeName(rnd, i, p.nameLength), randomFlags(rnd, syntaxFlags.size())});
    }
    for (std::size_t i = 0; i < p.attributes; ++i) {
        s.attrs.push_back({makeName(rnd, i, p.nameLength), randomFlags(rnd, attrFlags.size()),
                           rnd.below(syntaxNames.size())});
    }
    for (std::size_t i = 0; i < p.classes; ++i) {
        s.classes.push_back(makeClass(rnd, p, i, s.attrs, s.classes));
    }
    return s;
}

// The second schema: of the share that differs, a third is left out, a
// third changed, and as many new definitions are added as were left out.
Schema makeVariant(Random& rnd, const Params& p, const Schema& a) {
    Schema b;
    std::size_t next = p.classes + p.attributes + p.syntaxes;
    const auto fate = [&rnd, &p] {
        if (!rnd.chance(p.differ)) {
            return 0;
        }
        return 1 + static_cast<int>(rnd.below(3));  // 1 leave out, 2 change, 3 add one
    };
    for (const Class& c : a.classes) {
        const int f = fate();
        if (f != 1) {
            b.classes.push_back(c);
        }
        if (f == 2) {
            b.classes.back().flags ^= 1U << rnd.below(classFlags.size());
            if (!b.classes.back().optional.empty()) {
                b.classes.back().optional[0] = a.attrs[rnd.below(a.attrs.size())].name;
            }
        }
        if (f == 3) {
            b.classes.push_back(makeClass(rnd, p, next++, a.attrs, a.classes));
        }
    }
    for (const Attr& at : a.attrs) {
        const int f = fate();
        if (f != 1) {
            b.attrs.push_back(at);
        }
        if (f == 2) {
            b.attrs.back().syntax = (at.syntax + 1) % syntaxNames.size();
        }
        if (f == 3) {
            b.attrs.push_back({makeName(rnd, next++, p.nameLength), 1, 0});
        }
    }
    for (const Syntax& sy : a.syntaxes) {
        b.syntaxes.push_back(sy);
        if (fate() != 0) {
            b.syntaxes.back().flags ^= 1;
        }
    }
    return b;
}

// Orders as the program does: letters a-z folded to A-Z, bytes unsigned.
bool nameLess(const std::string& x, const std::string& y) {
    const auto fold = [](char c) {
        return static_cast<unsigned char>((c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c);
    };
    return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(),
                                        [&fold](char l, char r) { return fold(l) < fold(r); });
}

template <class T>
void arrange(std::vector<T>& defs, Random& rnd, bool shuffled) {
    if (shuffled) {
        rnd.shuffle(defs);
    } else {
        std::stable_sort(defs.begin(), defs.end(),
                         [](const T& x, const T& y) { return nameLess(x.name, y.name); });
    }
}

void arrangeList(std::vector<std::string>& list, Random& rnd, bool shuffled) {
    if (shuffled) {
        rnd.shuffle(list);
    } else {
        std::stable_sort(list.begin(), list.end(), nameLess);
    }
}

template <std::size_t N>
void writeFlags(std::ostream& os, unsigned flags, const std::array<std::string_view, N>& names) {
    if (flags == 0) {
        return;
    }
    os << "\tFlags\n";
    for (std::size_t bit = 0; bit < N; ++bit) {
        if ((flags & (1U << bit)) != 0) {
            os << "\t\t" << names[bit] << '\n';
        }
    }
}

void writeList(std::ostream& os, const char* header, const std::vector<std::string>& list) {
    if (list.empty()) {
        return;
    }
    os << '\t' << header << '\n';
    for (const std::string& m : list) {
        os << "\t\t" << m << '\n';
    }
}

void write(std::ostream& os, Schema s, Random& rnd, bool shuffled) {
    arrange(s.classes, rnd, shuffled);
    arrange(s.attrs, rnd, shuffled);
    arrange(s.syntaxes, rnd, shuffled);
    os << "\nClass Definitions\n";
    for (Class& c : s.classes) {
        os << c.name << '\n';
        writeFlags(os, c.flags, classFlags);
        os << "\tSuper Class\n\t\t" << c.super << '\n';
        arrangeList(c.named, rnd, shuffled);
        arrangeList(c.mandatory, rnd, shuffled);
        arrangeList(c.optional, rnd, shuffled);
        writeList(os, "Named By", c.named);
        writeList(os, "Mandatory Attributes", c.mandatory);
        writeList(os, "Optional Attributes", c.optional);
    }
    os << "\nAttribute Definitions\n";
    for (const Attr& a : s.attrs) {
        os << a.name << '\n';
        writeFlags(os, a.flags, attrFlags);
        os << "\tSyntax\n\t\t" << syntaxNames[a.syntax] << '\n';
    }
    os << "\nSyntax Definitions\n";
    for (const Syntax& sy : s.syntaxes) {
        os << sy.name << '\n';
        writeFlags(os, sy.flags, syntaxFlags);
    }
}

[[noreturn]] void usage() {
    std::cerr << "usage: tavler_refgen [--classes N] [--members N] [--attributes N] "
                 "[--syntaxes N] [--differ FRACTION] [--order sorted|shuffled] "
                 "[--name-length N] [--seed N] A.ref [B.ref]\n";
    std::exit(2);
}

Params parse(int argc, char** argv) {
    Params p;
    for (int k = 1; k < argc; ++k) {
        const std::string word = argv[k];
        if (word.rfind("--", 0) != 0) {
            p.outputs.push_back(word);
            continue;
        }
        if (k + 1 >= argc) {
            usage();
        }
        const std::string value = argv[++k];
        char* end = nullptr;
        const unsigned long long n = std::strtoull(value.c_str(), &end, 10);
        const bool isNumber = end != value.c_str() && *end == '\0';
        if (word == "--order" && (value == "sorted" || value == "shuffled")) {
            p.shuffled = value == "shuffled";
        } else if (word == "--differ") {
            p.differ = std::strtod(value.c_str(), &end);
            if (*end != '\0' || p.differ < 0 || p.differ > 1) {
                usage();
            }
        } else if (!isNumber) {
            usage();
        } else if (word == "--classes") {
            p.classes = n;
        } else if (word == "--members") {
            p.members = n;
        } else if (word == "--attributes") {
            p.attributes = n;
        } else if (word == "--syntaxes") {
            p.syntaxes = n;
        } else if (word == "--name-length") {
            p.nameLength = n;
        } else if (word == "--seed") {
            p.seed = n;
        } else {
            usage();
        }
    }
    if (p.outputs.empty() || p.outputs.size() > 2) {
        usage();
    }
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    const Params p = parse(argc, argv);
    Random rnd(p.seed);
    const Schema a = makeSchema(rnd, p);
    std::vector<Schema> schemas{a};
    if (p.outputs.size() == 2) {
        schemas.push_back(makeVariant(rnd, p, a));
    }
    for (std::size_t k = 0; k < schemas.size(); ++k) {
        std::ofstream out(p.outputs[k], std::ios::binary);
        write(out, schemas[k], rnd, p.shuffled);
        if (!out.flush()) {
            std::cerr << "tavler_refgen: cannot write " << p.outputs[k] << '\n';
            return 1;
        }
    }
    return 0;
}
