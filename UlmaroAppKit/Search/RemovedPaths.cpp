#include "UlmaroAppKit/Search/RemovedPaths.h"

namespace ulmaro {
namespace {

// FNV-1a: its value for a prefix is a step of the value for the whole path, so every
// ancestor's hash comes out of one walk over the bytes.
constexpr std::uint64_t fnvOffset = 0xCBF29CE484222325ull;
constexpr std::uint64_t fnvPrime = 0x100000001B3ull;

constexpr std::uint64_t fnvStep(std::uint64_t h, char c) {
    return (h ^ static_cast<unsigned char>(c)) * fnvPrime;
}

} // namespace

std::size_t RemovedPaths::Hash::operator()(std::string_view path) const {
    std::uint64_t h = fnvOffset;
    for (char c : path)
        h = fnvStep(h, c);
    return h;
}

RemovedPaths::RemovedPaths(std::span<const std::string> paths) {
    paths_.reserve(paths.size());
    for (const std::string& path : paths)
        add(path);
}

RemovedPaths::RemovedPaths(const std::unordered_set<std::string>& paths) {
    paths_.reserve(paths.size());
    for (const std::string& path : paths)
        add(path);
}

void RemovedPaths::add(std::string_view path) {
    const std::uint64_t h = Hash{}(path);
    filter_[filterWord(h)] |= filterBit(h);
    paths_.emplace(path);
}

bool RemovedPaths::contains(std::string_view path) const {
    return paths_.find(path) != paths_.end();
}

bool RemovedPaths::hides(std::string_view path) const {
    if (paths_.empty()) return false;
    std::uint64_t h = fnvOffset;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '/' && i > 0 && mayHold(h) &&
            paths_.find(Hashed{path.substr(0, i), h}) != paths_.end())
            return true;
        h = fnvStep(h, path[i]);
    }
    return mayHold(h) && paths_.find(Hashed{path, h}) != paths_.end();
}

} // namespace ulmaro
