#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace ulmaro {

/// Reads a small file that may hold anything: opened without blocking (a FIFO cannot hang
/// us), only a regular file, and never more than a cap, judged on the descriptor and again
/// while reading (the file may grow meanwhile).
struct SmallFile {
    enum class Status { read, missing, refused };
    struct Result {
        Status status = Status::missing;
        std::string bytes;
        /// Why it was refused, in a few words.
        std::string problem;
    };

    /// `missing` when the file or a folder on its path does not exist.
    static Result read(const std::filesystem::path& path, std::uint64_t maxBytes);
};

} // namespace ulmaro
