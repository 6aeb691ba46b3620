#include "UlmaroAppKit/Indexing/IndexCoordinator.h"

#include "UlmaroAppKit/Indexing/ResourceGuard.h"
#include "UlmaroAppKit/Indexing/ScanMarker.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Platform/AtomicFile.h"
#include "UlmaroKit/Scanning/FileSystemWatcher.h"
#include "UlmaroKit/Scanning/FilesystemEstimate.h"

#include <algorithm>
#include <cassert>
#include <iostream>
#include <sys/stat.h>
#include <system_error>

namespace ulmaro {

IndexCoordinator::IndexCoordinator(std::filesystem::path indexPath,
                                   std::function<std::string()> scanRoot,
                                   std::function<ScanPolicy()> scanPolicy, double staleAfter,
                                   Dependencies dependencies)
    : indexPath_(std::move(indexPath)), scanRoot_(std::move(scanRoot)),
      scanPolicy_(std::move(scanPolicy)), staleAfter_(staleAfter),
      mainQueue_(dependencies.mainQueue), clock_(dependencies.clock), timers_(dependencies.timers),
      settings_(dependencies.settings), scanQueue_(dependencies.queues.makeQueue(
                                            "app.ulmaro.index-coordinator", QueueQuality::utility)),
      deltaQueue_(std::move(dependencies.deltaQueue)),
      freeBytes_(dependencies.freeBytes ? std::move(dependencies.freeBytes)
                                        : FreeBytes([](const std::filesystem::path& p) {
                                              return ResourceGuard::freeBytes(p);
                                          })),
      fillAttributes_(dependencies.fillAttributes
                          ? std::move(dependencies.fillAttributes)
                          : FillAttributes([](IndexBuilder& builder, bool onlyMissing,
                                              AttributeFiller::Appetite appetite,
                                              const std::function<void(std::int64_t)>& progress) {
                                AttributeFiller::fill(
                                    builder, [] { return true; }, onlyMissing, appetite, progress);
                            })),
      makeWatcher_(dependencies.makeWatcher ? std::move(dependencies.makeWatcher)
                                            : fileSystemChangeWatchers()),
      writeError_(dependencies.writeError
                      ? std::move(dependencies.writeError)
                      : [](const std::string& line) { std::cerr << line << '\n'; }),
      self_(std::make_shared<IndexCoordinator*>(this)) {}

IndexCoordinator::~IndexCoordinator() {
    // No signal may be on its way while the rest goes.
    if (watcher_) watcher_->stop();
}

LiveDelta& IndexCoordinator::liveDelta() {
    if (!liveDelta_)
        liveDelta_ = std::make_unique<LiveDelta>(indexPath_, deltaCap, deltaQueue_, mainQueue_);
    return *liveDelta_;
}

void IndexCoordinator::setState(State state, Store store) {
    state_ = std::move(state);
    store_ = std::move(store);
    if (onUpdate) onUpdate(state_, store_);
}

void IndexCoordinator::start() {
    watchingSuspended_ = false;
    // What writers that died left in the data folder ("index.bin.tmp.…", "delta.bin.tmp.…").
    removeLeftoverTemporaries(indexPath_.parent_path());
    std::error_code ignored;
    const bool markerExisted = std::filesystem::exists(ScanMarker::path(indexPath_), ignored);
    IndexLoadOutcome outcome = loadIndex(indexPath_);
    if (!outcome.isLoaded()) {
        setState(Indexing{0}, nullptr);
        if (shouldSplitIntoTwoPasses(scanRoot_(), fastRoot))
            beginRescan(true, std::string(fastRoot), true, false);
        else
            beginRescan(true, std::nullopt, false, true);
        return;
    }
    const WallTime now = clock_.now();
    const WallTime indexedAt = indexModificationDate().value_or(now);
    const double age = std::chrono::duration<double>(now - indexedAt).count();
    const auto& header = outcome.store->header();
    setState(Ready{static_cast<std::int64_t>(header.recordCount), indexedAt}, outcome.store);
    startWatchingIfNeeded();
    if (age >= staleAfter_ || header.attrsCompleteness == AttrsCompleteness::none || markerExisted)
        beginRescan(false, std::nullopt, false, true);
}

bool IndexCoordinator::shouldSplitIntoTwoPasses(const std::string& fullRoot,
                                                const std::string& fastRoot) {
    if (fullRoot != "/" || fastRoot == "/" || !fastRoot.starts_with('/')) return false;
    struct stat st;
    return ::lstat(fastRoot.c_str(), &st) == 0;
}

void IndexCoordinator::rebuildNow() {
    if (isScanInFlight_) {
        explicitRefreshQueued_ = true;
        return;
    }
    if (const auto* ready = std::get_if<Ready>(&state_))
        setState(Refreshing{ready->count, 0}, store_);
    else
        setState(Indexing{0}, store_);
    beginRescan(false, std::nullopt, false, true);
}

std::string IndexCoordinator::message(const RebuildReason& reason) {
    switch (reason.kind) {
    case RebuildReason::Kind::versionMismatch:
        return "Index format v" + std::to_string(reason.found) + " doesn't match this build (v" +
               std::to_string(reason.expected) + ").";
    case RebuildReason::Kind::missing:
        return "No index found.";
    case RebuildReason::Kind::corrupt:
        return "Index file is corrupt.";
    case RebuildReason::Kind::truncated:
        return "Index file is incomplete.";
    case RebuildReason::Kind::badMagic:
        return "Index file is not a valid Ulmaro index.";
    case RebuildReason::Kind::tooManyVolumes:
        return "Index references more volumes than this build supports.";
    }
    return "Index file is corrupt.";
}

std::optional<WallTime> IndexCoordinator::indexModificationDate() const {
    struct stat st;
    if (::stat(indexPath_.c_str(), &st) != 0) return std::nullopt;
    return WallTime(std::chrono::duration_cast<WallTime::duration>(
        std::chrono::seconds(st.st_mtim.tv_sec) + std::chrono::nanoseconds(st.st_mtim.tv_nsec)));
}

std::int64_t IndexCoordinator::indexFileBytes() const {
    struct stat st;
    if (::stat(indexPath_.c_str(), &st) != 0) return 0;
    return static_cast<std::int64_t>(st.st_size);
}

IndexHealth IndexCoordinator::health() {
    assert(mainQueue_.isCurrent());
    IndexHealth h;
    const std::int64_t count = store_ ? static_cast<std::int64_t>(store_->count()) : 0;
    h.fileCount = count;
    h.indexBytes = static_cast<std::uint64_t>(indexFileBytes());
    h.footprintBytes = IndexHealth::currentFootprint();
    h.lastIndexed = indexModificationDate();
    h.deniedDirectories = lastDeniedDirectories();
    h.attrs = store_ ? store_->header().attrsCompleteness : AttrsCompleteness::none;
    h.pendingLiveChanges = static_cast<std::int64_t>(liveDelta().changed().size());
    h.isLoaded = store_ != nullptr;
    h.lastFailure = lastRescanFailure_;
    h.scanBlocked = scanBlockedReason_;
    h.isScanning = isScanInFlight_;
    h.scannedSoFar = currentScanProgress_;
    h.expectedTotal = expectedTotal();
    h.expectedTotalIsEstimate = expectedTotalIsEstimate();
    h.lastScanDuration = lastScanDuration();
    h.stalledFor = 0;
    h.fillProgress = currentFillProgress_;
    h.fillTotal = std::max(count, currentScanProgress_);
    return h;
}

IndexCoverage IndexCoordinator::coverage() const {
    return {store_ ? static_cast<std::int64_t>(store_->count()) : 0, lastDeniedDirectories()};
}

std::int64_t IndexCoordinator::lastDeniedDirectories() const {
    return settings_.intValue(Keys::lastScanDenied).value_or(0);
}

std::vector<std::string> IndexCoordinator::lastDeniedPaths() const {
    return settings_.stringListValue(Keys::lastScanDeniedPaths)
        .value_or(std::vector<std::string>{});
}

std::optional<std::int64_t> IndexCoordinator::expectedTotal() const {
    if (!expectedTotalIsEstimate()) return settings_.intValue(Keys::lastScanTotal);
    return FilesystemEstimate::usedInodes();
}

bool IndexCoordinator::expectedTotalIsEstimate() const {
    return settings_.intValue(Keys::lastScanTotal).value_or(0) < 1;
}

std::optional<double> IndexCoordinator::lastScanDuration() const {
    const auto duration = settings_.doubleValue(Keys::lastScanDuration);
    const auto volumes = settings_.stringListValue(Keys::lastScanVolumes);
    if (!duration || *duration <= 0 || !volumes || !volumes->empty()) return std::nullopt;
    return duration;
}

std::string bootVolumeUUID(const std::string& root) {
    auto uuid = FileSystemWatcher::deviceUUID(root);
    return uuid && !uuid->empty() ? *uuid : std::string("local");
}

} // namespace ulmaro
