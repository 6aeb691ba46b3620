#pragma once

#include "UlmaroKit/Platform/MappedFile.h"
#include "UlmaroKit/Platform/UniqueFd.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace ulmaro {

/// Opens an untrusted file for reading: without blocking (a FIFO named like a document
/// cannot hang us), without following a final link, and only when the opened descriptor
/// is a regular file, whose size it reports. An invalid descriptor otherwise.
UniqueFd openRegularFile(const std::filesystem::path& path, std::uint64_t& size);

/// Reads up to `length` bytes into `into`, stopping early at the end of the file.
/// The number read, or nothing on a read error.
std::optional<std::size_t> readUpTo(int fd, char* into, std::size_t length);

/// The whole of a document file. Small files are read into memory: a page fault on a
/// mapping costs more than copying a few pages, and most documents are small. Large ones
/// are mapped, so that only the parts a reader touches are brought in.
///
/// Opened like every untrusted file: without blocking, without following a final link,
/// only when regular, and refused above `maxSize` judged on the opened descriptor.
class DocumentBytes {
public:
    /// Files up to this size are read rather than mapped.
    static constexpr std::uint64_t readLimit = 1048576;

    static std::optional<DocumentBytes> open(const std::filesystem::path& path,
                                             std::uint64_t maxSize) noexcept;

    std::span<const unsigned char> bytes() const {
        if (mapped_) return mapped_->bytes();
        return {reinterpret_cast<const unsigned char*>(owned_.data()), owned_.size()};
    }

private:
    std::string owned_;
    std::optional<MappedFile> mapped_;
};

} // namespace ulmaro
