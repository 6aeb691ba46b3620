// The coordinator's watching: the change stream into the live delta, the catch-up after a
// restart, and the automatic rescans.
#include "UlmaroAppKit/Indexing/IndexCoordinator.h"
#include "UlmaroAppKit/Indexing/WatchCheckpointStore.h"
#include "UlmaroKit/Catalogs/CatalogLayout.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Scanning/CatchUpSweep.h"
#include "UlmaroKit/Scanning/FileSystemWatcher.h"

#include <algorithm>
#include <array>

namespace ulmaro {

namespace {

// Each fragment carries both slashes, so a file named "Caches.txt" is not noise. The last
// three are Linux's own: the XDG cache and the trash folders.
constexpr std::array<std::string_view, 19> highChurnFragments = {
    "/Caches/",        "/PersistentCache/", "/DerivedData/",
    "/CoreSimulator/", "/Biome/",           "/DuetExpertCenter/",
    "/.build/",        "/node_modules/",    "/.git/",
    "/.gradle/",       "/__pycache__/",     "/Pods/",
    "/.venv/",         "/.next/",           "/.swiftpm/",
    "/.stack-work/",   "/.cache/",          "/.local/share/Trash/",
    "/.Trash-",
};

constexpr std::array<std::string_view, 4> ownFileNames = {"delta.bin", "content.bin",
                                                          "watch-checkpoint.json", "instance.lock"};

std::string_view withoutPrivate(std::string_view path) {
    constexpr std::string_view prefix = "/private/";
    return path.starts_with(prefix) ? path.substr(prefix.size() - 1) : path;
}

bool isAtOrUnder(std::string_view path, std::string_view folder) {
    return !folder.empty() && path.starts_with(folder) &&
           (path.size() == folder.size() || path[folder.size()] == '/');
}

// The delivered path's parent folder and last component.
std::pair<std::string_view, std::string_view> split(std::string_view path) {
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos) return {{}, path};
    return {path.substr(0, std::max<std::size_t>(slash, 1)), path.substr(slash + 1)};
}

bool isOwnFile(std::string_view path, std::string_view ownDirectory, std::string_view indexName) {
    const auto [parent, name] = split(path);
    if (parent != ownDirectory && withoutPrivate(parent) != withoutPrivate(ownDirectory))
        return false;
    return (!indexName.empty() && name.starts_with(indexName)) ||
           std::find(ownFileNames.begin(), ownFileNames.end(), name) != ownFileNames.end();
}

// A scan would not hold the path: excluded, or below a folder it would not enter.
bool isLeftOutByPolicy(std::string_view path, const ScanPolicy& policy) {
    return !policy.shouldDescend(path) || policy.isExcluded(path);
}

} // namespace

bool IndexCoordinator::isHighChurnNoise(std::string_view path) {
    for (std::string_view fragment : highChurnFragments) {
        if (path.find(fragment) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

std::optional<FileSystemWatcherSignal>
IndexCoordinator::signalForMainActor(const FileSystemWatcherSignal& signal,
                                     const ScanPolicy& policy, std::string_view ownDirectory,
                                     std::string_view indexName, std::string_view catalogsRoot) {
    if (signal.kind() != FileSystemWatcherSignal::Kind::changedPaths) return signal;
    std::vector<std::string> passing;
    for (const std::string& path : signal.paths())
        if (keepsChange(path, policy, ownDirectory, indexName, catalogsRoot))
            passing.push_back(path);
    if (passing.empty()) return std::nullopt;
    return FileSystemWatcherSignal::changedPaths(std::move(passing));
}

bool IndexCoordinator::keepsChange(std::string_view path, const ScanPolicy& policy,
                                   std::string_view ownDirectory, std::string_view indexName,
                                   std::string_view catalogsRoot) {
    return !isAtOrUnder(withoutPrivate(path), withoutPrivate(catalogsRoot)) &&
           !isOwnFile(path, ownDirectory, indexName) && !isHighChurnNoise(path) &&
           !isLeftOutByPolicy(path, policy);
}

bool IndexCoordinator::dropsEverythingInside(std::string_view folder, const ScanPolicy& policy,
                                             std::string_view catalogsRoot) {
    std::string inside(folder);
    inside += '/';
    return isHighChurnNoise(inside) || isLeftOutByPolicy(folder, policy) ||
           isAtOrUnder(withoutPrivate(folder), withoutPrivate(catalogsRoot));
}

ScanPolicy IndexCoordinator::effectivePolicy(const std::string& root, ScanPolicy policy) {
    if (root != "/") return policy;
    const auto& others = ScanPolicy::otherVolumeFolders();
    return policy.adding(std::vector<std::string>(others.begin(), others.end()));
}

void IndexCoordinator::startWatchingIfNeeded() {
    if (watcher_ || watchingSuspended_) return;
    const std::string root = scanRoot_();
    if (root.empty()) return;

    const std::uint64_t since = resumeEventID(root);
    if (!indexCurrentAsOf_) indexCurrentAsOf_ = since;
    watchStartEventID_ = since;
    catchingUp_ = true;

    // The filter's inputs, captured once: the watcher's thread touches no field.
    const ScanPolicy policy = effectivePolicy(root, scanPolicy_());
    const std::string ownDirectory = indexPath_.parent_path().string();
    const std::string indexName = indexPath_.filename().string();
    const std::string catalogsRoot = CatalogLayout::forIndex(indexPath_).root().string();

    std::weak_ptr<IndexCoordinator*> weak = self_;
    MainQueue* main = &mainQueue_;
    ChangeWatcherRequest request;
    request.root = root;
    request.sinceEventID = since;
    request.latency = watchLatency;
    request.onSignal = [weak, main, policy, ownDirectory, indexName,
                        catalogsRoot](const FileSystemWatcherSignal& signal) {
        auto passed = signalForMainActor(signal, policy, ownDirectory, indexName, catalogsRoot);
        if (!passed) return;
        main->post([weak, passed = std::move(*passed)] {
            if (auto self = weak.lock()) (*self)->handleSignal(passed);
        });
    };
    // Linux keeps no history: what changed while nobody watched is told from the served
    // index and the folders' times.
    request.options.replay =
        [store = store_, root, policy, ownDirectory, indexName,
         catalogsRoot](std::uint64_t from,
                       const std::atomic<bool>& cancel) -> std::optional<std::vector<std::string>> {
        if (!store) return std::nullopt;
        CatchUpSweep::Options options;
        options.cap = deltaCap;
        // Only what the filter lets through counts against the delta's cap: a cache or a
        // build folder busy while nobody watched must not hide the changes that matter.
        options.drops = [&](std::string_view path) {
            return !keepsChange(path, policy, ownDirectory, indexName, catalogsRoot);
        };
        options.dropsInside = [&](std::string_view folder) {
            return dropsEverythingInside(folder, policy, catalogsRoot);
        };
        return CatchUpSweep::changesSince(*store, root, policy, from, options, &cancel);
    };
    request.options.skipInside = [policy, catalogsRoot](const std::string& folder) {
        return dropsEverythingInside(folder, policy, catalogsRoot);
    };
    watcher_ = makeWatcher_(std::move(request));
    watcher_->start();

    refreshTimer_ = timers_.scheduleRepeating(Seconds(automaticRescanCheckInterval), [weak] {
        if (auto self = weak.lock()) (*self)->considerAutomaticRescan();
    });
}

std::uint64_t IndexCoordinator::resumeEventID(const std::string& root) const {
    const std::uint64_t now = FileSystemWatcher::currentEventID();
    // Event IDs are wall-clock times: one ahead of the clock (a clock that ran ahead, a
    // damaged file) would skip every change until then, so it counts as no checkpoint.
    auto sane = [now](std::optional<std::uint64_t> id) {
        return id && *id != 0 && *id <= now ? id : std::nullopt;
    };
    const auto checkpoint = sane(WatchCheckpointStore::resumeEventID(
        WatchCheckpointStore::load(WatchCheckpointStore::defaultURL(indexPath_)),
        FileSystemWatcher::deviceUUID(root)));
    if (checkpoint) return *checkpoint;
    // Without one, the served index's own scan start: whatever changed since may be missing
    // from it. An index written before it kept that time can only start from now.
    if (store_ && !store_->header().volumes.empty())
        if (const auto scanStart = sane(store_->header().volumes.front().lastEventID))
            return *scanStart;
    return now;
}

void IndexCoordinator::handleSignal(const FileSystemWatcherSignal& signal) {
    switch (signal.kind()) {
    case FileSystemWatcherSignal::Kind::changedPaths:
        applyToLiveDelta(signal.paths());
        noteChange();
        break;
    case FileSystemWatcherSignal::Kind::mustFullRescan:
        noteChange();
        // The catch-up could not tell what changed while nobody watched: waiting for quiet
        // would leave those changes unfound for as long as activity goes on.
        if (catchingUp_) rescanForLostHistory();
        break;
    case FileSystemWatcherSignal::Kind::historyDone:
        catchingUp_ = false;
        // What happened while nobody watched comes as one batch: nothing to gather.
        if (deltaRebuildDue_) {
            deltaTimer_.reset();
            rebuildDelta();
        }
        break;
    }
}

void IndexCoordinator::rescanForLostHistory() {
    catchingUp_ = false;
    const std::uint64_t before = scanGeneration_;
    if (const auto* ready = std::get_if<Ready>(&state_))
        setState(Refreshing{ready->count, 0}, store_);
    const bool fill = store_ && store_->header().attrsCompleteness != AttrsCompleteness::none;
    beginRescan(false, std::nullopt, false, fill);
    if (scanGeneration_ == before) return; // refused or queued: the changes stay pending
    lastChangeAt_.reset();
    changesPendingSince_.reset();
    lastAutoRescanAt_ = clock_.now();
}

void IndexCoordinator::applyToLiveDelta(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    liveDelta().apply(paths);
    if (onDocumentsChanged) onDocumentsChanged(paths);
    // The watcher spaces batches already; the delay gathers the first batches of a burst,
    // and a later batch never postpones a rebuild that is due, so ongoing changes cannot
    // keep a new file out of searches.
    if (deltaRebuildDue_) return;
    deltaRebuildDue_ = true;
    std::weak_ptr<IndexCoordinator*> weak = self_;
    deltaTimer_ = timers_.scheduleOnce(Seconds(deltaRebuildDelay), [weak] {
        if (auto self = weak.lock()) (*self)->rebuildDelta();
    });
}

void IndexCoordinator::rebuildDelta() {
    deltaRebuildDue_ = false;
    std::weak_ptr<IndexCoordinator*> weak = self_;
    liveDelta().rebuildInBackground([weak] {
        if (auto self = weak.lock()) {
            IndexCoordinator& c = **self;
            if (c.onUpdate) c.onUpdate(c.state_, c.store_);
        }
    });
}

void IndexCoordinator::noteChange() {
    lastChangeAt_ = clock_.now();
    if (!changesPendingSince_) changesPendingSince_ = lastChangeAt_;
}

void IndexCoordinator::considerAutomaticRescan() {
    if (watchingSuspended_) return;
    const WallTime now = clock_.now();
    const auto pending = static_cast<std::int64_t>(liveDelta().changed().size());
    if (!refreshScheduler_.shouldRescan(lastChangeAt_, changesPendingSince_, pending,
                                        lastAutoRescanAt_, now))
        return;
    if (std::holds_alternative<Indexing>(state_) || std::holds_alternative<Refreshing>(state_))
        return;
    // A refusal is asked again after the floor, not at every tick.
    lastAutoRescanAt_ = now;
    if (const auto* ready = std::get_if<Ready>(&state_))
        setState(Refreshing{ready->count, 0}, store_);
    const bool fill = store_ && store_->header().attrsCompleteness != AttrsCompleteness::none;
    // Refused (no disk space), the changes still wait for a rescan, and the checkpoint stays
    // where the index may miss them from.
    if (!beginRescan(false, std::nullopt, false, fill)) return;
    lastChangeAt_.reset();
    changesPendingSince_.reset();
    checkpointWatchState();
}

void IndexCoordinator::stopWatching() {
    watchingSuspended_ = true;
    if (watcher_) watcher_->stop();
    watcher_.reset();
    refreshTimer_.reset();
    lastChangeAt_.reset();
    changesPendingSince_.reset();
    catchingUp_ = false;
}

std::uint64_t IndexCoordinator::checkpointEventID() const {
    // A scan under way has not replaced "index.bin" yet, and until the catch-up is in, what
    // happened while nobody watched is known to no one.
    const bool holdsChanges = (liveDelta_ && !liveDelta_->isEmpty()) || changesPendingSince_ ||
                              isScanInFlight_ || catchingUp_;
    if (holdsChanges && indexCurrentAsOf_) return *indexCurrentAsOf_;
    const std::uint64_t delivered = watcher_ ? watcher_->lastKnownEventID() : 0;
    // Nothing delivered yet: the watches may not even be in place.
    return delivered != 0 ? delivered : watchStartEventID_;
}

void IndexCoordinator::checkpointWatchState() {
    if (!watcher_) return;
    const auto uuid = FileSystemWatcher::deviceUUID(scanRoot_());
    if (!uuid) return;
    WatchCheckpointStore::save({checkpointEventID(), *uuid},
                               WatchCheckpointStore::defaultURL(indexPath_));
}

} // namespace ulmaro
