#pragma once

#include "UlmaroAppKit/Indexing/IndexCoordinator.h"
#include "UlmaroAppKit/Indexing/IndexHealth.h"
#include "UlmaroAppKit/Panel/RecentFileEntry.h"
#include "UlmaroAppKit/Panel/RecentSearchEntry.h"
#include "UlmaroAppKit/Panel/SavedSearch.h"
#include "UlmaroAppKit/Platform/Clock.h"
#include "UlmaroAppKit/Shell/LoginItemViewModel.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace ulmaro {

/// What the menu-bar item shows, as the application coordinator assembles it: the index
/// line, the lists, the start-at-login state and the catalogs.
struct MenuBarContent {
    // The main index's states, as the index coordinator publishes them.
    using Indexing = IndexCoordinator::Indexing;
    using Ready = IndexCoordinator::Ready;
    using Refreshing = IndexCoordinator::Refreshing;
    using Failed = IndexCoordinator::Failed;
    using Loading = IndexCoordinator::Loading;
    /// This computer is not searched: only catalogs are.
    struct CatalogOnly {
        std::int64_t catalogs = 0;
        std::int64_t files = 0;
        friend bool operator==(const CatalogOnly&, const CatalogOnly&) = default;
    };
    struct Unavailable {
        std::string text;
        friend bool operator==(const Unavailable&, const Unavailable&) = default;
    };
    using IndexAvailability =
        std::variant<Indexing, Ready, Refreshing, Failed, Loading, CatalogOnly, Unavailable>;

    struct CatalogStatus {
        std::string id;
        std::string name;
        bool isOnline = false;
        bool isScanning = false;
        bool isDamaged = false;
        friend bool operator==(const CatalogStatus&, const CatalogStatus&) = default;
    };

    IndexAvailability indexState = Loading{};
    std::vector<RecentSearchEntry> recentSearches;
    std::vector<RecentFileEntry> recentFiles;
    LoginItemViewModel::DisplayState startAtLogin = LoginItemViewModel::DisplayState::off;
    std::vector<SavedSearch> savedSearches;
    std::int64_t deniedDirectories = 0;
    std::vector<std::string> deniedPaths;
    std::optional<IndexHealth> health;
    std::vector<CatalogStatus> catalogs;
    bool hotKeyUnavailable = false;
};

/// The menu's requests, handed to the menu-bar item when it is made.
struct MenuBarActions {
    std::function<void()> onQuit;
    std::function<void()> onSearch;
    std::function<void()> onRebuild;
    std::function<void(const std::string& query)> onSelectRecentSearch;
    std::function<void(const std::string& path)> onSelectRecentFile;
    std::function<void()> onClearRecents;
    std::function<void()> onResetPosition;
    std::function<void()> onToggleStartAtLogin;
    std::function<void()> onOpenSettings;
    std::function<void()> onFixPermissions;
    std::function<void()> onSearchHelp;
    std::function<void(const std::optional<std::string>& catalogID)> onOpenCatalog;
    /// Asked while the menu is open; absent while this computer is not searched.
    std::function<std::optional<IndexHealth>()> healthProvider;
};

/// The menu-bar item as the coordinator drives it: icon, tooltip and menu from one value.
/// Main thread only.
class MenuBarPresenting {
public:
    virtual ~MenuBarPresenting() = default;
    virtual void update(const MenuBarContent& content) = 0;
};

} // namespace ulmaro
