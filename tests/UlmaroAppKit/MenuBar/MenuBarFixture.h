#pragma once

#include "UlmaroAppKit/Fakes/ManualClock.h"
#include "UlmaroAppKit/Fakes/RecordingWorkspace.h"
#include "UlmaroAppKit/MenuBar/MenuBarMenuBuilder.h"

#include <memory>
#include <string>
#include <vector>

namespace ulmaro::test {

/// Virtual time, a recording workspace, fixed links and callbacks that write down each
/// call as "name" or "name:argument".
struct MenuBarFixture {
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::shared_ptr<RecordingWorkspace> workspace = std::make_shared<RecordingWorkspace>();
    std::vector<std::string> calls;

    MenuBarMenuBuilder::Environment environment(std::string version = "2.1") {
        return {.timers = clock,
                .clock = clock,
                .workspace = workspace,
                .links = {std::move(version), "help@example.org",
                          "https://example.org/updates?old=1#top"},
                .homeFolder = "/home/ada"};
    }

    MenuBarMenuBuilder::Callbacks callbacks() {
        const auto record = [this](std::string name) {
            return [this, name] { calls.push_back(name); };
        };
        const auto recordArgument = [this](std::string name) {
            return [this, name](const std::string& argument) {
                calls.push_back(name + ":" + argument);
            };
        };
        return {.onQuit = record("quit"),
                .onSearch = record("search"),
                .onRebuild = record("rebuild"),
                .onOpenSettings = record("settings"),
                .onFixPermissions = record("fixPermissions"),
                .onSelectRecentSearch = recordArgument("recentSearch"),
                .onSelectRecentFile = recordArgument("recentFile"),
                .onClearRecents = record("clearRecents"),
                .onResetPosition = record("resetPosition"),
                .onToggleStartAtLogin = record("toggleStartAtLogin"),
                .onSearchHelp = record("searchHelp"),
                .onOpenCatalog = [this](const std::optional<std::string>& id) {
                    calls.push_back("openCatalog:" + id.value_or("(none)"));
                }};
    }

    /// A loaded, healthy index of 1,234,567 files indexed five minutes ago.
    IndexHealth health() const {
        IndexHealth h;
        h.isLoaded = true;
        h.fileCount = 1234567;
        h.indexBytes = 45'600'000;
        h.footprintBytes = 850'000;
        h.lastIndexed = clock->now() - std::chrono::minutes(5);
        h.attrs = AttrsCompleteness::complete;
        return h;
    }
};

} // namespace ulmaro::test
