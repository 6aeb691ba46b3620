#pragma once

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace ulmaro::test {

inline std::filesystem::path documentFixture(std::string_view name) {
    return std::filesystem::path(ULMARO_FIXTURES_DIR) / "documents" / name;
}

inline std::filesystem::path writeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::ssize(bytes));
    return path;
}

inline std::filesystem::path makeFifo(const std::filesystem::path& path) {
    if (::mkfifo(path.c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
    return path;
}

/// A sparse file of the given size: large without costing the disk or the test time.
inline std::filesystem::path makeSparseFile(const std::filesystem::path& path,
                                            std::uintmax_t size) {
    writeFile(path, "");
    std::filesystem::resize_file(path, size);
    return path;
}

} // namespace ulmaro::test
