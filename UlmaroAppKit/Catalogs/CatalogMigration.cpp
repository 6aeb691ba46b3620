#include "UlmaroAppKit/Catalogs/CatalogMigration.h"

#include "UlmaroAppKit/Platform/MainQueue.h"
#include "UlmaroAppKit/Platform/SerialQueue.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "UlmaroKit/Catalogs/CatalogInfo.h"
#include "UlmaroKit/Catalogs/CatalogStats.h"
#include "UlmaroKit/Catalogs/FolderSizes.h"
#include "UlmaroKit/Index/IndexBuilder.h"
#include "UlmaroKit/Index/IndexLoadOutcome.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "UlmaroKit/Platform/AtomicFile.h"
#include "UlmaroKit/Platform/UniqueFd.h"
#include "UlmaroKit/Platform/Uuid.h"
#include "UlmaroKit/Scanning/ScanPolicy.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;

bool isPresent(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// The copy carries the index's modification time, which the migrated catalogs take as
// the moment they were catalogued. False, leaving nothing behind, on any failure.
bool copyKeepingTime(const fs::path& from, const fs::path& to) {
    try {
        UniqueFd in(::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        struct stat st {};
        if (!in || ::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
        AtomicFileWriter writer(to);
        std::array<unsigned char, 1 << 16> buffer{};
        for (;;) {
            ssize_t n = ::read(in.get(), buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return false;
            if (n == 0) break;
            writer.write(std::span<const unsigned char>(buffer.data(), static_cast<size_t>(n)));
        }
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        if (::utimensat(AT_FDCWD, writer.temporaryPath().c_str(), times, 0) != 0) return false;
        writer.commit();
        return true;
    } catch (...) {
        return false;
    }
}

std::optional<CatalogInfo::Date> modificationDate(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    using namespace std::chrono;
    return CatalogInfo::Date(duration_cast<system_clock::duration>(
        seconds(st.st_mtim.tv_sec) + nanoseconds(st.st_mtim.tv_nsec)));
}

std::set<std::string> volumesWithDriveCatalogs(const CatalogLayout& layout) {
    std::set<std::string> uuids;
    for (const auto& id : layout.catalogIDs()) {
        try {
            CatalogInfo info = CatalogInfo::read(layout.infoURL(id));
            if (info.kind == CatalogInfo::Kind::drive) uuids.insert(info.volumeUUID);
        } catch (...) {
            // An unreadable catalog covers nothing.
        }
    }
    return uuids;
}

std::string lastComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

const MountedVolume* mountedWith(std::span<const MountedVolume> mounted, const std::string& uuid) {
    auto it = std::find_if(mounted.begin(), mounted.end(),
                           [&](const MountedVolume& v) { return v.uuid == uuid; });
    return it == mounted.end() ? nullptr : &*it;
}

// One volume into one new catalog folder; false, with the folder gone, when it could not
// be written. Nothing when the volume has no records.
std::optional<bool> migrateVolume(const IndexStore& store, std::uint8_t volumeIndex,
                                  const VolumeEntry& volume, const CatalogLayout& layout,
                                  std::span<const MountedVolume> mounted, WallTime now,
                                  std::optional<CatalogInfo::Date> lastCatalogued) {
    std::optional<fs::path> folder;
    try {
        IndexBuilder builder;
        if (!builder.copyVolume(store, volumeIndex, 0)) return std::nullopt;
        FolderSizes::rollUp(builder);
        const auto root = CatalogMigration::rootRecord(builder, volume.mountPath);
        const CatalogStats stats = CatalogStats::measure(builder, root);

        CatalogInfo info;
        info.id = uuidString();
        info.kind = CatalogInfo::Kind::drive;
        info.volumeUUID = volume.uuid;
        info.lastMountPath = volume.mountPath;
        const MountedVolume* present = mountedWith(mounted, volume.uuid);
        info.name = present ? present->name : lastComponent(volume.mountPath);
        if (present) {
            info.capacityBytes = present->totalBytes;
            info.lastConnected = now;
        }
        info.fileCount = stats.fileCount;
        info.folderCount = stats.folderCount;
        info.totalBytes = stats.totalBytes;
        info.rootRecordID = root;
        info.lastCatalogued = lastCatalogued;

        folder = layout.directory(info.id);
        const VolumeEntry entry{volume.uuid, volume.mountPath, 0, true};
        IndexWriter::write(builder, std::span(&entry, 1), layout.indexURL(info.id));
        info.write(layout.infoURL(info.id));
        return true;
    } catch (...) {
        if (folder) {
            std::error_code ignored;
            fs::remove_all(*folder, ignored);
        }
        return false;
    }
}

// A volume of the old index that is a drive of its own: mounted where other volumes are,
// and not a folder that `lu scan` or a scan of a folder root recorded as its volume ("/"
// and everything mounted outside those folders lies in what the main index covers).
bool isDrive(const VolumeEntry& volume) {
    return volume.uuid != VolumeEntry::folderScanUUID &&
           ScanPolicy::isInOtherVolumeFolder(volume.mountPath);
}

// Whether the names, outermost last, joined by "/" (an empty result reading "/") spell
// `path`.
bool joinedEquals(std::span<const std::string_view> names, std::string_view path) {
    if (names.size() == 1 && names[0].empty()) return path == "/";
    std::size_t at = 0;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        if (it != names.rbegin()) {
            if (at >= path.size() || path[at] != '/') return false;
            ++at;
        }
        if (path.substr(at, it->size()) != *it) return false;
        at += it->size();
    }
    return at == path.size();
}

} // namespace

fs::path CatalogMigration::sourcePath(const fs::path& coreIndexURL) {
    fs::path source = coreIndexURL;
    source += ".migration-source";
    return source;
}

fs::path CatalogMigration::donePath(const fs::path& coreIndexURL) {
    fs::path done = coreIndexURL;
    done += ".migrated";
    return done;
}

std::optional<std::set<std::string>>
CatalogMigration::begin(const fs::path& coreIndexURL, Preferences& preferences, const Link& link) {
    if (preferences.catalogMigrationDone() || isPresent(donePath(coreIndexURL)))
        return std::nullopt;
    const fs::path source = sourcePath(coreIndexURL);
    if (!isPresent(source) && isPresent(coreIndexURL)) {
        const int linked = link ? link(coreIndexURL.c_str(), source.c_str())
                                : ::link(coreIndexURL.c_str(), source.c_str());
        // Without a source a failed catalog write would be lost for good once the shell
        // rebuilds the main index, so a file system without hard links gets a copy.
        if (linked != 0) copyKeepingTime(coreIndexURL, source);
    }
    const auto skipped = preferences.skippedVolumeUUIDs();
    return std::set<std::string>(skipped.begin(), skipped.end());
}

CatalogMigration::Outcome
CatalogMigration::migrate(const fs::path& source, const fs::path& coreIndexURL,
                          const CatalogLayout& layout, const std::set<std::string>& skipped,
                          std::span<const MountedVolume> mounted, WallTime now) {
    Outcome outcome;
    try {
        IndexLoadOutcome loaded = loadIndex(source);
        if (!loaded.isLoaded()) loaded = loadIndex(coreIndexURL);
        if (!loaded.isLoaded()) return outcome;
        const IndexStore& store = *loaded.store;

        const std::set<std::string> covered = volumesWithDriveCatalogs(layout);
        const auto lastCatalogued = modificationDate(source);
        const auto& volumes = store.header().volumes;
        for (std::size_t i = 0; i < volumes.size(); ++i) {
            const VolumeEntry& volume = volumes[i];
            if (!isDrive(volume) || skipped.contains(volume.uuid) || covered.contains(volume.uuid))
                continue;
            auto written = migrateVolume(store, static_cast<std::uint8_t>(i), volume, layout,
                                         mounted, now, lastCatalogued);
            if (!written) continue;
            (*written ? outcome.created : outcome.failed).push_back(volume.uuid);
        }
    } catch (...) {
        // Only the allocation of the lists themselves can get here; what was done stands.
    }
    outcome.complete = outcome.failed.empty();
    return outcome;
}

void CatalogMigration::settle(const Outcome& outcome, const fs::path& coreIndexURL,
                              const std::set<std::string>& skipped, Preferences& preferences) {
    for (const auto& uuid : skipped)
        preferences.declineDrive(uuid);
    if (!outcome.complete) return;
    // Beside the index too: a settings file that is lost or damaged must not bring the
    // migration back.
    const fs::path done = donePath(coreIndexURL);
    try {
        fs::create_directories(done.parent_path());
        writeFileAtomically(done, "");
    } catch (...) {
        // The settings still say so; the next launch writes it again.
    }
    preferences.setCatalogMigrationDone(true);
    std::error_code ignored;
    fs::remove(sourcePath(coreIndexURL), ignored);
}

void CatalogMigration::runInBackground(const fs::path& coreIndexURL, const CatalogLayout& layout,
                                       Preferences& preferences, std::vector<MountedVolume> mounted,
                                       WallTime now, MainQueue& mainQueue, SerialQueue& background,
                                       Completion completion) {
    auto skipped = begin(coreIndexURL, preferences);
    if (!skipped) {
        if (completion) completion(Outcome{});
        return;
    }
    background.async([source = sourcePath(coreIndexURL), coreIndexURL, layout,
                      skipped = std::move(*skipped), mounted = std::move(mounted), now, &mainQueue,
                      &preferences, completion = std::move(completion)] {
        Outcome outcome = migrate(source, coreIndexURL, layout, skipped, mounted, now);
        mainQueue.post(
            [outcome = std::move(outcome), coreIndexURL, skipped, &preferences, completion] {
                settle(outcome, coreIndexURL, skipped, preferences);
                if (completion) completion(outcome);
            });
    });
}

std::optional<std::uint32_t> CatalogMigration::rootRecord(const IndexBuilder& builder,
                                                          std::string_view mountPath) {
    const auto limit = std::min<std::size_t>(builder.count(), rootSearchLimit);
    std::vector<std::string_view> names;
    for (std::uint32_t id = 0; id < limit; ++id) {
        names.clear();
        std::uint32_t at = id;
        while (names.size() < rootSearchDepth) {
            names.push_back(builder.nameBytes(at));
            const std::uint32_t parent = builder.records[at].parentID;
            if (parent == FileRecord::rootParentID || parent >= builder.count()) break;
            at = parent;
        }
        if (joinedEquals(names, mountPath)) return id;
    }
    return std::nullopt;
}

} // namespace ulmaro
