#pragma once

#include "UlmaroAppKit/Indexing/ChangeWatcher.h"
#include "UlmaroAppKit/Indexing/IndexCoverage.h"
#include "UlmaroAppKit/Indexing/IndexHealth.h"
#include "UlmaroAppKit/Indexing/LiveDelta.h"
#include "UlmaroAppKit/Indexing/RefreshScheduler.h"
#include "UlmaroAppKit/Platform/Clock.h"
#include "UlmaroAppKit/Platform/MainQueue.h"
#include "UlmaroAppKit/Platform/SerialQueue.h"
#include "UlmaroAppKit/Platform/SettingsStore.h"
#include "UlmaroAppKit/Platform/TimerService.h"
#include "UlmaroKit/Index/IndexLoadOutcome.h"
#include "UlmaroKit/Index/RebuildReason.h"
#include "UlmaroKit/Scanning/AttributeFiller.h"
#include "UlmaroKit/Scanning/FileSystemWatcherSignal.h"
#include "UlmaroKit/Scanning/ScanPolicy.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace ulmaro {

class IndexStore;

/// Owns the application's index of this machine: loads it at start, builds it when it is
/// missing, old or damaged, rescans it in the background under the disk-space guard, and
/// publishes its state and the mapped store. Every member runs on the main queue; scan jobs
/// run on a utility serial queue over captured values and report back through main-queue
/// tasks carrying their scan generation, so stale reports are dropped.
class IndexCoordinator {
public:
    struct Indexing {
        std::int64_t filesSoFar = 0;
        friend bool operator==(const Indexing&, const Indexing&) = default;
    };
    struct Ready {
        std::int64_t count = 0;
        WallTime indexedAt;
        friend bool operator==(const Ready&, const Ready&) = default;
    };
    struct Refreshing {
        std::int64_t count = 0;
        std::int64_t filesSoFar = 0;
        friend bool operator==(const Refreshing&, const Refreshing&) = default;
    };
    struct Failed {
        std::string message;
        friend bool operator==(const Failed&, const Failed&) = default;
    };
    struct Loading {
        friend bool operator==(const Loading&, const Loading&) = default;
    };
    using State = std::variant<Indexing, Ready, Refreshing, Failed, Loading>;
    using Store = std::shared_ptr<const IndexStore>;

    using FreeBytes = std::function<std::optional<std::int64_t>(const std::filesystem::path&)>;
    /// Reads sizes and dates into a scanned builder: (builder, only missing ones, appetite,
    /// progress).
    using FillAttributes = std::function<void(IndexBuilder&, bool, AttributeFiller::Appetite,
                                              const std::function<void(std::int64_t)>&)>;

    struct Dependencies {
        MainQueue& mainQueue;
        const Clock& clock;
        /// The automatic-rescan check and the delayed delta rebuild.
        TimerService& timers;
        SettingsStore& settings;
        /// Makes the coordinator's own scan queue.
        SerialQueueFactory& queues;
        /// The one queue on which every live delta builds.
        std::shared_ptr<SerialQueue> deltaQueue;
        /// Free space of the index's volume; `ResourceGuard::freeBytes` unless a test says.
        FreeBytes freeBytes = {};
        /// `AttributeFiller::fill` unless a test says.
        FillAttributes fillAttributes = {};
        /// `fileSystemChangeWatchers()` unless a test says.
        ChangeWatcherFactory makeWatcher = {};
        /// One line for the user's log (a failed scan's cause); standard error when empty.
        std::function<void(const std::string& line)> writeError = {};
    };

    IndexCoordinator(std::filesystem::path indexPath, std::function<std::string()> scanRoot,
                     std::function<ScanPolicy()> scanPolicy, double staleAfter,
                     Dependencies dependencies);
    ~IndexCoordinator();
    IndexCoordinator(const IndexCoordinator&) = delete;
    IndexCoordinator& operator=(const IndexCoordinator&) = delete;

    /// Serves the index file, or starts building it; rescans in the background when it is
    /// old, has no sizes and dates, or an earlier scan was cut short.
    void start();
    /// The explicit refresh: one scan now, or one queued behind the running scan.
    void rebuildNow();

    const State& state() const { return state_; }
    const Store& store() const { return store_; }

    std::function<void(const State&, const Store&)> onUpdate;
    std::function<void(std::int64_t done, std::int64_t total)> onFillProgress;
    std::function<void(const std::vector<std::string>&)> onDocumentsChanged;

    bool isScanning() const { return isScanInFlight_; }
    std::int64_t currentScanProgress() const { return currentScanProgress_; }
    std::int64_t currentFillProgress() const { return currentFillProgress_; }
    const std::optional<std::string>& lastRescanFailure() const { return lastRescanFailure_; }
    const std::optional<std::string>& scanBlockedReason() const { return scanBlockedReason_; }
    LiveDelta& liveDelta();
    const std::filesystem::path& indexPath() const { return indexPath_; }

    /// Must be called on the main queue.
    IndexHealth health();
    IndexCoverage coverage() const;
    std::int64_t lastDeniedDirectories() const;
    std::vector<std::string> lastDeniedPaths() const;
    std::optional<std::int64_t> expectedTotal() const;
    bool expectedTotalIsEstimate() const;
    /// Only a whole-disk scan's duration (an empty "lastScanVolumes" stands for one).
    std::optional<double> lastScanDuration() const;

    /// Follows the scan root's changes into the live delta, catching up from the saved
    /// checkpoint when it was taken on the same device; checks every 15 s whether an
    /// automatic rescan is due. Does nothing while watching or suspended.
    void startWatchingIfNeeded();
    /// Suspends watching until the next `start()`; running scans finish, none follows.
    void stopWatching();
    /// Saves where watching stands, so the next run catches up from there. While changes are
    /// held only in the live delta (or wait for a rescan) that is where "index.bin" may miss
    /// changes from, since the delta does not outlive the process.
    void checkpointWatchState();
    bool isWatching() const { return watcher_ != nullptr; }

    /// Caches, build products, package folders and trash: changes there are never worth a
    /// delta entry or a rescan. Used by the catalogs' watchers too.
    static bool isHighChurnNoise(std::string_view path);

    /// What the watcher's thread passes on to the main queue: none when every changed path
    /// is dropped (the coordinator's own files, the catalogs, high-churn noise, paths a scan
    /// would leave out); the other signals unchanged.
    static std::optional<FileSystemWatcherSignal>
    signalForMainActor(const FileSystemWatcherSignal& signal, const ScanPolicy& policy,
                       std::string_view ownDirectory, std::string_view indexName,
                       std::string_view catalogsRoot);
    /// Whether the filter lets one changed path through.
    static bool keepsChange(std::string_view path, const ScanPolicy& policy,
                            std::string_view ownDirectory, std::string_view indexName,
                            std::string_view catalogsRoot);
    /// Whether the filter drops everything inside a folder, which then needs no watch.
    static bool dropsEverythingInside(std::string_view folder, const ScanPolicy& policy,
                                      std::string_view catalogsRoot);
    /// The policy a scan of `root` runs with: a whole-disk scan also leaves other volumes out.
    static ScanPolicy effectivePolicy(const std::string& root, ScanPolicy policy);

    static bool shouldSplitIntoTwoPasses(const std::string& fullRoot, const std::string& fastRoot);
    static std::string message(const RebuildReason& reason);

    /// The fast first pass of a first build of "/".
    static constexpr const char* fastRoot = "/usr/share/applications";
    static constexpr std::size_t deltaCap = 20000;
    static constexpr double healInterval = 300.0;
    /// A file created is searchable within about the sum of these two.
    static constexpr double watchLatency = 1.0;
    static constexpr double deltaRebuildDelay = 0.5;
    static constexpr double automaticRescanCheckInterval = 15.0;

    struct Keys {
        static constexpr const char* lastScanDuration = "app.ulmaro.lastScanDuration";
        static constexpr const char* lastScanVolumes = "app.ulmaro.lastScanVolumes";
        static constexpr const char* lastScanTotal = "app.ulmaro.lastScanTotal";
        static constexpr const char* lastScanDenied = "app.ulmaro.lastScanDenied";
        static constexpr const char* lastScanDeniedPaths = "app.ulmaro.lastScanDeniedPaths";
        static constexpr const char* lastScanDeniedTotal = "app.ulmaro.lastScanDeniedTotal";
    };

private:
    struct ScanJob;
    /// What a finished scan job hands back.
    struct ScanOutcome {
        IndexLoadOutcome load;
        /// What went wrong before the index could be read back: the path and the system's
        /// reason. A reason of `load` is worded only when this is empty.
        std::optional<std::string> failure;
        /// Written only for a whole-disk scan, on the main queue in the stated order.
        struct Statistics {
            double duration = 0;
            std::int64_t total = 0;
            std::int64_t denied = 0;
            std::vector<std::string> deniedPaths;
            std::int64_t deniedTotal = 0;
        };
        std::optional<Statistics> statistics;
    };

    void setState(State state, Store store);
    /// False when the disk-space guard refused it; true when it started or waits behind
    /// the running scan.
    bool beginRescan(bool foreground, std::optional<std::string> overrideRoot,
                     bool followedByFullPass, bool fillAttributes);
    void reportProgress(std::int64_t scanned, std::uint64_t generation);
    void reportFillProgress(std::int64_t done, std::uint64_t generation);
    void finishScan(ScanOutcome outcome, std::uint64_t generation);
    void scheduleAttributeHealIfNeeded();
    void honourQueuedExplicitRefresh();
    void trimAndRebuildDelta();
    void handleSignal(const FileSystemWatcherSignal& signal);
    void applyToLiveDelta(const std::vector<std::string>& paths);
    void rebuildDelta();
    void noteChange();
    void considerAutomaticRescan();
    /// Where watching starts: the checkpoint of this device, else the served index's scan
    /// start, else now; never an ID ahead of the clock.
    std::uint64_t resumeEventID(const std::string& root) const;
    /// A full rescan at once, for changes the catch-up could not tell.
    void rescanForLostHistory();
    /// The ID a checkpoint saved now should hold.
    std::uint64_t checkpointEventID() const;
    /// `ready` with the served store, else `failed(explanation)`.
    void publishServedOr(const std::string& explanation);
    std::optional<WallTime> indexModificationDate() const;
    std::int64_t indexFileBytes() const;
    static ScanOutcome runScanJob(const ScanJob& job);

    std::filesystem::path indexPath_;
    std::function<std::string()> scanRoot_;
    std::function<ScanPolicy()> scanPolicy_;
    double staleAfter_;
    MainQueue& mainQueue_;
    const Clock& clock_;
    TimerService& timers_;
    SettingsStore& settings_;
    std::shared_ptr<SerialQueue> scanQueue_;
    std::shared_ptr<SerialQueue> deltaQueue_;
    FreeBytes freeBytes_;
    FillAttributes fillAttributes_;
    ChangeWatcherFactory makeWatcher_;
    std::function<void(const std::string&)> writeError_;

    State state_ = Loading{};
    Store store_;
    std::uint64_t scanGeneration_ = 0;
    bool isScanInFlight_ = false;
    bool explicitRefreshQueued_ = false;
    bool rescanQueuedBehindCurrent_ = false;
    std::unique_ptr<LiveDelta> liveDelta_;
    std::int64_t currentScanProgress_ = 0;
    std::int64_t currentFillProgress_ = 0;
    std::uint64_t deltaSequenceAtScanStart_ = 0;
    std::optional<std::string> lastRescanFailure_;
    std::optional<WallTime> lastHealAttempt_;
    std::optional<std::uint64_t> pendingFullPassAfterGeneration_;
    RefreshScheduler refreshScheduler_;
    std::optional<WallTime> lastChangeAt_;
    std::optional<WallTime> changesPendingSince_;
    std::optional<WallTime> lastAutoRescanAt_;
    bool watchingSuspended_ = false;
    std::unique_ptr<ChangeWatcher> watcher_;
    std::uint64_t watchStartEventID_ = 0;
    /// Watching started and its history (the catch-up) has not come yet.
    bool catchingUp_ = false;
    std::unique_ptr<Timer> refreshTimer_;
    std::unique_ptr<Timer> deltaTimer_;
    bool deltaRebuildDue_ = false;
    /// The event ID from which "index.bin" may miss changes: when its scan began, or the ID
    /// watching resumed from after it was loaded.
    std::optional<std::uint64_t> indexCurrentAsOf_;
    std::uint64_t scanStartEventID_ = 0;
    std::optional<std::string> scanBlockedReason_;
    // Tasks and callbacks hold this weakly: a coordinator that is gone receives nothing.
    std::shared_ptr<IndexCoordinator*> self_;
};

/// The identifier of the file system that holds `root` (its UUID where it has one), else
/// "local".
std::string bootVolumeUUID(const std::string& root);

} // namespace ulmaro
