// Runs the fuzz target once on every file named on the command line, or on
// every file of the directories named there, so that the stored inputs (and a
// crash input) can be replayed without the fuzzing engine.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void replay(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
    int count = 0;
    for (int k = 1; k < argc; ++k) {
        const std::filesystem::path arg = argv[k];
        if (std::filesystem::is_directory(arg)) {
            for (const auto& entry : std::filesystem::directory_iterator(arg)) {
                replay(entry.path());
                ++count;
            }
        } else {
            replay(arg);
            ++count;
        }
    }
    std::cout << "replayed " << count << " inputs\n";
    return 0;
}
