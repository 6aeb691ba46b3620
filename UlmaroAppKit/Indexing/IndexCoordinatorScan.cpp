// The coordinator's scans: the request, the job on the scan queue, and what follows it.
#include "UlmaroAppKit/Indexing/IndexCoordinator.h"
#include "UlmaroAppKit/Indexing/ResourceGuard.h"
#include "UlmaroAppKit/Indexing/ScanMarker.h"
#include "UlmaroKit/Index/AttributeCarryForward.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "UlmaroKit/Platform/DataLocations.h"
#include "UlmaroKit/Scanning/AttributeFiller.h"
#include "UlmaroKit/Scanning/DirectoryScanner.h"
#include "UlmaroKit/Scanning/FileSystemWatcher.h"

#include <algorithm>
#include <exception>
#include <system_error>

namespace ulmaro {

/// Everything a scan job needs, by value: it reads no field of the coordinator.
struct IndexCoordinator::ScanJob {
    std::string root;
    /// Kept in the index: a start without a checkpoint resumes watching from there.
    std::uint64_t startEventID = 0;
    std::filesystem::path indexPath;
    ScanPolicy policy;
    bool fillAttributes = false;
    Store carryFrom;
    Store carryFromDelta;
    bool foreground = false;
    std::string homeDirectory;
    DirectoryScanner::Progress onProgress;
    std::function<void(std::int64_t)> onFillProgress;
    FillAttributes fill;
};

bool IndexCoordinator::beginRescan(bool foreground, std::optional<std::string> overrideRoot,
                                   bool followedByFullPass, bool fillAttributes) {
    const ResourceGuard::Verdict verdict =
        ResourceGuard::evaluate(freeBytes_(indexPath_), indexFileBytes());
    if (!verdict.canScan) {
        scanBlockedReason_ = verdict.explanation;
        // The caller may already have published `indexing` or `refreshing`; with no scan to
        // move it on, that would stand for ever and hide the reason.
        if (!isScanInFlight_ && !std::holds_alternative<Ready>(state_)) {
            publishServedOr(verdict.explanation.value_or(""));
        } else if (onUpdate) {
            onUpdate(state_, store_);
        }
        return false;
    }
    scanBlockedReason_.reset();
    if (isScanInFlight_) {
        rescanQueuedBehindCurrent_ = true;
        return true;
    }

    Store carryFrom = fillAttributes ? store_ : nullptr;
    Store carryFromDelta = fillAttributes ? liveDelta().store() : nullptr;
    currentScanProgress_ = 0;
    currentFillProgress_ = 0;
    deltaSequenceAtScanStart_ = liveDelta().nextSequence();
    // Event IDs are wall-clock times: the last one handed out is no later than this scan.
    scanStartEventID_ = FileSystemWatcher::currentEventID();
    const std::uint64_t generation = ++scanGeneration_;
    pendingFullPassAfterGeneration_ =
        followedByFullPass ? std::optional<std::uint64_t>(generation) : std::nullopt;
    std::string root = overrideRoot ? *overrideRoot : scanRoot_();

    std::weak_ptr<IndexCoordinator*> weak = self_;
    MainQueue* main = &mainQueue_;
    auto job = std::make_shared<const ScanJob>(
        ScanJob{std::move(root), scanStartEventID_, indexPath_, scanPolicy_(), fillAttributes,
                std::move(carryFrom), std::move(carryFromDelta), foreground,
                DataLocations::homeDirectory().string(),
                [weak, main, generation](std::int64_t scanned) {
                    main->post([weak, scanned, generation] {
                        if (auto self = weak.lock()) (*self)->reportProgress(scanned, generation);
                    });
                },
                [weak, main, generation](std::int64_t done) {
                    main->post([weak, done, generation] {
                        if (auto self = weak.lock()) (*self)->reportFillProgress(done, generation);
                    });
                },
                fillAttributes_});

    isScanInFlight_ = true;
    scanQueue_->async([job, weak, main, generation] {
        ScanOutcome outcome = runScanJob(*job);
        main->post([weak, outcome = std::move(outcome), generation]() mutable {
            if (auto self = weak.lock()) (*self)->finishScan(std::move(outcome), generation);
        });
    });
    return true;
}

IndexCoordinator::ScanOutcome IndexCoordinator::runScanJob(const ScanJob& job) {
    ScanMarker::create(job.indexPath);
    const bool wholeDisk = job.root == "/";
    DirectoryScanner scanner(effectivePolicy(job.root, job.policy), 3, 0.1, job.homeDirectory);
    ScanResult result = scanner.scan(job.root, 0, job.onProgress, [] { return true; });

    ScanOutcome outcome;
    // A root that could not be read says nothing about the tree: keep the index there is.
    if (result.rootError != 0) {
        outcome.failure =
            "Cannot read " + job.root + ": " + std::generic_category().message(result.rootError);
        return outcome;
    }
    if (job.fillAttributes) {
        const auto appetite = job.foreground ? AttributeFiller::Appetite::watching
                                             : AttributeFiller::Appetite::working;
        const bool carry =
            job.carryFrom && job.carryFrom->header().attrsCompleteness != AttrsCompleteness::none;
        if (carry) {
            AttributeCarryForward::carry(*job.carryFrom, result.builder);
            if (job.carryFromDelta)
                AttributeCarryForward::carry(*job.carryFromDelta, result.builder);
        }
        job.fill(result.builder, carry, appetite, job.onFillProgress);
    }
    const std::vector<VolumeEntry> volumes{
        {bootVolumeUUID(job.root), job.root, job.startEventID, true}};
    try {
        IndexWriter::write(result.builder, volumes, job.indexPath);
    } catch (const std::system_error& error) { // no space, a file or folder in the way, …
        outcome.failure = "Cannot write " + job.indexPath.string() + ": " + error.code().message();
        return outcome;
    } catch (const std::exception& error) { // a tree past the format's limits, no memory
        outcome.failure = "Cannot write " + job.indexPath.string() + ": " + error.what();
        return outcome;
    }
    if (wholeDisk)
        outcome.statistics = ScanOutcome::Statistics{
            result.duration, result.entriesScanned, result.directoriesDeniedInHome,
            result.deniedPathsInHome, result.directoriesDenied};
    ScanMarker::remove(job.indexPath);
    outcome.load = loadIndex(job.indexPath);
    return outcome;
}

void IndexCoordinator::reportProgress(std::int64_t scanned, std::uint64_t generation) {
    if (generation != scanGeneration_) return;
    currentScanProgress_ = scanned;
    if (std::holds_alternative<Indexing>(state_))
        state_ = Indexing{scanned};
    else if (const auto* refreshing = std::get_if<Refreshing>(&state_))
        state_ = Refreshing{refreshing->count, scanned};
    else
        return;
    if (onUpdate) onUpdate(state_, store_);
}

void IndexCoordinator::reportFillProgress(std::int64_t done, std::uint64_t generation) {
    if (generation != scanGeneration_) return;
    currentFillProgress_ = done;
    const std::int64_t count = store_ ? static_cast<std::int64_t>(store_->count()) : 0;
    if (onFillProgress) onFillProgress(done, std::max(currentScanProgress_, count));
}

void IndexCoordinator::publishServedOr(const std::string& explanation) {
    if (store_)
        setState(Ready{static_cast<std::int64_t>(store_->count()),
                       indexModificationDate().value_or(clock_.now())},
                 store_);
    else
        setState(Failed{explanation}, nullptr);
}

void IndexCoordinator::trimAndRebuildDelta() {
    LiveDelta& delta = liveDelta();
    delta.clear(deltaSequenceAtScanStart_, false);
    std::weak_ptr<IndexCoordinator*> weak = self_;
    delta.rebuildInBackground([weak] {
        if (auto self = weak.lock()) {
            IndexCoordinator& c = **self;
            if (c.onUpdate) c.onUpdate(c.state_, c.store_);
        }
    });
}

void IndexCoordinator::finishScan(ScanOutcome outcome, std::uint64_t generation) {
    isScanInFlight_ = false;
    if (const auto& s = outcome.statistics) {
        settings_.setDouble(Keys::lastScanDuration, s->duration);
        settings_.setStringList(Keys::lastScanVolumes, {});
        settings_.setInt(Keys::lastScanTotal, s->total);
        settings_.setInt(Keys::lastScanDenied, s->denied);
        settings_.setStringList(Keys::lastScanDeniedPaths, s->deniedPaths);
        settings_.setInt(Keys::lastScanDeniedTotal, s->deniedTotal);
    }
    if (generation == scanGeneration_) {
        if (!outcome.load.isLoaded()) {
            lastRescanFailure_ = outcome.failure.value_or(message(outcome.load.reason));
            writeError_("Ulmaro: the index was not refreshed. " + *lastRescanFailure_);
            publishServedOr(*lastRescanFailure_);
        } else {
            Store fresh = outcome.load.store;
            const auto count = static_cast<std::int64_t>(fresh->count());
            if (pendingFullPassAfterGeneration_ == generation) {
                pendingFullPassAfterGeneration_.reset();
                if (watchingSuspended_) {
                    setState(Ready{count, clock_.now()}, fresh);
                } else {
                    trimAndRebuildDelta();
                    setState(Refreshing{count, 0}, fresh);
                    startWatchingIfNeeded();
                    beginRescan(false, std::nullopt, false, true);
                }
            } else {
                trimAndRebuildDelta();
                indexCurrentAsOf_ = scanStartEventID_;
                lastRescanFailure_.reset();
                setState(Ready{count, clock_.now()}, fresh);
                startWatchingIfNeeded();
                scheduleAttributeHealIfNeeded();
            }
        }
    }
    honourQueuedExplicitRefresh();
}

void IndexCoordinator::scheduleAttributeHealIfNeeded() {
    if (!store_ || store_->header().attrsCompleteness != AttrsCompleteness::none ||
        isScanInFlight_ || watchingSuspended_)
        return;
    const WallTime now = clock_.now();
    if (lastHealAttempt_ &&
        std::chrono::duration<double>(now - *lastHealAttempt_).count() < healInterval)
        return;
    lastHealAttempt_ = now;
    beginRescan(false, std::nullopt, false, true);
}

void IndexCoordinator::honourQueuedExplicitRefresh() {
    if (watchingSuspended_) {
        rescanQueuedBehindCurrent_ = false;
        explicitRefreshQueued_ = false;
        return;
    }
    if (rescanQueuedBehindCurrent_ && !isScanInFlight_ && !explicitRefreshQueued_) {
        rescanQueuedBehindCurrent_ = false;
        beginRescan(false, std::nullopt, false, true);
        return;
    }
    rescanQueuedBehindCurrent_ = false;
    if (explicitRefreshQueued_ && !isScanInFlight_) {
        explicitRefreshQueued_ = false;
        rebuildNow();
    }
}

} // namespace ulmaro
