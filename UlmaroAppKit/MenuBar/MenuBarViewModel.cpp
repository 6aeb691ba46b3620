#include "UlmaroAppKit/MenuBar/MenuBarViewModel.h"

#include <algorithm>
#include <chrono>

namespace ulmaro {
namespace {

template <class... Cases>
struct Overloaded : Cases... {
    using Cases::operator()...;
};

std::string counted(std::int64_t n, std::string_view word) {
    std::string text = IndexHealth::count(n) + " " + std::string(word);
    if (n != 1) text += "s";
    return text;
}

} // namespace

std::string_view MenuBarViewModel::CatalogStatus::statusText() const {
    if (isDamaged) return "Damaged";
    if (isScanning) return "Cataloguing…";
    if (isOnline) return "Connected";
    return "Offline";
}

std::string_view MenuBarViewModel::CatalogStatus::symbolName() const {
    if (isDamaged) return "exclamationmark.triangle";
    if (isScanning) return "clock";
    if (isOnline) return "checkmark.circle.fill";
    return "externaldrive";
}

std::string MenuBarViewModel::summaryLine(WallTime now) const {
    return std::visit(
        Overloaded{
            [](const Indexing& s) {
                return "Ulmaro — indexing… " + IndexHealth::count(s.filesSoFar);
            },
            [&](const Ready& s) {
                return "Ulmaro — " + IndexHealth::count(s.count) + " files · indexed " +
                       relative(s.indexedAt, now);
            },
            [](const Refreshing& s) {
                return "Ulmaro — " + IndexHealth::count(s.count) + " files · refreshing…";
            },
            [](const Failed& s) { return s.message; },
            [](const Unavailable&) { return std::string("Ulmaro — index unavailable · Rebuild"); },
            [](const CatalogOnly& s) {
                return "Ulmaro — " + counted(s.catalogs, "catalog") + " · " +
                       counted(s.files, "file");
            },
            [](const Loading&) { return std::string("Ulmaro — loading…"); },
        },
        indexState);
}

MenuBarViewModel::IconState MenuBarViewModel::iconState() const {
    using Glyph = IconState::Glyph;
    const auto [glyph, description] = std::visit(
        Overloaded{
            [](const Indexing&) { return std::pair(Glyph::working, "Ulmaro — indexing"); },
            [](const Ready&) { return std::pair(Glyph::ready, "Ulmaro — ready"); },
            [](const Refreshing&) { return std::pair(Glyph::ready, "Ulmaro — refreshing index"); },
            [](const Failed&) { return std::pair(Glyph::failed, "Ulmaro — index failed"); },
            [](const Unavailable&) {
                return std::pair(Glyph::failed, "Ulmaro — index unavailable");
            },
            [](const CatalogOnly&) { return std::pair(Glyph::ready, "Ulmaro — ready"); },
            [](const Loading&) { return std::pair(Glyph::working, "Ulmaro — starting up"); },
        },
        indexState);
    return {"ulmaro.ping", glyph, description};
}

std::string MenuBarViewModel::startAtLoginMenuTitle() const {
    switch (startAtLogin) {
    case LoginItemViewModel::DisplayState::pendingApproval:
        return "Start at Login (Pending Approval)";
    case LoginItemViewModel::DisplayState::unavailable:
        return "Start at Login (Click to Retry)";
    case LoginItemViewModel::DisplayState::on:
    case LoginItemViewModel::DisplayState::off:
        break;
    }
    return "Start at Login";
}

std::vector<MenuBarViewModel::RecentSearchLine> MenuBarViewModel::recentSearchLines() const {
    std::vector<RecentSearchLine> lines;
    const std::size_t shown = std::min<std::size_t>(recentSearches.size(), 5);
    lines.reserve(shown);
    for (std::size_t i = 0; i < shown; ++i)
        lines.push_back(
            {recentSearches[i].query, counted(recentSearches[i].resultCount, "result")});
    return lines;
}

std::vector<MenuBarViewModel::RecentFileLine> MenuBarViewModel::recentFileLines() const {
    std::vector<RecentFileLine> lines;
    lines.reserve(recentFiles.size());
    for (const auto& file : recentFiles)
        lines.push_back({file.name, file.path});
    return lines;
}

std::string MenuBarViewModel::relative(WallTime date, WallTime now) {
    using namespace std::chrono;
    // In doubles: dates read from settings may lie at the ends of the clock's range, where
    // a difference of time points overflows.
    const double seconds = std::max(
        Seconds(now.time_since_epoch()).count() - Seconds(date.time_since_epoch()).count(), 0.0);
    const auto minutes = static_cast<std::int64_t>(seconds / 60);
    if (minutes < 1) return "just now";
    if (minutes < 60) return std::to_string(minutes) + "m ago";
    if (minutes < 1440) return std::to_string(minutes / 60) + "h ago";
    return std::to_string(minutes / 1440) + "d ago";
}

} // namespace ulmaro
