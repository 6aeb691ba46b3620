// make-tree <folder> <entries> [seed]: writes the generated tree of bench/MakeTree.h, so
// anyone can repeat a scan measurement on the same tree.
#include "MakeTree.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make-tree <folder> <entries> [seed]\n");
        return 2;
    }
    const std::uint64_t entries = std::strtoull(argv[2], nullptr, 10);
    const std::uint64_t seed = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1;
    try {
        if (std::filesystem::exists(argv[1]) && !std::filesystem::is_empty(argv[1])) {
            std::fprintf(stderr, "make-tree: %s is not empty\n", argv[1]);
            return 1;
        }
        const auto start = std::chrono::steady_clock::now();
        const std::uint64_t made = ulmaro::bench::TreeMaker(seed).make(argv[1], entries);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%llu entries in %s (%.1fs)\n", static_cast<unsigned long long>(made), argv[1],
                    seconds);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make-tree: %s\n", error.what());
        return 1;
    }
    return 0;
}
