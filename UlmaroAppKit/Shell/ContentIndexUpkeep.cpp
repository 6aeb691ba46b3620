#include "UlmaroAppKit/Shell/ContentIndexUpkeep.h"

#include "UlmaroKit/Content/ContentIndex.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <sys/stat.h>
#include <system_error>
#include <utility>

namespace ulmaro {
namespace {

using Index = ContentIndexHolder::Index;

bool isUnder(std::string_view path, std::string_view folder) {
    return path.size() > folder.size() + 1 && path.starts_with(folder) &&
           path[folder.size()] == '/';
}

bool hasDocumentExtension(std::string_view path) {
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return false;
    std::string extension(path.substr(dot + 1));
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ContentIndexBuilder::extensions().contains(extension);
}

bool isGone(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

using Epoch = std::shared_ptr<const std::atomic<std::uint64_t>>;

// On the work queue: only work that is still current writes. Work made stale later is
// followed on the same queue by whatever made it stale (the file's removal).
void writeSilently(const ContentIndex& index, const std::filesystem::path& path,
                   const Epoch& current, std::uint64_t epoch) {
    if (current->load() != epoch) return;
    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
    try {
        index.write(path);
    } catch (const std::exception&) {
    }
}

// One incremental update over a copy: the new index, or none when nothing changed.
Index applyChanges(ContentIndex index, const std::vector<std::string>& paths,
                   const std::filesystem::path& file, const ContentIndexBuilder::Extract& extract,
                   ContentIndexBuilder::TextBudget budget, const Epoch& current,
                   std::uint64_t epoch) {
    auto admission = ContentIndexBuilder::withinTextBudget(paths, index, budget);
    bool changed = index.remove(admission.displaced) > 0;
    for (const std::string& path : admission.paths) {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            changed = index.remove(path) || changed;
            continue;
        }
        const double modified = static_cast<double>(st.st_mtim.tv_sec) + st.st_mtim.tv_nsec / 1e9;
        if (!index.isStale(path, modified)) continue;
        auto text = extract(path);
        if (!text || text->empty()) continue; // a stale stored text stays
        index.upsert(path, modified, *text);
        changed = true;
    }
    const bool trimmed = ContentIndexBuilder::enforceTextBudget(index, budget);
    if (!changed && !trimmed) return nullptr;
    index.compactIfNeeded(ContentIndexUpkeep::compactionThreshold);
    writeSilently(index, file, current, epoch);
    return std::make_shared<const ContentIndex>(std::move(index));
}

} // namespace

ContentIndexUpkeep::ContentIndexUpkeep(std::filesystem::path contentIndexPath,
                                       Dependencies dependencies)
    : path_(std::move(contentIndexPath)), mainQueue_(dependencies.mainQueue),
      work_(std::move(dependencies.work)), holder_(std::move(dependencies.holder)),
      contentFolders_(std::move(dependencies.contentFolders)),
      readableFolders_(std::move(dependencies.readableFolders)),
      extract_(dependencies.extract
                   ? std::move(dependencies.extract)
                   : ContentIndexBuilder::Extract(&ContentIndexBuilder::defaultExtract)),
      budget_(dependencies.budget), self_(std::make_shared<ContentIndexUpkeep*>(this)) {}

ContentIndexUpkeep::~ContentIndexUpkeep() = default;

std::filesystem::path
ContentIndexUpkeep::contentIndexURL(const std::filesystem::path& indexPath,
                                    const std::filesystem::path& defaultIndexPath) {
    if (indexPath == defaultIndexPath) return indexPath.parent_path() / "content.bin";
    std::filesystem::path path = indexPath;
    path += ".content";
    return path;
}

void ContentIndexUpkeep::install(const Index& index) {
    holder_->setCurrent(index);
    if (onHasContentIndex) onHasContentIndex(index && !index->isEmpty());
}

void ContentIndexUpkeep::loadFromDisk() {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path_, error)) return;
    try {
        install(std::make_shared<const ContentIndex>(ContentIndex::read(path_)));
    } catch (const std::exception&) {
    }
}

void ContentIndexUpkeep::buildIfNeeded() {
    if (contentFolders_().empty()) {
        // A build or update still running made its index for folders no longer chosen.
        makeWorkStale();
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
        work_->async([file = path_] {
            std::error_code none;
            std::filesystem::remove(file, none);
        });
        holder_->setCurrent(nullptr);
        if (onHasContentIndex) onHasContentIndex(false);
        foldersAtLastBuild_ = std::vector<std::string>{};
        return;
    }
    std::vector<std::string> readable = readableFolders_();
    if (readable.empty()) return;
    if (holder_->current() && foldersAtLastBuild_ == readable) return;
    if (isBuilding_) {
        buildWanted_ = true; // the folders may differ from the running build's
        return;
    }
    // One piece of work at a time: each works on its own copy, and the later would undo
    // the earlier's.
    if (updateRunning_) {
        buildWanted_ = true;
        return;
    }
    startBuild(std::move(readable));
}

void ContentIndexUpkeep::startBuild(std::vector<std::string> readable) {
    buildWanted_ = false;
    isBuilding_ = true;
    foldersAtLastBuild_ = readable;
    Index previous = holder_->current();
    std::weak_ptr<ContentIndexUpkeep*> weak = self_;
    MainQueue* main = &mainQueue_;
    work_->async([weak, main, previous, readable = std::move(readable), file = path_,
                  extract = extract_, budget = budget_, current = Epoch(epoch_),
                  epoch = epoch_->load()] {
        auto built = std::make_shared<const ContentIndex>(ContentIndexBuilder::build(
            readable, previous.get(), [] { return false; }, {}, budget, extract));
        writeSilently(*built, file, current, epoch);
        main->post([weak, built, epoch] {
            auto self = weak.lock();
            if (!self) return;
            ContentIndexUpkeep& upkeep = **self;
            upkeep.isBuilding_ = false;
            if (epoch == upkeep.epoch_->load()) upkeep.install(built);
            if (std::exchange(upkeep.buildWanted_, false)) upkeep.buildIfNeeded();
            upkeep.drain();
        });
    });
}

void ContentIndexUpkeep::updateForChanged(const std::vector<std::string>& paths) {
    const std::vector<std::string> readable = readableFolders_();
    if (readable.empty()) return;
    const Index current = holder_->current();
    if (!current) return;
    bool queued = false;
    for (const std::string& path : paths) {
        const bool inside = std::any_of(readable.begin(), readable.end(),
                                        [&](const std::string& f) { return isUnder(path, f); });
        if (inside && hasDocumentExtension(path)) {
            pending_.insert(path);
            queued = true;
            continue;
        }
        // A folder trashed or moved away is reported alone: its documents go with it.
        const bool insideOrFolder =
            inside || std::find(readable.begin(), readable.end(), path) != readable.end();
        if (!insideOrFolder || !isGone(path)) continue;
        const std::string below = path + "/";
        for (const auto& document : current->documents()) {
            if (document.path.starts_with(below)) {
                pending_.insert(document.path);
                queued = true;
            }
        }
    }
    if (queued) drain();
}

void ContentIndexUpkeep::drain() {
    if (updateRunning_ || isBuilding_ || pending_.empty()) return;
    Index copy = holder_->current();
    if (!copy) return;
    std::vector<std::string> paths(pending_.begin(), pending_.end());
    pending_.clear();
    updateRunning_ = true;
    std::weak_ptr<ContentIndexUpkeep*> weak = self_;
    MainQueue* main = &mainQueue_;
    work_->async([weak, main, copy, paths = std::move(paths), file = path_, extract = extract_,
                  budget = budget_, current = Epoch(epoch_), epoch = epoch_->load()] {
        Index updated = applyChanges(*copy, paths, file, extract, budget, current, epoch);
        main->post([weak, updated, epoch] {
            auto self = weak.lock();
            if (!self) return;
            ContentIndexUpkeep& upkeep = **self;
            upkeep.updateRunning_ = false;
            if (updated && epoch == upkeep.epoch_->load()) upkeep.install(updated);
            if (std::exchange(upkeep.buildWanted_, false)) upkeep.buildIfNeeded();
            upkeep.drain();
        });
    });
}

void ContentIndexUpkeep::makeWorkStale() {
    epoch_->fetch_add(1);
    buildWanted_ = false;
    pending_.clear();
}

void ContentIndexUpkeep::disable() {
    makeWorkStale();
    foldersAtLastBuild_.reset();
    install(nullptr);
}

} // namespace ulmaro
