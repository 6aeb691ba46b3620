#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro::ZipReader {

/// The most one entry may give: a deflated entry that states more, or a stored entry that
/// holds more (whatever it states), is skipped.
inline constexpr std::uint64_t maxEntryBytes = 8388608;
/// The most one archive may make us inflate or copy, all entries together; entries that
/// would pass it are skipped.
inline constexpr std::uint64_t maxTotalBytes = 67108864;

struct Entry {
    std::string name; // as stored, invalid UTF-8 replaced by U+FFFD
    std::string data;

    bool operator==(const Entry&) const = default;
};

/// What is kept of the end-of-central-directory record.
struct EOCD {
    std::uint16_t entryCount = 0;
    std::uint32_t centralDirectoryOffset = 0;

    bool operator==(const EOCD&) const = default;
};

/// The entries of the archive whose name `matching` accepts and that could be read, in
/// central-directory order. Only regular files are opened (links are not followed, FIFOs
/// are refused without blocking). Never throws: whatever cannot be read is left out, and
/// an archive that cannot be read at all gives no entries.
std::vector<Entry> entries(const std::filesystem::path& path,
                           const std::function<bool(std::string_view)>& matching);

/// The same over archive bytes already in memory.
std::vector<Entry> entries(std::span<const unsigned char> archive,
                           const std::function<bool(std::string_view)>& matching);

/// The last end-of-central-directory record within reach of the end (the longest
/// comment and one position to spare); nothing for archives shorter than 22 bytes.
std::optional<EOCD> findEndOfCentralDirectory(std::span<const unsigned char> archive);

/// Inflates raw DEFLATE (no header or trailer) into at most `expected` bytes. Nothing when
/// the stream is damaged or yields no byte; a stream that ends early gives fewer bytes.
std::optional<std::string> rawInflate(std::span<const unsigned char> compressed,
                                      std::uint64_t expected);

} // namespace ulmaro::ZipReader
