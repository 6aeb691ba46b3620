#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <optional>
#include <span>
#include <string_view>

namespace ulmaro {

/// A whole file mapped read-only, unmapped when the value dies. Move-only.
///
/// Files read from disk are untrusted: by default the file is opened without blocking
/// (a FIFO named like a document cannot hang us), must be a regular file, and may be
/// refused above a size cap — all judged on the opened descriptor, not on the path.
class MappedFile {
public:
    struct Options {
        bool followSymlinks = true;
        bool requireRegular = true;
        std::uint64_t maxSize = std::numeric_limits<std::uint64_t>::max();
        /// Builds the whole mapping's page tables up front (MAP_POPULATE): cheaper than
        /// faulting page by page when every byte is about to be read anyway.
        bool populate = false;
    };

    MappedFile() = default;
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();

    /// Throws std::system_error: the errno of open/fstat/mmap, ELOOP for a refused link,
    /// EINVAL for a file that is not regular, EFBIG above `maxSize`.
    static MappedFile open(const std::filesystem::path& path, Options options);
    static MappedFile open(const std::filesystem::path& path) { return open(path, Options{}); }
    /// The same, answering nothing instead of throwing.
    static std::optional<MappedFile> tryOpen(const std::filesystem::path& path,
                                             Options options) noexcept;

    const unsigned char* data() const { return data_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::span<const unsigned char> bytes() const { return {data_, size_}; }
    std::string_view view() const { return {reinterpret_cast<const char*>(data_), size_}; }

    /// Builds the page tables of bytes [offset, offset + length) now (MADV_POPULATE_READ, then a
    /// read of each page), so that a later reader takes no faults there. Callers on several threads
    /// may fault in different ranges at once, ahead of a reader on another. The range is clipped to
    /// the mapping.
    void faultIn(std::size_t offset, std::size_t length) const;

private:
    MappedFile(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}
    void reset() noexcept;

    const unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace ulmaro
