#include "UlmaroAppKit/MenuBar/MenuBarMenuBuilder.h"

#include "UlmaroAppKit/Text/TextFormat.h"
#include "UlmaroKit/Platform/Utf8.h"

#include <algorithm>

namespace ulmaro {
namespace {

MenuItemSpec item(std::string title, MenuAction action, std::string shortcutHint = {}) {
    return {.title = std::move(title), .action = action, .shortcutHint = std::move(shortcutHint)};
}

MenuItemSpec disabledItem(std::string title) {
    return {.title = std::move(title), .enabled = false};
}

MenuTint tintOf(const MenuBarViewModel::CatalogStatus& catalog) {
    if (catalog.isDamaged) return MenuTint::orange;
    if (catalog.isScanning || !catalog.isOnline) return MenuTint::secondary;
    return MenuTint::green;
}

MenuItemSpec catalogSubmenu(const std::vector<MenuBarViewModel::CatalogStatus>& catalogs) {
    MenuItemSpec catalog = item("Catalog", MenuAction::none);
    for (const auto& status : catalogs) {
        // Tray menus carry no rich text: the status follows the name after three spaces.
        MenuItemSpec row =
            item(status.name + "   " + std::string(status.statusText()), MenuAction::openCatalog);
        row.payload = status.id;
        row.symbol = status.symbolName();
        row.tint = tintOf(status);
        catalog.submenu.push_back(std::move(row));
    }
    if (!catalogs.empty()) catalog.submenu.push_back(MenuItemSpec::makeSeparator());
    catalog.submenu.push_back(item("Open Catalog…", MenuAction::openCatalog));
    return catalog;
}

} // namespace

MenuBarMenuBuilder::MenuBarMenuBuilder(Environment environment, Callbacks callbacks)
    : environment_(std::move(environment)), callbacks_(std::move(callbacks)) {}

MenuSpec MenuBarMenuBuilder::buildMenu(const MenuBarViewModel& viewModel) const {
    MenuSpec menu;
    auto& items = menu.items;
    const auto separator = [&items] { items.push_back(MenuItemSpec::makeSeparator()); };

    separator();
    items.push_back(item("Search…", MenuAction::search, viewModel.hotKey.menuKeyHint()));
    separator();

    if (viewModel.health && viewModel.health->isLoaded) {
        separator();
        for (auto& line : healthLines(*viewModel.health, environment_.clock->now())) {
            MenuItemSpec health = disabledItem(std::move(line));
            health.healthLine = true;
            items.push_back(std::move(health));
        }
    }

    if (viewModel.deniedDirectories >= 1) {
        MenuItemSpec denied = item(IndexHealth::count(viewModel.deniedDirectories) +
                                       (viewModel.deniedDirectories == 1 ? " folder" : " folders") +
                                       " couldn’t be read — fix…",
                                   MenuAction::fixPermissions);
        const std::size_t shown = std::min(viewModel.deniedPaths.size(), deniedPathLimit);
        for (std::size_t i = 0; i < shown; ++i) {
            const std::string& path = viewModel.deniedPaths[i];
            MenuItemSpec reveal = item(repairUtf8(abbreviatingHome(path, environment_.homeFolder)),
                                       MenuAction::revealDeniedPath);
            reveal.payload = path;
            reveal.tooltip = repairUtf8(path);
            denied.submenu.push_back(std::move(reveal));
        }
        items.push_back(std::move(denied));
    }

    separator();
    items.push_back(disabledItem("Saved Searches"));
    if (viewModel.savedSearches.empty()) {
        items.push_back(disabledItem("Star a search to keep it here"));
    } else {
        const std::size_t shown = std::min(viewModel.savedSearches.size(), savedSearchLimit);
        for (std::size_t i = 0; i < shown; ++i) {
            MenuItemSpec saved = item(viewModel.savedSearches[i].name, MenuAction::savedSearch);
            saved.payload = viewModel.savedSearches[i].query;
            items.push_back(std::move(saved));
        }
    }
    separator();

    items.push_back(item("Refresh", MenuAction::rebuild));
    items.push_back(item("Settings…", MenuAction::openSettings, "Ctrl+,"));
    MenuItemSpec login = item(viewModel.startAtLoginMenuTitle(), MenuAction::toggleStartAtLogin);
    login.checkable = true;
    login.checked = viewModel.startAtLogin == LoginItemViewModel::DisplayState::on;
    items.push_back(std::move(login));

    items.push_back(catalogSubmenu(viewModel.catalogs));

    MenuItemSpec troubleshooting = item("Troubleshooting", MenuAction::none);
    MenuItemSpec clear = item("Clear Recents", MenuAction::clearRecents);
    clear.enabled = viewModel.hasAnyRecents();
    troubleshooting.submenu.push_back(std::move(clear));
    troubleshooting.submenu.push_back(item("Reset Panel Position", MenuAction::resetPosition));
    items.push_back(std::move(troubleshooting));

    if (!viewModel.hotKey.canChange()) {
        // No key can be had in this session: nothing to change, only another road to say.
        items.push_back(disabledItem("Global shortcuts need an X11 session"));
        items.push_back(disabledItem("Run ulmaro again to summon the panel"));
        separator();
    } else if (viewModel.hotKeyUnavailable) {
        items.push_back(item("Shortcut unavailable — click to change", MenuAction::openSettings));
        separator();
    }

    items.push_back(item("Search Help", MenuAction::searchHelp, "Ctrl+/"));
    items.push_back(item("Email " + environment_.links.supportAddress, MenuAction::support));
    items.push_back(item("Check for Updates…", MenuAction::checkForUpdates));
    separator();
    items.push_back(disabledItem("Version " + environment_.links.version));
    items.push_back(item("Quit Ulmaro", MenuAction::quit, "Ctrl+Q"));
    return menu;
}

std::vector<std::string> MenuBarMenuBuilder::healthLines(const IndexHealth& health, WallTime now) {
    constexpr unsigned units = ByteUnits::kilobytes | ByteUnits::megabytes;
    std::vector<std::string> lines{
        health.fileCountText(),
        formatByteCount(health.indexBytes, units) + " on disk · " +
            formatByteCount(health.footprintBytes, units) + " memory",
        health.lastIndexedText(now),
        "Status: " + health.statusText(),
    };
    if (auto pending = health.pendingText()) lines.push_back(std::move(*pending));
    return lines;
}

std::string MenuBarMenuBuilder::appVersion() {
    return MenuBarLinks::ofThisBuild().version;
}

std::string MenuBarMenuBuilder::abbreviatingHome(std::string_view path, std::string_view home) {
    while (home.size() > 1 && home.back() == '/')
        home.remove_suffix(1);
    // A home of "/" would turn every path into "~…".
    if (home.size() <= 1 || !path.starts_with(home)) return std::string(path);
    const std::string_view rest = path.substr(home.size());
    if (!rest.empty() && rest.front() != '/') return std::string(path);
    std::string abbreviated = "~";
    abbreviated += rest;
    return abbreviated;
}

void MenuBarMenuBuilder::menuWillOpen(std::size_t healthLineCount) {
    liveTimer_.reset();
    healthItemCount_ = healthLineCount;
    if (healthLineCount == 0) return;
    liveTimer_ = environment_.timers->scheduleRepeating(liveRefreshInterval,
                                                        [this] { refreshHealthLines(); });
}

void MenuBarMenuBuilder::menuDidClose() {
    liveTimer_.reset();
}

void MenuBarMenuBuilder::refreshHealthLines() {
    if (!healthProvider || healthItemCount_ == 0) return;
    const std::optional<IndexHealth> health = healthProvider();
    if (!health) return;
    // Lines are retitled in place, never added: a line that appears meanwhile (the pending
    // changes) waits for the next rebuild.
    std::vector<std::string> lines = healthLines(*health, environment_.clock->now());
    lines.resize(std::min(lines.size(), healthItemCount_));
    if (onRetitleHealthLines) onRetitleHealthLines(lines);
}

void MenuBarMenuBuilder::open(const std::optional<std::string>& url) {
    if (url) environment_.workspace->open(*url);
}

void MenuBarMenuBuilder::perform(MenuAction action, const std::optional<std::string>& payload) {
    const auto call = [](const auto& callback, const auto&... args) {
        if (callback) callback(args...);
    };
    switch (action) {
    case MenuAction::none:
        return;
    case MenuAction::search:
        return call(callbacks_.onSearch);
    case MenuAction::rebuild:
        return call(callbacks_.onRebuild);
    case MenuAction::openSettings:
        return call(callbacks_.onOpenSettings);
    case MenuAction::fixPermissions:
        return call(callbacks_.onFixPermissions);
    case MenuAction::revealDeniedPath:
        if (payload) environment_.workspace->reveal(*payload);
        return;
    case MenuAction::savedSearch:
    case MenuAction::recentSearch:
        if (payload) call(callbacks_.onSelectRecentSearch, *payload);
        return;
    case MenuAction::recentFile:
        if (payload) call(callbacks_.onSelectRecentFile, *payload);
        return;
    case MenuAction::openCatalog:
        return call(callbacks_.onOpenCatalog, payload);
    case MenuAction::clearRecents:
        return call(callbacks_.onClearRecents);
    case MenuAction::resetPosition:
        return call(callbacks_.onResetPosition);
    case MenuAction::toggleStartAtLogin:
        return call(callbacks_.onToggleStartAtLogin);
    case MenuAction::searchHelp:
        return call(callbacks_.onSearchHelp);
    case MenuAction::support:
        return open(environment_.links.supportMailtoURL(environment_.links.version));
    case MenuAction::checkForUpdates:
        return open(environment_.links.updatesURL());
    case MenuAction::quit:
        return call(callbacks_.onQuit);
    }
}

} // namespace ulmaro
