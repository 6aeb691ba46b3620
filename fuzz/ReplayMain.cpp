// Runs a fuzz target over saved inputs without libFuzzer: CTest replays each target's corpus
// and the crashes found so far in the ordinary builds (GCC, optimised and sanitized).
// Arguments are files or folders; a folder that does not exist holds nothing.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path argument = argv[i];
        if (fs::is_directory(argument)) {
            for (const auto& entry : fs::directory_iterator(argument))
                if (entry.is_regular_file() && !entry.path().filename().native().starts_with('.'))
                    inputs.push_back(entry.path());
        } else if (fs::exists(argument)) {
            inputs.push_back(argument);
        }
    }
    std::sort(inputs.begin(), inputs.end());
    for (const auto& input : inputs) {
        std::printf("replaying %s\n", input.c_str());
        std::fflush(stdout);
        std::ifstream in(input, std::ios::binary);
        std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
        // A buffer of exactly the input's size, as libFuzzer gives, so that a read past the
        // end is caught by AddressSanitizer here too.
        auto copy = std::make_unique<std::uint8_t[]>(bytes.size());
        std::copy(bytes.begin(), bytes.end(), copy.get());
        LLVMFuzzerTestOneInput(copy.get(), bytes.size());
    }
    std::printf("replayed %zu inputs\n", inputs.size());
    return inputs.empty() ? 1 : 0;
}
