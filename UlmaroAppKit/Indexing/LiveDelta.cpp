#include "UlmaroAppKit/Indexing/LiveDelta.h"

#include "UlmaroKit/Index/IndexStore.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <system_error>
#include <utility>
#include <vector>

namespace ulmaro {
namespace {

enum class Presence { present, gone, unknown };

// Gone only when the entry is certainly absent: a path the kernel cannot judge (too long,
// a folder on the way not searchable) must not hide the main index's record of it.
Presence presence(const std::string& path) {
    if (path.find('\0') != std::string::npos) return Presence::unknown; // no such name
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0) return Presence::present;
    return errno == ENOENT || errno == ENOTDIR ? Presence::gone : Presence::unknown;
}

void removeFile(const std::filesystem::path& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

} // namespace

LiveDelta::LiveDelta(const std::filesystem::path& indexPath, std::size_t cap,
                     std::shared_ptr<SerialQueue> buildQueue, MainQueue& mainQueue)
    : deltaPath_(indexPath.parent_path() / "delta.bin"), cap_(cap),
      buildQueue_(std::move(buildQueue)), mainQueue_(mainQueue),
      self_(std::make_shared<LiveDelta*>(this)) {}

void LiveDelta::apply(std::span<const std::string> paths) {
    for (const std::string& path : paths) {
        switch (presence(path)) {
        case Presence::present:
            changed_.insert_or_assign(path, nextSequence_);
            tombstones_.erase(path);
            break;
        case Presence::gone:
            tombstones_.insert_or_assign(path, nextSequence_);
            changed_.erase(path);
            break;
        case Presence::unknown:
            // Neither shown nor hidden: whatever the main index says stands.
            changed_.erase(path);
            tombstones_.erase(path);
            break;
        }
        ++nextSequence_;
    }

    if (changed_.size() <= cap_) return;
    const std::size_t keep = cap_ / 4 * 3 + cap_ % 4 * 3 / 4; // 3/4 of any cap, no overflow
    const std::size_t drop = changed_.size() - keep;
    // Sequence numbers are unique, so the drop-th smallest one splits old from new exactly.
    std::vector<std::uint64_t> sequences;
    sequences.reserve(changed_.size());
    for (const auto& [path, sequence] : changed_)
        sequences.push_back(sequence);
    std::nth_element(sequences.begin(), sequences.begin() + static_cast<std::ptrdiff_t>(drop),
                     sequences.end());
    const std::uint64_t oldestKept = keep == 0 ? nextSequence_ : sequences[drop];
    std::erase_if(changed_, [oldestKept](const auto& entry) { return entry.second < oldestKept; });
}

std::unordered_set<std::string> LiveDelta::removed() const {
    std::unordered_set<std::string> paths;
    paths.reserve(tombstones_.size());
    for (const auto& [path, sequence] : tombstones_)
        paths.insert(path);
    return paths;
}

void LiveDelta::clear(std::uint64_t before, bool rebuild) {
    auto older = [before](const auto& entry) { return entry.second < before; };
    std::erase_if(changed_, older);
    std::erase_if(tombstones_, older);
    if (rebuild) this->rebuild();
}

void LiveDelta::clear() {
    changed_.clear();
    tombstones_.clear();
    dropStore();
}

void LiveDelta::rebuild() {
    if (changed_.empty()) return dropStore();
    // A build still in flight describes older changes than this one.
    ++rebuildGeneration_;
    store_ = build(changed_, deltaPath_);
}

void LiveDelta::rebuildInBackground(Completion completion) {
    if (changed_.empty()) {
        dropStore();
        if (completion) completion();
        return;
    }
    const std::uint64_t generation = ++rebuildGeneration_;
    std::weak_ptr<LiveDelta*> weak = self_;
    MainQueue* mainQueue = &mainQueue_;
    buildQueue_->async([snapshot = changed_, path = deltaPath_, weak, generation, mainQueue,
                        completion = std::move(completion)]() mutable {
        auto built = build(snapshot, path);
        mainQueue->post([weak, generation, built = std::move(built),
                         completion = std::move(completion)]() mutable {
            auto self = weak.lock();
            if (!self) return;
            LiveDelta& delta = **self;
            if (delta.rebuildGeneration_ != generation) return;
            delta.store_ = std::move(built);
            if (completion) completion();
        });
    });
}

void LiveDelta::dropStore() {
    // Also voids a build in flight: it would bring back paths deleted since.
    ++rebuildGeneration_;
    store_.reset();
    removeFile(deltaPath_);
}

} // namespace ulmaro
