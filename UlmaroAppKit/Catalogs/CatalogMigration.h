#pragma once

#include "UlmaroAppKit/Platform/Clock.h"
#include "UlmaroKit/Catalogs/CatalogLayout.h"
#include "UlmaroKit/Scanning/MountedVolume.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

class IndexBuilder;
class MainQueue;
class Preferences;
class SerialQueue;

/// Once per user, moves every drive out of an old main index into a drive catalog of its
/// own, and turns the volumes the user had left out of indexing into declined drives. A
/// drive is a volume mounted in one of the other-volume folders (/media, /run/media, /mnt);
/// "/", a volume the main index covers and a folder that `lu scan` recorded are not.
///
/// Done is recorded twice: in the settings and as "index.bin.migrated" beside the index, so
/// that a damaged settings file never runs it again.
///
/// It works from the migration source: a hard link to the main index made before the first
/// attempt (a copy where the file system has no hard links), so that an attempt that fails
/// part-way can be tried again from the same contents after the main index was rebuilt.
struct CatalogMigration {
    struct Outcome {
        /// Volume UUIDs that got a catalog in this run, in volume-table order.
        std::vector<std::string> created;
        /// Volume UUIDs whose catalog could not be written, in volume-table order.
        std::vector<std::string> failed;
        /// `failed` is empty.
        bool complete = true;
        friend bool operator==(const Outcome&, const Outcome&) = default;
    };
    using Completion = std::function<void(const Outcome&)>;
    /// `link(2)`'s shape: 0 on success, else -1 with errno set.
    using Link = std::function<int(const char* existing, const char* newPath)>;

    /// At most this many records are searched for the mount point's record.
    static constexpr std::uint32_t rootSearchLimit = 64;
    /// At most this many names make one record's path in that search.
    static constexpr std::size_t rootSearchDepth = 256;

    /// The entry point, on the main queue. With nothing pending the completion runs at once
    /// with an empty, complete outcome. Otherwise `migrate` runs on `background` over values
    /// captured now, and one main-queue task then settles the outcome and calls the
    /// completion. `preferences` must outlive that task.
    static void runInBackground(const std::filesystem::path& coreIndexURL,
                                const CatalogLayout& layout, Preferences& preferences,
                                std::vector<MountedVolume> mounted, WallTime now,
                                MainQueue& mainQueue, SerialQueue& background,
                                Completion completion);

    /// Nothing when the migration is done. Otherwise makes the migration source unless one
    /// exists (a link, else a copy carrying the index's modification time; neither when the
    /// index is absent) and returns the skipped volume UUIDs.
    static std::optional<std::set<std::string>> begin(const std::filesystem::path& coreIndexURL,
                                                      Preferences& preferences,
                                                      const Link& link = {});

    /// The work itself; any thread, never throws. Reads the source, else the main index.
    static Outcome migrate(const std::filesystem::path& source,
                           const std::filesystem::path& coreIndexURL, const CatalogLayout& layout,
                           const std::set<std::string>& skipped,
                           std::span<const MountedVolume> mounted, WallTime now);

    /// Declines every skipped drive; once complete, marks it done (the flag and the file
    /// beside the index) and removes the source.
    static void settle(const Outcome& outcome, const std::filesystem::path& coreIndexURL,
                       const std::set<std::string>& skipped, Preferences& preferences);

    /// The index's path with ".migration-source" appended.
    static std::filesystem::path sourcePath(const std::filesystem::path& coreIndexURL);
    /// The index's path with ".migrated" appended: the mark of a completed migration.
    static std::filesystem::path donePath(const std::filesystem::path& coreIndexURL);

    /// The first of the builder's first 64 records whose path (its names up to a top
    /// record, at most 256, joined by "/"; empty reads "/") is exactly `mountPath`.
    static std::optional<std::uint32_t> rootRecord(const IndexBuilder& builder,
                                                   std::string_view mountPath);
};

} // namespace ulmaro
