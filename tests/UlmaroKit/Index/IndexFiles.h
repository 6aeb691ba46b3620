#pragma once

// Reading, patching and re-sealing index files in tests, to craft damaged and hostile ones.

#include "UlmaroKit/Index/FastHash64.h"
#include "UlmaroKit/Index/FileRecord.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace ulmaro::test {

inline std::vector<unsigned char> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void writeBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

template <typename T>
T getAt(const std::vector<unsigned char>& bytes, std::size_t offset) {
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

template <typename T>
void putAt(std::vector<unsigned char>& bytes, std::size_t offset, T value) {
    std::memcpy(bytes.data() + offset, &value, sizeof value);
}

/// Offset of record `id`'s first byte in the file.
inline std::size_t recordOffset(std::uint32_t id) {
    return 4096 + std::size_t{id} * 24;
}

/// Recomputes the checksum from the header's counts, as a crafted file would carry it.
inline void reseal(std::vector<unsigned char>& bytes) {
    auto records = getAt<std::uint32_t>(bytes, 8);
    auto blob = getAt<std::uint32_t>(bytes, 12);
    putAt<std::uint64_t>(bytes, 16,
                         FastHash64::hash(bytes.data() + 4096, std::size_t{records} * 24 + blob));
}

} // namespace ulmaro::test
