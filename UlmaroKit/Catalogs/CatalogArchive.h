#pragma once

#include "UlmaroKit/Catalogs/CatalogInfo.h"

#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

class IndexStore;

/// Moves a catalog between computers as one zip archive holding exactly "index.bin" and
/// "info.json". Archives come from outside: everything is checked — names, declared
/// sizes (the index's against what its own header declares), free space with a reserve
/// left over — before a byte is extracted, and again after.
struct CatalogArchive {
    static constexpr std::string_view fileExtension = "ulmarocatalog";
    /// The most an archive's "info.json" may hold.
    static constexpr std::uint64_t maxInfoBytes = 1048576;

    struct Unpacked {
        CatalogInfo info;
        /// A fresh folder holding the two files; it belongs to the caller.
        std::filesystem::path directory;
    };

    class ArchiveError : public std::exception {
    public:
        enum class Kind { unsupportedFormat, toolFailed, notACatalog, damagedIndex };
        static ArchiveError unsupportedFormat(std::int64_t found) {
            return {Kind::unsupportedFormat, found, {}};
        }
        static ArchiveError toolFailed(std::string message) {
            return {Kind::toolFailed, 0, std::move(message)};
        }
        static ArchiveError notACatalog() { return {Kind::notACatalog, 0, {}}; }
        static ArchiveError damagedIndex() { return {Kind::damagedIndex, 0, {}}; }
        Kind kind() const { return kind_; }
        std::int64_t found() const { return found_; }
        const std::string& message() const { return message_; }
        const char* what() const noexcept override;
        friend bool operator==(const ArchiveError& a, const ArchiveError& b) {
            return a.kind_ == b.kind_ && a.found_ == b.found_ && a.message_ == b.message_;
        }

    private:
        ArchiveError(Kind kind, std::int64_t found, std::string message)
            : kind_(kind), found_(found), message_(std::move(message)) {}
        Kind kind_;
        std::int64_t found_;
        std::string message_;
    };

    /// Writes a zip of `source`'s contents (not of the folder itself) to `archive`.
    using Zip = std::function<void(const std::filesystem::path& source,
                                   const std::filesystem::path& archive)>;

    /// Packs a catalog folder's "index.bin" and "info.json" into an archive that replaces
    /// `destination` in one step. File-system errors pass through as std::filesystem or
    /// std::system_error; archive failures are `toolFailed`.
    static void exportCatalog(const std::filesystem::path& catalogDirectory,
                              const std::filesystem::path& destination);
    static void exportCatalog(const std::filesystem::path& catalogDirectory,
                              const std::filesystem::path& destination, const Zip& zip);
    /// The zip writer `exportCatalog` uses (libzip).
    static void zipFolder(const std::filesystem::path& source,
                          const std::filesystem::path& archive);

    /// Checks and extracts an archive into a new folder under `temporaryRoot` (by default
    /// "Temporary" in the data folder, so that the caller can move it into the catalogs
    /// folder by renaming). Throws ArchiveError, or std::system_error (ENOSPC) when the
    /// members would not fit; nothing of a refused archive stays.
    static Unpacked unpack(const std::filesystem::path& archive);
    static Unpacked unpack(const std::filesystem::path& archive,
                           const std::filesystem::path& temporaryRoot);

    /// The member names of a zip, as stored. Throws `toolFailed` for a file that is not one.
    static std::vector<std::string> listEntries(const std::filesystem::path& archive);

    /// Whether the description keeps to its own folders: a usable ID, a relative root
    /// without "..", and a mount path without ".." (absolute for drives and folders).
    static bool isSafe(const CatalogInfo& info);
    /// Whether the index agrees with the description and is a tree of plain names: below
    /// the root none is empty, ".", ".." or holds "/" or NUL, and an EFU list's none holds a
    /// line feed (the root record of a list keeps its path-like name).
    static bool isWellFormed(const IndexStore& store, const CatalogInfo& info);

    /// "Temporary" in the data folder.
    static std::filesystem::path defaultTemporaryRoot();
};

} // namespace ulmaro
