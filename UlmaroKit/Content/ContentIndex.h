#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace ulmaro {

/// The extracted, lower-cased text of chosen documents, answering "which documents
/// contain this" without opening any file. A table of documents over one text blob;
/// replaced or removed text stays in the blob as dead bytes until a compaction.
///
/// Stored as "content.bin": a little-endian u32 length N, N bytes of a compact JSON
/// table [{"p":path,"m":mtime,"o":offset,"l":length},…], then the blob.
class ContentIndex {
public:
    struct Document {
        std::string path;
        double modified = 0; // seconds since 1970 when the text was taken
        std::int64_t offset = 0;
        std::int64_t length = 0;
        bool operator==(const Document&) const = default;
    };

    struct Hit {
        std::string path;
        std::int64_t line = 0; // 1-based
        std::string preview;   // the line, trimmed, at most 200 characters
        bool operator==(const Hit&) const = default;
    };

    struct Results {
        std::vector<Hit> hits;
        bool truncated = false;
        bool operator==(const Results&) const = default;
    };

    /// Modification times this close count as unchanged.
    static constexpr double mtimeTolerance = 0.001;

    ContentIndex() = default;
    ContentIndex(std::vector<Document> documents, std::vector<unsigned char> blob);

    const std::vector<Document>& documents() const { return documents_; }
    const std::vector<unsigned char>& blob() const { return blob_; }
    std::int64_t deadBytes() const { return deadBytes_; }
    bool isEmpty() const { return documents_.empty(); }
    std::int64_t textBytes() const { return static_cast<std::int64_t>(blob_.size()); }

    /// One hit per document (its first occurrence), in table order, at most `limit`.
    std::vector<Hit> search(std::string_view needle, std::int64_t limit) const;
    /// `search` with one hit more than `limit`, to tell whether the list was cut.
    Results searchAll(std::string_view needle, std::int64_t limit) const;

    void upsert(std::string_view path, double modified, std::string_view text);
    /// Removes the first document with this path.
    bool remove(std::string_view path);
    /// Removes every document whose path is in the set; returns how many.
    std::int64_t remove(const std::unordered_set<std::string>& paths);

    /// True when the path has no document, or its stored time differs from `modified`
    /// by more than the tolerance — in either direction, so that a file replaced by an
    /// older copy is read again.
    bool isStale(std::string_view path, double modified) const;

    /// Rewrites the blob without dead text, documents sorted by path, when the dead
    /// share is above `threshold`.
    bool compactIfNeeded(double threshold);

    /// Replaces the file atomically. Throws std::system_error.
    void write(const std::filesystem::path& path) const;
    /// Throws std::system_error when the file cannot be read. A damaged file reads as
    /// an empty index, documents whose range lies outside the blob are dropped, and a time
    /// beyond ±2^53 seconds (or not a number) reads as 0, as it is written.
    static ContentIndex read(const std::filesystem::path& path);

    /// The JSON table of "content.bin", byte for byte.
    std::string encodeTable() const;

private:
    std::vector<Document> documents_;
    std::vector<unsigned char> blob_;
    std::int64_t deadBytes_ = 0;
};

} // namespace ulmaro
