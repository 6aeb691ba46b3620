#pragma once

#include "UlmaroAppKit/Catalogs/CatalogCoordinator.h"
#include "UlmaroAppKit/Catalogs/CatalogWatching.h"
#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Fakes/ManualClock.h"
#include "UlmaroAppKit/Fakes/ManualMainQueue.h"
#include "UlmaroAppKit/Fakes/ManualSerialQueue.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "UlmaroKit/Index/IndexBuilder.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "UlmaroKit/Scanning/ScanPolicy.h"
#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace ulmaro::test {

/// A coordinator over a real catalogs folder and drives that are temporary folders, with a
/// scan the test steers: nothing runs until the test drains the scan queue, and then the
/// scan reports `script.progress`, honours the cancel flag, throws `script.error`, or writes
/// a small index with `script.names` under its root.
class CatalogCoordinatorFixture : public ::testing::Test {
protected:
    struct Script {
        std::vector<std::int64_t> progress;
        std::exception_ptr error;
        std::vector<std::string> names = {"a.txt", "b.txt"};
        bool ignoreCancel = false;
    };
    struct ScanCall {
        std::string root;
        std::string volumeUUID;
        std::filesystem::path index;
        ScanPolicy::PathSet excluded;
    };

    TempDir dir;
    CatalogLayout layout{dir / "Catalogs"};
    std::vector<std::filesystem::path> trashed;
    /// The names each trashed folder held as it went, in the order trashed.
    std::vector<std::set<std::string>> trashedNames;
    bool trashWorks = true;
    CatalogLibrary library{layout, CatalogLibrary::fileExists,
                           [this](const std::filesystem::path& folder) {
                               if (!trashWorks) return false;
                               trashed.push_back(folder);
                               std::set<std::string> names;
                               for (const auto& e : std::filesystem::directory_iterator(folder))
                                   names.insert(e.path().filename().string());
                               trashedNames.push_back(std::move(names));
                               std::filesystem::remove_all(folder);
                               return true;
                           }};
    std::shared_ptr<InMemorySettingsStore> settings = std::make_shared<InMemorySettingsStore>();
    Preferences preferences{settings};
    ManualMainQueue mainQueue;
    ManualClock clock;
    ManualSerialQueueFactory queues;
    std::vector<MountedVolume> mounted;
    /// Mount paths the kernel's table no longer holds (every other one it does).
    std::set<std::string> unplugged;
    /// The drives below are mounted here, where other volumes are.
    ScanPolicy::PathSet otherVolumeFolders{(dir / "drives").string()};
    /// When set, the volumes and the default volume watcher come from these events.
    VolumeEvents* volumeEvents = nullptr;
    Script script;
    std::vector<ScanCall> scans;
    /// A progress function kept after its scan returned.
    std::function<void(std::int64_t)> keptProgress;
    std::optional<std::int64_t> freeBytes;
    std::vector<std::filesystem::path> freeSpaceAsked;
    CatalogCoordinator::Space space;
    int changes = 0;
    std::unique_ptr<CatalogCoordinator> coordinator = make();

    std::unique_ptr<CatalogCoordinator> make(CatalogCoordinator::ScanFunction scan = {}) {
        if (!scan) scan = [this](auto... args) { return fakeScan(args...); };
        auto made = std::make_unique<CatalogCoordinator>(
            library, preferences,
            [this] { return volumeEvents ? volumeEvents->volumes() : mounted; }, 86400.0,
            CatalogCoordinator::Dependencies{
                .mainQueue = mainQueue,
                .clock = clock,
                .queues = queues,
                .scan = std::move(scan),
                .capacity = [this](const std::string&) { return space; },
                .freeSpace =
                    [this](const std::filesystem::path& folder) {
                        freeSpaceAsked.push_back(folder);
                        return freeBytes;
                    },
                .isMounted =
                    [this](const std::string& mountPath) { return !unplugged.contains(mountPath); },
                .otherVolumeFolders = otherVolumeFolders,
                .timers = &clock,
                .volumeEvents = volumeEvents,
                .temporaryRoot = dir / "Temporary"});
        made->onChange = [this] { ++changes; };
        return made;
    }

    CatalogScanner::Outcome fakeScan(std::string_view root, std::string_view uuid,
                                     const std::filesystem::path& index, const ScanPolicy& policy,
                                     const std::function<bool()>& shouldContinue,
                                     const std::function<void(std::int64_t)>& onProgress) {
        scans.push_back({std::string(root), std::string(uuid), index, policy.excluded});
        keptProgress = onProgress;
        for (auto n : script.progress)
            onProgress(n);
        if (!shouldContinue() && !script.ignoreCancel) return {0, 0, 0, 2, true};
        if (script.error) std::rethrow_exception(script.error);
        writeIndex(index, std::string(uuid), script.names);
        return {static_cast<std::int64_t>(script.names.size()), 1, 42, 2, false};
    }

    static void writeIndex(const std::filesystem::path& to, const std::string& uuid,
                           const std::vector<std::string>& names) {
        IndexBuilder builder;
        builder.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
        for (const auto& name : names)
            builder.addEntry(name, 0, RecordFlags{}, 0);
        IndexWriter::write(builder, std::vector<VolumeEntry>{{uuid, "/", 0, true}}, to);
    }

    /// A drive: a folder standing for its mount point, mounted from now on.
    MountedVolume drive(const std::string& uuid, std::optional<std::int64_t> total = 1000) {
        MountedVolume volume;
        volume.uuid = uuid;
        volume.mountPath = (dir / "drives" / uuid).string();
        volume.name = "Drive " + uuid;
        volume.totalBytes = total;
        std::filesystem::create_directories(volume.mountPath);
        mounted.push_back(volume);
        library.updateMounted(mounted);
        return volume;
    }

    static CatalogInfo info(std::string id, std::string uuid, std::string relative = "",
                            CatalogInfo::Kind kind = CatalogInfo::Kind::drive) {
        CatalogInfo i;
        i.id = std::move(id);
        i.name = i.id;
        i.volumeUUID = std::move(uuid);
        i.relativeRoot = std::move(relative);
        i.kind = kind;
        return i;
    }

    /// A catalog already kept on disk and loaded in the library (its root folder made when
    /// its drive is mounted).
    void keep(const CatalogInfo& kept) {
        writeIndex(layout.indexURL(kept.id), kept.volumeUUID, {"old.txt"});
        kept.write(layout.infoURL(kept.id));
        for (const auto& volume : mounted)
            if (volume.uuid == kept.volumeUUID)
                std::filesystem::create_directories(
                    CatalogInfo::join(volume.mountPath, kept.relativeRoot));
        library.reloadAll();
        library.updateMounted(mounted);
    }

    /// A catalog watcher the test fires by hand; its state outlives it.
    struct FakeWatch {
        std::string root;
        CatalogWatching::Handler handler;
        bool started = false;
        bool stopped = false;
    };
    class FakeWatcher final : public CatalogWatching {
    public:
        explicit FakeWatcher(std::shared_ptr<FakeWatch> state) : state_(std::move(state)) {}
        void start() override { state_->started = true; }
        void stop() override { state_->stopped = true; }

    private:
        std::shared_ptr<FakeWatch> state_;
    };
    std::vector<std::shared_ptr<FakeWatch>> watches;

    CatalogCoordinator::WatcherMaker fakeWatchers() {
        return [this](const std::string& root, CatalogWatching::Handler handler) {
            watches.push_back(std::make_shared<FakeWatch>(FakeWatch{root, std::move(handler)}));
            return std::make_unique<FakeWatcher>(watches.back());
        };
    }
    /// The newest watch of a root.
    std::shared_ptr<FakeWatch> watchOf(const std::string& root) const {
        for (auto it = watches.rbegin(); it != watches.rend(); ++it)
            if ((*it)->root == root) return *it;
        return nullptr;
    }

    /// The scan queue of the newest coordinator.
    ManualSerialQueue& scanQueue() { return *queues.queues().back(); }
    /// Lets the running scan go and delivers what it posted.
    void runScan() {
        scanQueue().drain();
        mainQueue.drain();
    }
    void runAll() {
        while (scanQueue().pending() > 0 || mainQueue.pending() > 0)
            runScan();
    }
    /// Runs every queue (transfers included) and the main queue until nothing is left.
    void settle() {
        while (queues.drainAll() + mainQueue.drain() > 0) {
        }
    }

    static std::string read(const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static bool exists(const std::filesystem::path& path) {
        std::error_code ec;
        return std::filesystem::exists(path, ec);
    }
    std::vector<std::string> pendingIDs() const {
        std::vector<std::string> ids;
        for (const auto& job : coordinator->pending())
            ids.push_back(job.info.id);
        return ids;
    }
    std::string startedID(const CatalogCoordinator::AddResult& result) const {
        const auto* started = std::get_if<CatalogCoordinator::Started>(&result);
        EXPECT_NE(started, nullptr);
        return started ? started->id : std::string();
    }
};

} // namespace ulmaro::test
