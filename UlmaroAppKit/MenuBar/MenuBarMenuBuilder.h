#pragma once

#include "UlmaroAppKit/Indexing/IndexHealth.h"
#include "UlmaroAppKit/MenuBar/MenuBarLinks.h"
#include "UlmaroAppKit/MenuBar/MenuBarViewModel.h"
#include "UlmaroAppKit/MenuBar/MenuSpec.h"
#include "UlmaroAppKit/Platform/Clock.h"
#include "UlmaroAppKit/Platform/TimerService.h"
#include "UlmaroAppKit/Platform/Workspace.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

/// Builds the tray menu from a `MenuBarViewModel` and carries out its items: each calls one
/// callback the coordinator installed, so the menu never knows the coordinator. While the
/// menu is open its health lines are refreshed twice a second. Main thread only.
class MenuBarMenuBuilder {
public:
    struct Callbacks {
        std::function<void()> onQuit{};
        std::function<void()> onSearch{};
        /// "Refresh".
        std::function<void()> onRebuild{};
        /// "Settings…" and the shortcut warning.
        std::function<void()> onOpenSettings{};
        /// The unreadable-folders item.
        std::function<void()> onFixPermissions{};
        /// A saved or recent search's query.
        std::function<void(const std::string& query)> onSelectRecentSearch{};
        std::function<void(const std::string& path)> onSelectRecentFile{};
        std::function<void()> onClearRecents{};
        std::function<void()> onResetPosition{};
        std::function<void()> onToggleStartAtLogin{};
        std::function<void()> onSearchHelp{};
        /// A catalog's ID, or none for the catalog window without a selection.
        std::function<void(const std::optional<std::string>& catalogID)> onOpenCatalog{};
    };

    struct Environment {
        std::shared_ptr<TimerService> timers{};
        std::shared_ptr<const Clock> clock{};
        /// Reveals unreadable folders and opens the mail and updates links.
        std::shared_ptr<Workspace> workspace{};
        MenuBarLinks links = MenuBarLinks::ofThisBuild();
        /// Shown as "~" in paths; empty for none.
        std::string homeFolder{};
    };

    using HealthProvider = std::function<std::optional<IndexHealth>()>;

    static constexpr std::size_t savedSearchLimit = 8;
    static constexpr std::size_t deniedPathLimit = 12;
    static constexpr Seconds liveRefreshInterval{0.5};

    MenuBarMenuBuilder(Environment environment, Callbacks callbacks);

    MenuSpec buildMenu(const MenuBarViewModel& viewModel) const;

    /// The health lines of the menu: files, sizes (KB or MB), the last indexing, the status
    /// and, when there are any, the live changes.
    static std::vector<std::string> healthLines(const IndexHealth& health, WallTime now);
    /// The build's version, "—" without one.
    static std::string appVersion();
    /// `path` with a leading `home` folder written "~".
    static std::string abbreviatingHome(std::string_view path, std::string_view home);

    /// Fresh health for the open menu's lines; absent until the coordinator sets it.
    HealthProvider healthProvider;
    /// Receives the refreshed titles of the shown health lines, at most one per line.
    std::function<void(const std::vector<std::string>& titles)> onRetitleHealthLines{};

    /// The menu showing `healthLineCount` health lines opened: they refresh until it closes.
    /// A menu without health lines refreshes nothing.
    void menuWillOpen(std::size_t healthLineCount);
    void menuDidClose();
    bool isRefreshingHealthLines() const { return liveTimer_ != nullptr; }

    /// Carries out a chosen item.
    void perform(MenuAction action, const std::optional<std::string>& payload);

    const MenuBarLinks& links() const { return environment_.links; }

private:
    void refreshHealthLines();
    void open(const std::optional<std::string>& url);

    Environment environment_;
    Callbacks callbacks_;
    std::size_t healthItemCount_ = 0;
    std::unique_ptr<Timer> liveTimer_;
};

} // namespace ulmaro
