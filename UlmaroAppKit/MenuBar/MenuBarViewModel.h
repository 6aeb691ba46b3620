#pragma once

#include "UlmaroAppKit/Indexing/IndexHealth.h"
#include "UlmaroAppKit/MenuBar/LoginItemViewModel.h"
#include "UlmaroAppKit/Panel/RecentFileEntry.h"
#include "UlmaroAppKit/Panel/RecentSearchEntry.h"
#include "UlmaroAppKit/Panel/SavedSearch.h"
#include "UlmaroAppKit/Platform/Clock.h"
#include "UlmaroAppKit/Settings/HotKeyStatus.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace ulmaro {

/// Everything the tray icon, its tooltip and its menu show, as one plain value that the
/// coordinator assembles afresh whenever any of it changes. Every text is derived on
/// demand; nothing is cached.
struct MenuBarViewModel {
    /// The first build of the index.
    struct Indexing {
        std::int64_t filesSoFar = 0;
        friend bool operator==(const Indexing&, const Indexing&) = default;
    };
    struct Ready {
        std::int64_t count = 0;
        WallTime indexedAt{};
        friend bool operator==(const Ready&, const Ready&) = default;
    };
    /// A background rescan of a loaded index.
    struct Refreshing {
        std::int64_t count = 0;
        std::int64_t filesSoFar = 0;
        friend bool operator==(const Refreshing&, const Refreshing&) = default;
    };
    /// Shown as it stands.
    struct Failed {
        std::string message{};
        friend bool operator==(const Failed&, const Failed&) = default;
    };
    /// This copy serves no index (a second copy of the application).
    struct Unavailable {
        std::string message{};
        friend bool operator==(const Unavailable&, const Unavailable&) = default;
    };
    /// This computer is not searched; only catalogs are.
    struct CatalogOnly {
        std::int64_t catalogs = 0;
        std::int64_t files = 0;
        friend bool operator==(const CatalogOnly&, const CatalogOnly&) = default;
    };
    struct Loading {
        friend bool operator==(const Loading&, const Loading&) = default;
    };
    using IndexAvailability =
        std::variant<Indexing, Ready, Refreshing, Failed, Unavailable, CatalogOnly, Loading>;

    struct CatalogStatus {
        std::string id{};
        std::string name{};
        bool isOnline = false;
        bool isScanning = false;
        bool isDamaged = false;

        /// "Damaged", "Cataloguing…", "Connected" or "Offline", the first that holds.
        std::string_view statusText() const;
        std::string_view symbolName() const;
        friend bool operator==(const CatalogStatus&, const CatalogStatus&) = default;
    };

    struct RecentSearchLine {
        std::string query{};
        /// "1 result", "1,234 results".
        std::string resultCountLabel{};
        friend bool operator==(const RecentSearchLine&, const RecentSearchLine&) = default;
    };

    struct RecentFileLine {
        std::string name{};
        std::string path{};
        friend bool operator==(const RecentFileLine&, const RecentFileLine&) = default;
    };

    struct IconState {
        enum class Glyph { ready, working, failed };
        std::string markIdentifier{};
        Glyph glyph = Glyph::ready;
        std::string accessibilityDescription{};
        friend bool operator==(const IconState&, const IconState&) = default;
    };

    IndexAvailability indexState = Loading{};
    std::vector<RecentSearchEntry> recentSearches{};
    std::vector<RecentFileEntry> recentFiles{};
    LoginItemViewModel::DisplayState startAtLogin = LoginItemViewModel::DisplayState::off;
    std::vector<SavedSearch> savedSearches{};
    /// Folders the last scan could not read, and their absolute paths.
    std::int64_t deniedDirectories = 0;
    std::vector<std::string> deniedPaths{};
    /// Absent while this computer is not searched.
    std::optional<IndexHealth> health{};
    std::vector<CatalogStatus> catalogs{};
    /// The global shortcut could not be registered after its retries.
    bool hotKeyUnavailable = false;
    /// The summon shortcut as it stands: the search item shows the key held, and a session
    /// without global keys says so instead of offering a change.
    HotKeyStatus hotKey{};

    /// The tooltip: "Ulmaro — 1,234 files · indexed 5m ago".
    std::string summaryLine(WallTime now) const;
    IconState iconState() const;
    std::string startAtLoginMenuTitle() const;
    /// The first five recent searches.
    std::vector<RecentSearchLine> recentSearchLines() const;
    std::vector<RecentFileLine> recentFileLines() const;
    bool hasRecentSearches() const { return !recentSearches.empty(); }
    bool hasRecentFiles() const { return !recentFiles.empty(); }
    bool hasAnyRecents() const { return hasRecentSearches() || hasRecentFiles(); }

    /// The age of `date` at `now` in whole minutes, hours or days ("just now", "5m ago",
    /// "23h ago", "1d ago"); a date in the future is "just now".
    static std::string relative(WallTime date, WallTime now);

    friend bool operator==(const MenuBarViewModel&, const MenuBarViewModel&) = default;
};

} // namespace ulmaro
