#pragma once

#include "UlmaroAppKit/Indexing/ContentIndexHolder.h"
#include "UlmaroAppKit/Platform/MainQueue.h"
#include "UlmaroAppKit/Platform/SerialQueue.h"
#include "UlmaroKit/Content/ContentIndexBuilder.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace ulmaro {

/// Keeps the document content index ("content.bin") in step with the user's content
/// folders: loads it, rebuilds it when the readable folders change, applies changed files,
/// and deletes it when there are no content folders. The held index lives in a
/// `ContentIndexHolder`, which the search engine reads.
///
/// Every member runs on the main queue; builds and updates run on the work queue over a
/// copy and come back through the main queue. A build and an update never run at once: an
/// update waits for a running build, and a build wanted during an update starts after it.
/// `disable()` (this computer no longer searched) and removing every content folder make
/// every piece of work in flight stale: it then writes no "content.bin", installs nothing
/// and only clears its running flag.
class ContentIndexUpkeep {
public:
    struct Dependencies {
        MainQueue& mainQueue;
        /// The global utility queue.
        std::shared_ptr<SerialQueue> work;
        std::shared_ptr<ContentIndexHolder> holder;
        /// The folders the user chose.
        std::function<std::vector<std::string>()> contentFolders;
        /// Those of them whose documents may be read now.
        std::function<std::vector<std::string>()> readableFolders;
        /// `ContentIndexBuilder::defaultExtract` unless a test says.
        ContentIndexBuilder::Extract extract = {};
        ContentIndexBuilder::TextBudget budget = ContentIndexBuilder::TextBudget::standard;
    };

    static constexpr double compactionThreshold = 0.25;

    ContentIndexUpkeep(std::filesystem::path contentIndexPath, Dependencies dependencies);
    ~ContentIndexUpkeep();
    ContentIndexUpkeep(const ContentIndexUpkeep&) = delete;
    ContentIndexUpkeep& operator=(const ContentIndexUpkeep&) = delete;

    /// "content.bin" beside the default index; any other index x.bin gives x.bin.content.
    static std::filesystem::path contentIndexURL(const std::filesystem::path& indexPath,
                                                 const std::filesystem::path& defaultIndexPath);

    /// Told whether the held index has documents, whenever one is installed.
    std::function<void(bool)> onHasContentIndex;

    /// Reads "content.bin" into the holder; a missing or unreadable file changes nothing.
    void loadFromDisk();
    /// Builds anew when the readable folders differ from the last build's (or nothing is
    /// held); deletes the file and empties the holder when no folder is chosen.
    void buildIfNeeded();
    /// Queues the changed documents inside the readable folders and applies them. A path
    /// that is gone and had documents below it (a folder trashed or moved away) takes
    /// those documents out too.
    void updateForChanged(const std::vector<std::string>& paths);
    /// This computer is no longer searched: the holder empties and work in flight is stale.
    void disable();

    bool isBuilding() const { return isBuilding_; }
    bool isUpdating() const { return updateRunning_; }
    const std::filesystem::path& path() const { return path_; }

private:
    void startBuild(std::vector<std::string> readable);
    void drain();
    void install(const ContentIndexHolder::Index& index);
    void makeWorkStale();

    std::filesystem::path path_;
    MainQueue& mainQueue_;
    std::shared_ptr<SerialQueue> work_;
    std::shared_ptr<ContentIndexHolder> holder_;
    std::function<std::vector<std::string>()> contentFolders_;
    std::function<std::vector<std::string>()> readableFolders_;
    ContentIndexBuilder::Extract extract_;
    ContentIndexBuilder::TextBudget budget_;

    bool isBuilding_ = false;
    bool buildWanted_ = false;
    bool updateRunning_ = false;
    std::optional<std::vector<std::string>> foldersAtLastBuild_;
    std::set<std::string> pending_;
    /// Moves on whenever work in flight becomes stale; read by that work before it writes.
    std::shared_ptr<std::atomic<std::uint64_t>> epoch_ =
        std::make_shared<std::atomic<std::uint64_t>>(0);
    std::shared_ptr<ContentIndexUpkeep*> self_;
};

} // namespace ulmaro
