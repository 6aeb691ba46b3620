#include "UlmaroAppKit/Indexing/LiveDelta.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "UlmaroKit/Index/VolumeEntry.h"
#include "UlmaroKit/Platform/WorkerPool.h"
#include "UlmaroKit/Scanning/AppRule.h"
#include "UlmaroKit/Scanning/AttributeFiller.h"

#include <algorithm>
#include <array>
#include <limits>
#include <mutex>
#include <sys/stat.h>
#include <vector>

namespace ulmaro {
namespace {

constexpr std::size_t statChunk = 256;

std::string_view withoutTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return path;
}

// Folder and name of a path without trailing slashes; an empty folder is the root.
std::pair<std::string_view, std::string_view> split(std::string_view path) {
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos) return {"/", path};
    std::string_view folder = withoutTrailingSlashes(path.substr(0, slash));
    return {folder.empty() ? std::string_view("/") : folder, path.substr(slash + 1)};
}

struct TransparentHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

// The record of every folder of one build, made on first need: ancestors before their
// descendants, each folder once.
class FolderRecords {
public:
    explicit FolderRecords(IndexBuilder& builder) : builder_(builder) {}

    std::uint32_t id(std::string_view folder) {
        folder = withoutTrailingSlashes(folder);
        if (folder.empty()) folder = "/";
        std::vector<std::string_view> missing;
        std::uint32_t parent = 0;
        for (;;) {
            if (auto it = memo_.find(folder); it != memo_.end()) {
                parent = it->second;
                break;
            }
            if (folder == "/") {
                parent =
                    builder_.addEntry({}, FileRecord::rootParentID, RecordFlags::isDirectory, 0);
                memo_.emplace("/", parent);
                break;
            }
            missing.push_back(folder);
            folder = split(folder).first;
        }
        for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
            parent = builder_.addEntry(split(*it).second, parent, RecordFlags::isDirectory, 0);
            memo_.emplace(std::string(*it), parent);
        }
        return parent;
    }

    // A changed folder is the parent of the changed paths below it: its path sorts before
    // theirs, so no second record of it is made as their ancestor.
    void remember(std::string_view folder, std::uint32_t id) {
        memo_.emplace(std::string(withoutTrailingSlashes(folder)), id);
    }

private:
    IndexBuilder& builder_;
    std::unordered_map<std::string, std::uint32_t, TransparentHash, std::equal_to<>> memo_;
};

EntryKind kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return EntryKind::directory;
    if (S_ISLNK(mode)) return EntryKind::symbolicLink;
    if (S_ISREG(mode)) return EntryKind::regularFile;
    return EntryKind::other;
}

// Times past the record's 32 bits are clamped, as the attribute filler does.
std::uint32_t clampedTime(std::int64_t seconds) {
    return static_cast<std::uint32_t>(
        std::clamp<std::int64_t>(seconds, 0, std::numeric_limits<std::uint32_t>::max()));
}

// The build queue keeps background builds apart; a synchronous rebuild on the main thread
// could still meet one at the writer's temporary file.
std::mutex& writeMutex() {
    static std::mutex mutex;
    return mutex;
}

} // namespace

IndexBuilder LiveDelta::records(const Entries& paths) {
    std::vector<std::string_view> sorted;
    sorted.reserve(paths.size());
    for (const auto& [path, sequence] : paths)
        sorted.push_back(path);
    std::sort(sorted.begin(), sorted.end());

    // The stats are most of a large build: they run on the share of the pool that a job
    // in the background takes, each path into its own slot.
    struct Found {
        bool exists = false;
        mode_t mode = 0;
        std::uint64_t size = 0;
        std::int64_t mtime = 0;
    };
    std::vector<Found> found(sorted.size());
    const std::size_t chunks = (sorted.size() + statChunk - 1) / statChunk;
    parallelFor(
        chunks,
        [&](std::size_t chunk) {
            std::string terminated;
            const std::size_t end = std::min(sorted.size(), (chunk + 1) * statChunk);
            for (std::size_t i = chunk * statChunk; i < end; ++i) {
                terminated.assign(sorted[i]);
                if (terminated.find('\0') != std::string::npos) continue;
                struct stat st;
                // The entry itself, as the scanner sees it: a link is a link, dangling or not.
                if (::lstat(terminated.c_str(), &st) != 0) continue;
                found[i] = {true, st.st_mode, std::uint64_t(st.st_size), st.st_mtim.tv_sec};
            }
        },
        AttributeFiller::threadCount(AttributeFiller::Appetite::working, activeProcessorCount()));

    IndexBuilder builder;
    FolderRecords folders(builder);
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        if (!found[i].exists) continue;
        const std::string_view path = withoutTrailingSlashes(sorted[i]);
        const auto [folder, name] = split(path);
        if (name.empty()) continue;
        const EntryKind kind = kindOf(found[i].mode);
        RecordFlags flags;
        if (kind == EntryKind::directory) flags |= RecordFlags::isDirectory;
        if (kind == EntryKind::symbolicLink) flags |= RecordFlags::isSymlink;
        if (isApplication(name, kind, split(folder).second)) flags |= RecordFlags::isApp;
        const std::uint32_t id = builder.addEntry(name, folders.id(folder), flags, 0);
        builder.setAttributes(id, kind == EntryKind::directory ? 0 : found[i].size,
                              clampedTime(found[i].mtime));
        if (kind == EntryKind::directory) folders.remember(path, id);
    }
    return builder;
}

std::shared_ptr<const IndexStore> LiveDelta::build(const Entries& paths,
                                                   const std::filesystem::path& path) {
    try {
        const IndexBuilder builder = records(paths);
        if (builder.count() == 0) return nullptr;
        const std::array volumes{VolumeEntry{"delta", "/", 0, true}};
        std::lock_guard lock(writeMutex());
        // Never read after a restart, so the flushes that would make it survive a crash
        // buy nothing; the rename still keeps it whole for readers.
        IndexWriter::write(builder, volumes, path, Durability::unsynced);
        return IndexStore::open(path);
    } catch (const std::exception&) {
        // No delta rows until a later build succeeds.
        return nullptr;
    }
}

} // namespace ulmaro
