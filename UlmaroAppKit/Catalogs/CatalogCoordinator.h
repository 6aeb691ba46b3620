#pragma once

#include "UlmaroAppKit/Catalogs/CatalogLibrary.h"
#include "UlmaroAppKit/Catalogs/CatalogWatching.h"
#include "UlmaroAppKit/Catalogs/VolumeWatcher.h"
#include "UlmaroAppKit/Indexing/RefreshScheduler.h"
#include "UlmaroAppKit/Platform/Clock.h"
#include "UlmaroAppKit/Platform/MainQueue.h"
#include "UlmaroAppKit/Platform/Observable.h"
#include "UlmaroAppKit/Platform/SerialQueue.h"
#include "UlmaroAppKit/Platform/TimerService.h"
#include "UlmaroKit/Catalogs/CatalogInfo.h"
#include "UlmaroKit/Catalogs/CatalogScanner.h"
#include "UlmaroKit/Scanning/FileSystemWatcherSignal.h"
#include "UlmaroKit/Scanning/MountedVolume.h"
#include "UlmaroKit/Scanning/ScanPolicy.h"

#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace ulmaro {

class Preferences;

/// The cancel flag of one running catalog scan: set on the main thread (the drive leaves,
/// the catalog is forgotten), read by the scan's keep-going test on the scan queue.
class CancelFlag {
public:
    void cancel() {
        std::lock_guard guard(lock_);
        cancelled_ = true;
    }
    bool isCancelled() const {
        std::lock_guard guard(lock_);
        return cancelled_;
    }
    /// The keep-going test handed to the scan: true until the flag is set.
    bool shouldContinue() const { return !isCancelled(); }

private:
    mutable std::mutex lock_;
    bool cancelled_ = false;
};

/// The application's catalog pipeline: which drives are offered, the queue of scan jobs run
/// one at a time, and the rules it applies along the way.
///
/// Main thread only. A scan runs on the coordinator's own serial queue over copied values;
/// its progress and result come back as main-queue tasks that hold the coordinator weakly,
/// so a coordinator that is gone receives nothing. A scan writes "index.bin.staging" beside
/// the catalog's index; a success writes "info.json" and only then renames the staging file
/// over "index.bin", so a failed write never pairs a new index with the old description.
/// That write happens on the scan queue, after the scan, unless the job was cancelled.
class CatalogCoordinator {
public:
    /// What the pipeline is doing.
    struct Idle {
        friend bool operator==(const Idle&, const Idle&) = default;
    };
    struct Scanning {
        std::string id;
        std::string name;
        std::int64_t filesSoFar = 0;
        friend bool operator==(const Scanning&, const Scanning&) = default;
    };
    using Activity = std::variant<Idle, Scanning>;

    /// The answer to a request for a new catalog.
    struct Started {
        std::string id;
        friend bool operator==(const Started&, const Started&) = default;
    };
    /// An existing or queued catalog, by name, already covers the place.
    struct AlreadyCovered {
        std::string name;
        friend bool operator==(const AlreadyCovered&, const AlreadyCovered&) = default;
    };
    struct NotOnAVolume {
        friend bool operator==(const NotOnAVolume&, const NotOnAVolume&) = default;
    };
    using AddResult = std::variant<Started, AlreadyCovered, NotOnAVolume>;

    /// A queued scan: the catalog to build (for a rescan, its current info) and the
    /// existing catalogs it covers, forgotten once it is written.
    struct Job {
        CatalogInfo info;
        std::vector<std::string> absorbs;
        friend bool operator==(const Job&, const Job&) = default;
    };

    /// An unpacked import waiting for the user's answer: it has the identity of `replacing`.
    struct PendingImport {
        CatalogInfo info;
        std::filesystem::path directory;
        std::string replacing;
        /// What the user is told once it is installed (`Unpacked::note`).
        std::string note = {};
        friend bool operator==(const PendingImport&, const PendingImport&) = default;
    };

    struct Imported {
        std::string id;
        /// A sentence for the user about what the import left out; empty when nothing was.
        std::string note = {};
        friend bool operator==(const Imported&, const Imported&) = default;
    };
    struct Conflict {
        std::string existingName;
        PendingImport pending;
        friend bool operator==(const Conflict&, const Conflict&) = default;
    };
    /// The whole message; empty when the user kept the existing catalog.
    struct Failed {
        std::string message;
        friend bool operator==(const Failed&, const Failed&) = default;
    };
    using ImportOutcome = std::variant<Imported, Conflict, Failed>;

    /// (root, volume UUID, index file, policy, should-continue, progress); any thread.
    using ScanFunction = std::function<CatalogScanner::Outcome(
        std::string_view root, std::string_view volumeUUID, const std::filesystem::path& index,
        const ScanPolicy& policy, const std::function<bool()>& shouldContinue,
        const std::function<void(std::int64_t)>& onProgress)>;
    /// A volume's size and free space, each absent when unknown.
    struct Space {
        std::optional<std::int64_t> total;
        std::optional<std::int64_t> free;
        friend bool operator==(const Space&, const Space&) = default;
    };
    /// Reads the space of the volume mounted at a path; any thread.
    using CapacityFunction = std::function<Space(const std::string& mountPath)>;
    /// Free bytes where a catalog's folder will be; absent lets the scan through.
    using FreeSpaceFunction =
        std::function<std::optional<std::int64_t>(const std::filesystem::path& folder)>;
    using MountedVolumes = std::function<std::vector<MountedVolume>()>;
    /// Whether something is mounted at a path in the kernel's table right now; any thread.
    using IsMounted = std::function<bool(const std::string& mountPath)>;

    struct Dependencies {
        MainQueue& mainQueue;
        const Clock& clock;
        /// Makes the scan queue, "app.ulmaro.catalog-scan".
        SerialQueueFactory& queues;
        /// `realScan`, `realCapacity` and `realFreeSpace` unless a test says.
        ScanFunction scan = {};
        CapacityFunction capacity = {};
        FreeSpaceFunction freeSpace = {};
        /// `realIsMounted` unless a test says.
        IsMounted isMounted = {};
        /// Where other volumes are mounted: a drive mounted elsewhere is covered by the main
        /// index and never offered (`DriveOffer`).
        ScanPolicy::PathSet otherVolumeFolders = ScanPolicy::otherVolumeFolders();
        /// Runs the 15 s rescan check; live updates need it.
        TimerService* timers = nullptr;
        /// The drives' events the default volume watcher follows.
        VolumeEvents* volumeEvents = nullptr;
        /// Makes the volume watcher; by default one over `volumeEvents` and its list.
        std::function<std::unique_ptr<VolumeWatcher>()> makeVolumeWatcher = {};
        /// Where imports are unpacked; `CatalogArchive::defaultTemporaryRoot()` if empty.
        std::filesystem::path temporaryRoot = {};
    };

    /// (root, signal handler callable from any thread) → a watcher not yet started.
    using WatcherMaker = std::function<std::unique_ptr<CatalogWatching>(
        const std::string& root, CatalogWatching::Handler handler)>;
    struct Watched {
        std::string root;
        std::unique_ptr<CatalogWatching> watcher;
    };
    /// The latest relevant change of a catalog, and the first since its last automatic
    /// rescan.
    struct Change {
        WallTime last;
        WallTime since;
        friend bool operator==(const Change&, const Change&) = default;
    };

    static constexpr Seconds checkInterval{15.0};
    /// How long a catalogued drive stays mounted before a mount rescans its catalogs.
    static constexpr Seconds mountSettleDelay{10.0};
    static constexpr Seconds quietPeriod = RefreshScheduler::defaultQuietPeriod;
    static constexpr Seconds ceiling = RefreshScheduler::defaultCeiling;
    static constexpr Seconds floor = RefreshScheduler::defaultFloor;

    /// The job being scanned, its cancel flag and the volume it scans.
    struct Running {
        Job job;
        std::shared_ptr<CancelFlag> flag;
        MountedVolume volume;
    };

    CatalogCoordinator(CatalogLibrary& library, Preferences& preferences,
                       MountedVolumes mountedVolumes, double staleAfter, Dependencies dependencies);
    ~CatalogCoordinator();
    CatalogCoordinator(const CatalogCoordinator&) = delete;
    CatalogCoordinator& operator=(const CatalogCoordinator&) = delete;

    // Published state; each setter runs the observers, then the operation calls `onChange`.
    const Activity& activity() const { return activity_.get(); }
    const std::map<std::string, std::string>& lastErrors() const { return lastErrors_.get(); }
    /// New catalogs queued or scanning and not yet in the library, in queue order.
    const std::vector<CatalogInfo>& pendingNew() const { return pendingNew_.get(); }
    const std::optional<std::string>& notice() const { return notice_.get(); }
    [[nodiscard]] Subscription observeActivity(std::function<void(const Activity&)> f) {
        return activity_.subscribe(std::move(f));
    }
    [[nodiscard]] Subscription
    observeLastErrors(std::function<void(const std::map<std::string, std::string>&)> f) {
        return lastErrors_.subscribe(std::move(f));
    }
    [[nodiscard]] Subscription
    observePendingNew(std::function<void(const std::vector<CatalogInfo>&)> f) {
        return pendingNew_.subscribe(std::move(f));
    }
    [[nodiscard]] Subscription
    observeNotice(std::function<void(const std::optional<std::string>&)> f) {
        return notice_.subscribe(std::move(f));
    }

    CatalogLibrary& library() const { return library_; }
    Preferences& preferences() const { return preferences_; }
    const MountedVolumes& mountedVolumes() const { return mountedVolumes_; }
    double staleAfter() const { return staleAfter_; }
    /// Waiting jobs, first in, first out.
    const std::vector<Job>& pending() const { return pending_; }
    const std::optional<Running>& running() const { return running_; }
    /// IDs forgotten while their scan ran: once it has stopped, their finish clears what it
    /// left and moves a kept catalog's folder to the Trash (a new one's is deleted).
    const std::set<std::string>& forgotten() const { return forgotten_; }

    /// After every change of the queue or of the published state.
    std::function<void()> onChange;
    /// Offers a drive for cataloguing.
    std::function<void(const MountedVolume&)> onPromptForDrive;
    /// A volume has gone (its mount path).
    std::function<void(const std::string&)> onVolumeUnmounted;
    std::function<bool()> isOnboardingShowing = [] { return false; };
    std::function<bool(const MountedVolume&)> isDiskImage = [](const MountedVolume&) {
        return false;
    };

    /// Loads the library, rescans the online drive and folder catalogs that an interrupted
    /// scan, no date or age (`staleAfter`) marks, and offers the attached drives.
    void start();
    /// Makes, starts and keeps the one volume watcher; again does nothing.
    void startWatchingVolumes();
    /// A drive came: a catalogued one has all its drive and folder catalogs rescanned once
    /// it has stayed `mountSettleDelay` (at once without a timer service); another may be
    /// offered.
    void handleMount(const MountedVolume& volume);
    /// A drive is leaving (still listed): its running scan is cancelled, its queued jobs,
    /// new catalogs and waiting mount rescan dropped.
    void handleWillUnmount(const std::string& mountPath);
    /// Drives whose mount rescan waits for them to settle, by UUID.
    std::size_t mountRescansWaiting() const { return mountRescans_.size(); }
    void handleUnmount(const std::string& mountPath);
    const VolumeWatcher* volumeWatcher() const { return volumeWatcher_.get(); }

    /// Installs the default watcher maker unless one is set, watches the online roots and
    /// starts the repeating check; again only synchronises the watchers.
    void startLiveUpdates();
    /// The check: rescans each changed catalog once its changes have been quiet for
    /// `quietPeriod` or waited `ceiling`, never within `floor` of its last automatic rescan.
    void considerRescans();
    /// Unset until live updates start; nothing is watched before.
    WatcherMaker makeWatcher;
    const std::map<std::string, Watched>& watchers() const { return watchers_; }
    const std::map<std::string, Change>& changes() const { return changes_; }
    const std::map<std::string, WallTime>& lastAutoRescan() const { return lastAutoRescan_; }
    bool hasRefreshTimer() const { return refreshTimer_ != nullptr; }

    /// Whether the volume should be offered: a drive of its own (`DriveOffer`: not "/", not
    /// covered by the main index, not an internal disk), no disk image, no Time Machine
    /// destination, not declined, no catalog (queued or kept, any kind) on its UUID, and no
    /// first-run flow on screen.
    bool wantsPrompt(const MountedVolume& volume) const;
    /// The prompt's "Catalog" answer: queues a whole-drive catalog absorbing the drive's
    /// folder catalogs, unless one already covers the drive.
    AddResult catalogDrive(const MountedVolume& volume);
    /// The prompt's "Not this drive" answer.
    void decline(const MountedVolume& volume);
    /// Queues a rescan of every online drive and folder catalog.
    void rescanAllOnline();
    /// Offers every mounted volume but "/" that `wantsPrompt` accepts.
    void promptForAttachedDrives();
    bool isScanning(const std::string& id) const;
    bool isScanning() const { return running_.has_value(); }

    /// Catalogs a folder; its path is resolved first, so a link belongs to the volume it
    /// points to. The mount point of a volume is the whole drive.
    AddResult addFolder(const std::string& path);
    /// Queues a rescan of a drive or folder catalog; an EFU list or an unknown ID does
    /// nothing, a catalog already queued or running adds no second job.
    void rescan(const std::string& id);
    /// Stops and removes a catalog: a queued new one leaves the queue, a kept one goes to
    /// the Trash. One being scanned has its scan cancelled and goes once the scan has
    /// stopped (a refusing Trash then raises a notice). False when the Trash refused it.
    bool forget(const std::string& id);
    void clearNotice();

    /// Makes the watchers match the online catalog roots; nothing until live updates start.
    void syncWatchers();
    /// The default watcher maker: the core's watcher on the root, from now on, with its
    /// share of the inotify budget given the online roots.
    WatcherMaker defaultWatcherMaker();

    // Export and import (CatalogCoordinatorTransfers.cpp). The file work runs on a utility
    // queue of its own per transfer and answers on the main queue; a coordinator gone by
    // then answers nothing.

    /// None on success, else the message to show.
    using ExportCompletion = std::function<void(std::optional<std::string>)>;
    using ImportCompletion = std::function<void(ImportOutcome)>;
    /// A catalog unpacked into a folder of its own under the temporary root, not installed.
    struct Unpacked {
        CatalogInfo info;
        std::filesystem::path directory;
        /// For an EFU list whose rows were refused in part, the sentence that says so.
        std::string note = {};
    };

    /// Packs the catalog's folder into an archive at `destination`.
    void exportCatalog(const std::string& id, std::filesystem::path destination,
                       ExportCompletion completion);
    /// An archive, or an EFU list when the extension is "efu" in any case: a conflict when
    /// the library holds a catalog of the same identity (the unpacked copy waits), else
    /// installed under a new ID.
    void importCatalog(std::filesystem::path file, ImportCompletion completion);
    /// Replace: installs the pending import, then forgets the old catalog. Keep: deletes the
    /// unpacked copy and answers an empty failure.
    ImportOutcome resolve(const PendingImport& pending, bool replace);
    /// Moves an unpacked catalog into the catalogs folder under a new ID; on failure neither
    /// its new folder nor the unpacked one stays.
    ImportOutcome install(const Unpacked& unpacked);
    std::int64_t transfers() const { return transfers_; }
    bool isTransferring() const { return isTransferring_.get(); }
    [[nodiscard]] Subscription observeIsTransferring(std::function<void(const bool&)> f) {
        return isTransferring_.subscribe(std::move(f));
    }
    const std::filesystem::path& temporaryRoot() const { return temporaryRoot_; }
    /// Empties the temporary root: nothing cleans it at boot, and what it holds at start
    /// belongs to an earlier launch.
    void sweepTemporary();

    /// Builds a catalog from an EFU list, mapped (regular files only, opened without
    /// blocking): "index.bin" in a new "efu-import-<UUID>" folder under `temporaryRoot`,
    /// identity "efu:" + the hex `FastHash64` of the list. Throws.
    static Unpacked unpackEFU(const std::filesystem::path& file, WallTime now,
                              const std::filesystem::path& temporaryRoot);
    /// What an EFU import says when it refused rows: how many of how many, and why.
    static std::string refusedRowsNote(const std::string& name, std::int64_t refused,
                                       std::int64_t rows);
    /// Renames a file into place; across file systems copies, syncs and removes it.
    static void moveFile(const std::filesystem::path& from, const std::filesystem::path& to);

    /// `CatalogScanner::scan` with the `working` appetite.
    static CatalogScanner::Outcome realScan(std::string_view root, std::string_view volumeUUID,
                                            const std::filesystem::path& index,
                                            const ScanPolicy& policy,
                                            const std::function<bool()>& shouldContinue,
                                            const std::function<void(std::int64_t)>& onProgress);
    /// `statvfs` of the mount path: its size and the bytes an unprivileged user may still
    /// use; both absent when it cannot be read.
    static Space realCapacity(const std::string& mountPath);
    /// Whether /proc/self/mountinfo holds a mount at `mountPath`.
    static bool realIsMounted(const std::string& mountPath);
    /// The available bytes of the volume of the nearest existing folder at or above
    /// `folder` (a new catalog's folder does not exist yet).
    static std::optional<std::int64_t> realFreeSpace(const std::filesystem::path& folder);

    /// The staging index a scan writes, renamed over "index.bin" once "info.json" is written.
    static std::filesystem::path stagingURL(const CatalogLayout& layout, std::string_view id);

    /// Whether a signal from a catalog root's watcher is a change of that catalog. Paths in
    /// the catalogs folder (the scan's own files) and high-churn folders are not; a leading
    /// "/private" is dropped from the paths and the root, and the root's resolved path (a
    /// data folder reached through a symbolic link) counts as the root too. Any thread.
    static bool isRelevant(const FileSystemWatcherSignal& signal, std::string_view catalogsRoot);
    /// The same catalog: same kind, volume UUID and relative root; IDs and names aside.
    static bool sameIdentity(const CatalogInfo& a, const CatalogInfo& b);
    /// The sentence that ends a failed import, export or save message.
    static std::string describe(const std::exception& error);
    /// As above; a thrown value that is no exception reads as an unknown error.
    static std::string describe(const std::exception_ptr& error);

private:
    using Result = std::variant<CatalogScanner::Outcome, std::exception_ptr>;

    void enqueue(Job job, bool isNew);
    void drain();
    /// Starts the job at the head of the queue, or drops or refuses it; false when it did
    /// not start.
    bool startNext();
    void progress(std::int64_t filesSoFar, const std::string& id);
    /// The scan's result on the main thread; a success is already written (the scan queue
    /// writes "info.json" and renames the index, so their fsyncs never block this thread).
    void finish(const Job& job, const Result& result);
    void succeed(const Job& job);
    void fail(const Job& job, bool isNew, const std::exception_ptr& error);
    void dropNew(const std::string& id);
    void noteChange(const std::string& id);
    void mountSettled(const std::string& uuid);
    /// The drive and folder catalogs of a volume, in library order.
    std::vector<std::string> scannedCatalogsOf(const std::string& uuid) const;
    bool isPendingNew(const std::string& id) const;
    void setLastError(const std::string& id, std::optional<std::string> message);
    std::vector<CatalogInfo> knownInfos() const;
    /// Drive and folder catalogs, the ones scanned; never an imported file list.
    static bool scansFiles(const CatalogInfo& info);
    void changed() {
        if (onChange) onChange();
    }
    void countTransfer(std::int64_t step);
    ImportOutcome importOutcome(const std::filesystem::path& file,
                                const std::variant<Unpacked, std::exception_ptr>& unpacked);

    CatalogLibrary& library_;
    Preferences& preferences_;
    MountedVolumes mountedVolumes_;
    double staleAfter_;
    MainQueue& mainQueue_;
    const Clock& clock_;
    ScanFunction scan_;
    CapacityFunction capacity_;
    FreeSpaceFunction freeSpace_;
    IsMounted isMounted_;
    ScanPolicy::PathSet otherVolumeFolders_;
    TimerService* timers_;
    VolumeEvents* volumeEvents_;
    std::function<std::unique_ptr<VolumeWatcher>()> makeVolumeWatcher_;
    std::shared_ptr<SerialQueue> scanQueue_;
    SerialQueueFactory& queues_;
    std::filesystem::path temporaryRoot_;
    std::int64_t transfers_ = 0;
    Observable<bool> isTransferring_{false};

    Observable<Activity> activity_{Idle{}};
    Observable<std::map<std::string, std::string>> lastErrors_;
    Observable<std::vector<CatalogInfo>> pendingNew_;
    Observable<std::optional<std::string>> notice_;
    std::vector<Job> pending_;
    std::optional<Running> running_;
    std::set<std::string> forgotten_;
    std::unique_ptr<VolumeWatcher> volumeWatcher_;
    std::map<std::string, Watched> watchers_;
    std::map<std::string, Change> changes_;
    std::map<std::string, WallTime> lastAutoRescan_;
    std::unique_ptr<Timer> refreshTimer_;
    std::map<std::string, std::unique_ptr<Timer>> mountRescans_;
    /// How many roots share the inotify budget, as of the last synchronisation.
    std::size_t onlineRoots_ = 0;

    // Work items and their main-queue tasks hold this weakly.
    std::shared_ptr<CatalogCoordinator*> self_;
};

} // namespace ulmaro
