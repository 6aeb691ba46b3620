#include "UlmaroKit/Content/ZipReader.h"

#include "UlmaroKit/Content/DocumentBytes.h"
#include "UlmaroKit/Platform/Utf8.h"

#include <algorithm>
#include <limits>
#include <zlib.h>

namespace ulmaro::ZipReader {
namespace {

constexpr std::uint32_t kEndSignature = 0x06054B50;
constexpr std::uint32_t kCentralSignature = 0x02014B50;
constexpr std::uint32_t kLocalSignature = 0x04034B50;
constexpr std::int64_t kEndRecordBytes = 22;
constexpr std::int64_t kCentralRecordBytes = 46;
constexpr std::int64_t kLocalHeaderBytes = 30;
constexpr std::int64_t kCommentWindow = 65536;
// DEFLATE cannot expand by more than about 1032:1, so a stream can never fill more than
// this many bytes per compressed byte: no need to allocate what an entry merely claims.
constexpr std::uint64_t kMaxDeflateRatio = 1032;

using Bytes = std::span<const unsigned char>;

// Reads that would run past the end give 0; all offsets are signed 64-bit, so sums of
// 32-bit fields cannot overflow.
std::uint32_t read16(Bytes b, std::int64_t at) {
    if (at < 0 || at + 2 > static_cast<std::int64_t>(b.size())) return 0;
    auto i = static_cast<std::size_t>(at);
    return static_cast<std::uint32_t>(b[i]) | static_cast<std::uint32_t>(b[i + 1]) << 8;
}

std::uint32_t read32(Bytes b, std::int64_t at) {
    if (at < 0 || at + 4 > static_cast<std::int64_t>(b.size())) return 0;
    return read16(b, at) | read16(b, at + 2) << 16;
}

std::string_view chars(Bytes b, std::int64_t from, std::int64_t length) {
    return {reinterpret_cast<const char*>(b.data()) + from, static_cast<std::size_t>(length)};
}

} // namespace

std::optional<EOCD> findEndOfCentralDirectory(Bytes archive) {
    auto length = static_cast<std::int64_t>(archive.size());
    if (length < kEndRecordBytes) return std::nullopt;
    std::int64_t lowest = std::max<std::int64_t>(0, length - kEndRecordBytes - kCommentWindow);
    for (std::int64_t at = length - kEndRecordBytes; at >= lowest; --at) {
        if (read32(archive, at) == kEndSignature) {
            return EOCD{static_cast<std::uint16_t>(read16(archive, at + 10)),
                        read32(archive, at + 16)};
        }
    }
    return std::nullopt;
}

std::optional<std::string> rawInflate(Bytes compressed, std::uint64_t expected) {
    if (expected == 0 || compressed.empty()) return std::nullopt;
    std::uint64_t reachable = compressed.size() * kMaxDeflateRatio + 64;
    std::string out(static_cast<std::size_t>(std::min(expected, reachable)), '\0');

    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return std::nullopt;
    // zlib counts in 32-bit units; the callers' sizes are far below that, but feed the
    // input in slices anyway so that no cast can truncate.
    constexpr std::size_t kSlice = std::numeric_limits<uInt>::max();
    std::size_t fed = 0;
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(std::min(out.size(), kSlice));
    int status = Z_OK;
    while (status == Z_OK && stream.avail_out > 0) {
        if (stream.avail_in == 0) {
            if (fed == compressed.size()) break;
            std::size_t slice = std::min(compressed.size() - fed, kSlice);
            stream.next_in = const_cast<Bytef*>(compressed.data() + fed);
            stream.avail_in = static_cast<uInt>(slice);
            fed += slice;
        }
        status = inflate(&stream, Z_NO_FLUSH);
    }
    std::size_t written = out.size() - stream.avail_out;
    inflateEnd(&stream);
    if (status != Z_OK && status != Z_STREAM_END) return std::nullopt;
    if (written == 0) return std::nullopt;
    out.resize(written);
    return out;
}

std::vector<Entry> entries(Bytes archive, const std::function<bool(std::string_view)>& matching) {
    std::vector<Entry> result;
    auto eocd = findEndOfCentralDirectory(archive);
    if (!eocd || eocd->entryCount == 0) return result;

    auto length = static_cast<std::int64_t>(archive.size());
    std::uint64_t budget = maxTotalBytes;
    std::int64_t p = eocd->centralDirectoryOffset;
    for (unsigned k = 0; k < eocd->entryCount; ++k) {
        if (length - p < kCentralRecordBytes || read32(archive, p) != kCentralSignature) break;
        std::uint32_t method = read16(archive, p + 10);
        std::uint32_t compressedSize = read32(archive, p + 20);
        std::uint32_t uncompressedSize = read32(archive, p + 24);
        std::int64_t nameLength = read16(archive, p + 28);
        std::int64_t extraLength = read16(archive, p + 30);
        std::int64_t commentLength = read16(archive, p + 32);
        std::int64_t local = read32(archive, p + 42);
        if (p + kCentralRecordBytes + nameLength > length) break;
        std::string name = repairUtf8(chars(archive, p + kCentralRecordBytes, nameLength));
        p += kCentralRecordBytes + nameLength + extraLength + commentLength;

        if (uncompressedSize > maxEntryBytes || !matching(name)) continue;
        if (length - local < kLocalHeaderBytes || read32(archive, local) != kLocalSignature) {
            continue;
        }
        std::int64_t data =
            local + kLocalHeaderBytes + read16(archive, local + 26) + read16(archive, local + 28);
        if (data + compressedSize > length) continue;
        Bytes stored = archive.subspan(static_cast<std::size_t>(data), compressedSize);

        if (method == 0) {
            // A stored entry gives its stored bytes, whatever size it states.
            if (stored.size() > maxEntryBytes || stored.size() > budget) continue;
            budget -= stored.size();
            result.push_back({std::move(name), std::string(chars(archive, data, compressedSize))});
        } else if (method == 8) {
            if (uncompressedSize == 0 || uncompressedSize > budget) continue;
            // Inflating stops at the stated size, so it bounds what the entry gives (and the
            // caps above hold for it); it is what the budget pays.
            budget -= uncompressedSize;
            auto inflated = rawInflate(stored, uncompressedSize);
            if (!inflated) continue;
            result.push_back({std::move(name), std::move(*inflated)});
        }
    }
    return result;
}

std::vector<Entry> entries(const std::filesystem::path& path,
                           const std::function<bool(std::string_view)>& matching) {
    try {
        // Offsets in an archive are 32-bit: nothing past 4 GiB can be reached.
        auto file = DocumentBytes::open(path, std::numeric_limits<std::uint32_t>::max());
        if (!file) return {};
        return entries(file->bytes(), matching);
    } catch (...) {
        // The predicate or an allocation failed: the archive gives nothing.
        return {};
    }
}

} // namespace ulmaro::ZipReader
