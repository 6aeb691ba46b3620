#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace ulmaro {

/// Reads a small file that may hold anything: opened without blocking (a FIFO cannot hang
/// us), only a regular file, and never more than a cap, judged on the descriptor and again
/// while reading (the file may grow meanwhile).
struct SmallFile {
    /// `unreadable`: the system would not open or read it just now (out of descriptors, a
    /// link loop, an I/O error); unlike `refused`, nothing is known of what it holds.
    enum class Status { read, missing, refused, unreadable };
    struct Result {
        Status status = Status::missing;
        std::string bytes;
        /// Why it was refused or unreadable, in a few words.
        std::string problem;
    };

    /// `missing` when the file or a folder on its path does not exist.
    static Result read(const std::filesystem::path& path, std::uint64_t maxBytes);
};

} // namespace ulmaro
