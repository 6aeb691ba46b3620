#include "UlmaroAppKit/Catalogs/CatalogCoordinator.h"
#include "UlmaroAppKit/Catalogs/CatalogPlacement.h"
#include "UlmaroAppKit/Indexing/ResourceGuard.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "UlmaroKit/Platform/AtomicFile.h"
#include "UlmaroKit/Platform/Uuid.h"
#include "UlmaroKit/Scanning/ScanPolicy.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;

// File-manager failures in the pipeline are ignored: the next job tries again.
void removeQuietly(const fs::path& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

void removeAllQuietly(const fs::path& path) {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

void createFoldersQuietly(const fs::path& path) {
    std::error_code ignored;
    fs::create_directories(path, ignored);
}

void createEmptyFile(const fs::path& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd >= 0) ::close(fd);
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::int64_t fileBytes(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return 0;
    return static_cast<std::int64_t>(st.st_size);
}

std::string resolved(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : path;
}

std::string lastComponent(const std::string& relative) {
    auto slash = relative.rfind('/');
    return slash == std::string::npos ? relative : relative.substr(slash + 1);
}

/// The end of a scan that went through, on the scan queue (its fsyncs never hold up the
/// main thread): the description first, then the index renamed over the old one, so a
/// failure on the way leaves the old pair whole. Throws what failed.
void commit(const CatalogLayout& layout, const CatalogCoordinator::Job& job,
            const MountedVolume& volume, const CatalogScanner::Outcome& outcome,
            const CatalogCoordinator::Space& space, CatalogInfo::Date now) {
    const std::string& id = job.info.id;
    CatalogInfo info = job.info;
    info.lastMountPath = volume.mountPath;
    info.fileCount = outcome.fileCount;
    info.folderCount = outcome.folderCount;
    info.totalBytes = outcome.totalBytes;
    info.rootRecordID = outcome.rootRecordID;
    info.capacityBytes = space.total         ? space.total
                         : volume.totalBytes ? volume.totalBytes
                                             : info.capacityBytes;
    info.freeBytes = space.free;
    info.lastCatalogued = info.lastConnected = now;
    info.write(layout.infoURL(id));
    const fs::path staging = CatalogCoordinator::stagingURL(layout, id);
    if (std::rename(staging.c_str(), layout.indexURL(id).c_str()) != 0) {
        const int error = errno;
        try {
            job.info.write(layout.infoURL(id));
        } catch (...) {
        }
        throw std::system_error(error, std::generic_category(), "rename");
    }
    try {
        syncDirectory(layout.directory(id));
    } catch (...) {
    }
}

} // namespace

void CatalogCoordinator::enqueue(Job job, bool isNew) {
    const std::string& id = job.info.id;
    if (std::any_of(pending_.begin(), pending_.end(),
                    [&](const Job& queued) { return queued.info.id == id; }))
        return;
    if (isScanning(id)) return;
    if (isNew) {
        auto next = pendingNew();
        next.push_back(job.info);
        pendingNew_.set(std::move(next));
    }
    pending_.push_back(std::move(job));
    changed();
    drain();
}

CatalogCoordinator::AddResult CatalogCoordinator::addFolder(const std::string& path) {
    auto location = CatalogPlacement::locate(resolved(path), mountedVolumes_());
    if (!location) return NotOnAVolume{};
    if (location->relative.empty()) return catalogDrive(location->volume);
    auto check = CatalogPlacement::check(location->volume.uuid, location->relative, knownInfos());
    if (check.conflict) return AlreadyCovered{check.conflict->name};

    CatalogInfo info;
    info.id = uuidString();
    info.kind = CatalogInfo::Kind::folder;
    info.volumeUUID = location->volume.uuid;
    info.relativeRoot = location->relative;
    info.name = lastComponent(location->relative);
    info.lastMountPath = location->volume.mountPath;
    info.capacityBytes = location->volume.totalBytes;
    std::string id = info.id;
    enqueue(Job{std::move(info), std::move(check.absorbs)}, true);
    return Started{std::move(id)};
}

void CatalogCoordinator::rescan(const std::string& id) {
    const CatalogEntry* entry = library_.entry(id);
    if (!entry || !scansFiles(entry->info) || entry->info.volumeUUID.empty()) return;
    enqueue(Job{entry->info, {}}, false);
}

bool CatalogCoordinator::forget(const std::string& id) {
    std::erase_if(pending_, [&](const Job& job) { return job.info.id == id; });
    const bool wasNew = isPendingNew(id);
    dropNew(id);
    bool forgot = true;
    if (isScanning(id)) {
        // The scan stops first; its finish clears what it left and only then moves the
        // folder away, so nothing half-written goes to the Trash with it.
        running_->flag->cancel();
        forgotten_.insert(id);
    } else if (!wasNew) {
        forgot = library_.forget(id);
    }
    syncWatchers();
    changed();
    return forgot;
}

void CatalogCoordinator::drain() {
    while (!running_ && !pending_.empty())
        if (startNext()) return;
}

bool CatalogCoordinator::startNext() {
    Job job = std::move(pending_.front());
    pending_.erase(pending_.begin());
    const std::string id = job.info.id;
    const CatalogLayout& layout = library_.layout();

    const auto volumes = mountedVolumes_();
    auto volume = std::find_if(volumes.begin(), volumes.end(), [&](const MountedVolume& v) {
        return v.uuid == job.info.volumeUUID;
    });
    const std::string root = volume == volumes.end()
                                 ? std::string()
                                 : CatalogInfo::join(volume->mountPath, job.info.relativeRoot);
    if (volume == volumes.end() || !exists(root)) {
        dropNew(id);
        changed();
        return false;
    }

    createFoldersQuietly(layout.root());
    auto verdict =
        ResourceGuard::evaluate(freeSpace_(layout.directory(id)), fileBytes(layout.indexURL(id)));
    if (!verdict.canScan) {
        if (isPendingNew(id)) {
            notice_.set("Not enough free space to catalog " + job.info.name +
                        ". Free some space and try again.");
            dropNew(id);
        } else {
            setLastError(
                id, verdict.explanation.value_or("Not enough free disk space to catalog this."));
        }
        changed();
        return false;
    }

    auto flag = std::make_shared<CancelFlag>();
    running_ = Running{job, flag, *volume};
    activity_.set(Scanning{id, job.info.name, 0});
    createFoldersQuietly(layout.directory(id));
    createEmptyFile(layout.markerURL(id));
    const ScanPolicy policy = preferences_.scanPolicy(ScanPolicy(ScanPolicy::defaultExclusions()));

    std::weak_ptr<CatalogCoordinator*> weak = self_;
    scanQueue_->async([weak, &mainQueue = mainQueue_, &clock = clock_, scan = scan_,
                       capacity = capacity_, isMounted = isMounted_, layout, root, volume = *volume,
                       staging = stagingURL(layout, id), policy, flag, id, job = std::move(job)] {
        Result result;
        try {
            result = scan(
                root, volume.uuid, staging, policy, [&flag] { return flag->shouldContinue(); },
                [weak, &mainQueue, id](std::int64_t n) {
                    mainQueue.post([weak, id, n] {
                        if (auto self = weak.lock()) (*self)->progress(n, id);
                    });
                });
        } catch (...) {
            // A drive that left while it was scanned (its root gone, or another folder now)
            // ended the scan: that is a cancelled scan, not a failed one.
            if (flag->isCancelled() || !isMounted(volume.mountPath))
                result = CatalogScanner::Outcome{.cancelled = true};
            else
                result = std::current_exception();
        }
        Space space;
        try {
            space = capacity(volume.mountPath);
        } catch (...) {
        }
        if (auto* outcome = std::get_if<CatalogScanner::Outcome>(&result);
            outcome && !outcome->cancelled) {
            // Forgotten or unplugged after the walk: nothing is written.
            if (flag->isCancelled()) {
                outcome->cancelled = true;
            } else {
                try {
                    commit(layout, job, volume, *outcome, space, clock.now());
                } catch (...) {
                    result = std::current_exception();
                }
            }
        }
        mainQueue.post([weak, job, result = std::move(result)] {
            if (auto self = weak.lock()) (*self)->finish(job, result);
        });
    });
    changed();
    return true;
}

void CatalogCoordinator::progress(std::int64_t filesSoFar, const std::string& id) {
    const auto* scanning = std::get_if<Scanning>(&activity());
    if (!scanning || scanning->id != id) return;
    activity_.set(Scanning{id, scanning->name, filesSoFar});
}

void CatalogCoordinator::finish(const Job& job, const Result& result) {
    running_.reset();
    activity_.set(Idle{});
    const std::string& id = job.info.id;
    const CatalogLayout& layout = library_.layout();
    const bool isNew = isPendingNew(id);

    if (forgotten_.erase(id) > 0) {
        removeQuietly(stagingURL(layout, id));
        removeQuietly(layout.markerURL(id));
        // A kept catalog goes to the Trash; a new one was never listed and is deleted.
        if (!library_.entry(id))
            removeAllQuietly(layout.directory(id));
        else if (library_.forget(id))
            syncWatchers();
        else
            notice_.set("Couldn\u2019t move the catalog to the Trash.");
    } else if (const auto* error = std::get_if<std::exception_ptr>(&result)) {
        fail(job, isNew, *error);
    } else if (const auto& outcome = std::get<CatalogScanner::Outcome>(result); outcome.cancelled) {
        removeQuietly(stagingURL(layout, id));
        removeQuietly(layout.markerURL(id));
        if (isNew) removeAllQuietly(layout.directory(id));
        dropNew(id);
    } else {
        succeed(job);
    }
    changed();
    drain();
}

void CatalogCoordinator::succeed(const Job& job) {
    const std::string& id = job.info.id;
    removeQuietly(library_.layout().markerURL(id));
    setLastError(id, std::nullopt);
    dropNew(id);
    library_.reload(id);
    syncWatchers();
    for (const auto& absorbed : job.absorbs)
        forget(absorbed);
}

void CatalogCoordinator::fail(const Job& job, bool isNew, const std::exception_ptr& error) {
    const std::string& id = job.info.id;
    const CatalogLayout& layout = library_.layout();
    const std::string message = "Couldn\u2019t save the catalog: " + describe(error);
    setLastError(id, message);
    removeQuietly(stagingURL(layout, id));
    if (isNew) {
        notice_.set(job.info.name + ": " + message);
        removeAllQuietly(layout.directory(id));
    }
    dropNew(id);
}

void CatalogCoordinator::dropNew(const std::string& id) {
    if (!isPendingNew(id)) return;
    auto next = pendingNew();
    std::erase_if(next, [&](const CatalogInfo& info) { return info.id == id; });
    pendingNew_.set(std::move(next));
}

bool CatalogCoordinator::isPendingNew(const std::string& id) const {
    return std::any_of(pendingNew().begin(), pendingNew().end(),
                       [&](const CatalogInfo& info) { return info.id == id; });
}

void CatalogCoordinator::setLastError(const std::string& id, std::optional<std::string> message) {
    auto errors = lastErrors();
    if (message) {
        errors[id] = std::move(*message);
    } else if (errors.erase(id) == 0) {
        return;
    }
    lastErrors_.set(std::move(errors));
}

} // namespace ulmaro
