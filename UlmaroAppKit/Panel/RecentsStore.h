#pragma once

#include "UlmaroAppKit/Panel/RecentFileEntry.h"
#include "UlmaroAppKit/Panel/RecentSearchEntry.h"
#include "UlmaroAppKit/Platform/SettingsStore.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

/// The last few queries run and items opened, newest first, each list kept under its own
/// settings key as the JSON text of the whole list. Unreadable stored lists read as empty
/// and are replaced by the next write. Main thread only.
class RecentsStore {
public:
    static constexpr std::size_t searchCap = 5;
    static constexpr std::size_t fileCap = 5;

    RecentsStore(std::shared_ptr<SettingsStore> store, std::string searchesKey,
                 std::string filesKey);

    const std::vector<RecentSearchEntry>& recentSearches() const { return searches_; }
    const std::vector<RecentFileEntry>& recentFiles() const { return files_; }

    /// Called after every record or clear, once the lists are written.
    std::function<void()> onChange;

    /// Puts the query in front, dropping every older entry that equals it or is a prefix
    /// of it (case-sensitive), and keeps the newest five.
    void recordSearch(std::string_view query, std::int64_t resultCount, WallTime at);
    /// Puts the item in front, dropping the older entry of the same path, and keeps the
    /// newest five. A path that is not valid UTF-8 is not recorded.
    void recordOpened(std::string_view path, std::string_view name, WallTime at);
    /// Empties both lists.
    void clearAll();

private:
    void writeSearches();
    void writeFiles();
    void changed();

    std::shared_ptr<SettingsStore> store_;
    std::string searchesKey_;
    std::string filesKey_;
    std::vector<RecentSearchEntry> searches_;
    std::vector<RecentFileEntry> files_;
};

} // namespace ulmaro
