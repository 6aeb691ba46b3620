#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ulmaro {

/// What a catalog's "info.json" records: where its files came from, their counts, and when
/// the catalog was last seen and scanned. A plain value; every field may be read and changed.
struct CatalogInfo {
    using Date = std::chrono::system_clock::time_point;

    enum class Kind : std::uint8_t { drive, folder, efu };

    /// The version new records carry and the highest version `read` accepts.
    static constexpr std::int64_t currentFormatVersion = 1;

    std::int64_t formatVersion = currentFormatVersion;
    std::string id;
    Kind kind = Kind::drive;
    std::string volumeUUID;
    std::string relativeRoot;
    std::string name;
    std::string lastMountPath;
    std::optional<std::int64_t> capacityBytes;
    std::optional<std::int64_t> freeBytes;
    std::int64_t fileCount = 0;
    std::int64_t folderCount = 0;
    std::uint64_t totalBytes = 0;
    std::optional<std::uint32_t> rootRecordID;
    std::optional<Date> lastConnected;
    std::optional<Date> lastCatalogued;

    bool operator==(const CatalogInfo&) const = default;

    /// "drive", "folder" or "efu".
    static std::string_view rawValue(Kind kind);
    /// The kind whose raw value is exactly `raw` (case-sensitive), else nothing.
    static std::optional<Kind> kindFromRawValue(std::string_view raw);

    /// Reads and decodes an info file. Throws `CatalogError`: `unsupportedFormat` for a
    /// version above `currentFormatVersion`, `unreadableInfo` for everything else.
    static CatalogInfo read(const std::filesystem::path& file);

    /// Writes the record as pretty-printed JSON with sorted keys, atomically, creating the
    /// folder first. Throws std::system_error from the file system, or the JSON library's
    /// error for a text that is not valid UTF-8 (JSON has no way to hold such bytes).
    void write(const std::filesystem::path& file) const;

    /// `lastMountPath` and `relativeRoot` joined by `join`.
    std::string rootPath() const { return join(lastMountPath, relativeRoot); }

    /// The mount path unchanged for an empty relative root; "/" + relative under "/";
    /// otherwise mount path, "/", relative. Nothing else is normalised.
    static std::string join(std::string_view mountPath, std::string_view relative);

    /// ISO 8601 internet date and time in UTC with whole seconds: "2024-05-01T12:00:00Z".
    static std::string formatDate(Date date);
    /// Parses an internet date and time with whole seconds and "Z" or a "+hh:mm" offset;
    /// anything else (fractions of a second included) gives nothing.
    static std::optional<Date> parseDate(std::string_view text);
};

} // namespace ulmaro
