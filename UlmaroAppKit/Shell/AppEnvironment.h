#pragma once

#include "UlmaroAppKit/Indexing/ChangeWatcher.h"
#include "UlmaroAppKit/Search/SearchEngine.h"
#include "UlmaroKit/Content/ContentIndexBuilder.h"
#include "UlmaroKit/Scanning/MountedVolume.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ulmaro {

class CatalogCoordinating;
class CatalogLibrary;
class CatalogPromptPresenting;
class Clock;
class FrontmostAppTracking;
class HotKeyCenter;
class LoginItemProvider;
class MainQueue;
class OverlayPanelWindow;
class Preferences;
class ResultActionPerforming;
class SerialQueueFactory;
class SettingsStore;
class StatusItemView;
class SummonChannel;
class TimerService;
class VolumeEvents;
class Workspace;
class WorkspaceOpener;

/// Everything through which the application coordinator reaches the system: seams, and
/// factories for the parts it owns. The application fills it with the real ones; tests with
/// fakes, so that they build the real coordinator.
struct AppEnvironment {
    using MountedVolumes = std::function<std::vector<MountedVolume>()>;

    std::shared_ptr<MainQueue> mainQueue;
    std::shared_ptr<Clock> clock;
    std::shared_ptr<TimerService> timers;
    /// The index's change watchers; inotify's when empty.
    ChangeWatcherFactory indexWatchers;
    std::shared_ptr<SerialQueueFactory> queues;
    /// The application's settings; frecency, saved searches, recents, panel position and
    /// scan statistics live here.
    std::shared_ptr<SettingsStore> settings;
    /// The first-run and access-ask flags. The application passes `settings` again.
    std::shared_ptr<SettingsStore> firstRunSettings;
    /// The one `Preferences` of the application, over `settings`.
    std::shared_ptr<Preferences> preferences;
    std::filesystem::path homeDirectory;

    /// Whether every folder may be read. Linux has no such permission: always true there.
    std::function<bool()> fullDiskAccessGranted;
    /// Takes the one-copy lock; true for the first copy, and when no lock can be made.
    std::function<bool()> acquireInstanceLock;
    /// Absent when no channel can be made: a later copy then cannot summon this one.
    std::shared_ptr<SummonChannel> summonChannel;
    std::shared_ptr<HotKeyCenter> hotKeys;
    std::shared_ptr<LoginItemProvider> loginItemProvider;

    std::shared_ptr<OverlayPanelWindow> panel;
    std::shared_ptr<FrontmostAppTracking> frontmostTracker;
    /// The tray item the menu-bar controller draws into.
    std::shared_ptr<StatusItemView> statusItem;
    /// Reveals and opens for the tray menu's links and unreadable folders.
    std::shared_ptr<Workspace> workspace;
    std::shared_ptr<WorkspaceOpener> opener;
    std::shared_ptr<ResultActionPerforming> actions;
    std::shared_ptr<CatalogPromptPresenting> catalogPromptPresenter;

    /// The one `VolumeEvents` of the process, not started.
    std::function<std::unique_ptr<VolumeEvents>(MainQueue&)> makeVolumeEvents;
    /// Called once on the utility queue at start to fill the volume probes' cache.
    std::function<void()> warmVolumeProbes;
    /// Whether volume roots may be probed (read) to tell what they are.
    std::function<void(bool allowed)> setProbesVolumeRoots;
    std::function<std::shared_ptr<CatalogCoordinating>(
        CatalogLibrary&, std::shared_ptr<Preferences>, VolumeEvents&, MountedVolumes)>
        makeCatalogCoordinator;
    std::function<bool(const std::string& mountPath)> isDiskImage;
    /// The drives the first-run flow offers to catalog.
    MountedVolumes externalVolumes;
    /// Entries in use on the local file systems: the first index's expected size.
    std::function<std::optional<std::int64_t>()> usedInodes;

    /// Builds the panel's search engine; `SearchEngine::make` over `queues` when empty.
    std::function<std::shared_ptr<SearchEngine>(SearchEngine::Inputs)> makeSearchEngine;
    /// Reads a document's text for the content index; the real readers when empty.
    ContentIndexBuilder::Extract extractDocumentText;
    /// One warning for the system log; syslog when empty.
    std::function<void(const std::string& line)> writeSystemLog;

    /// Ends the application.
    std::function<void()> terminate;
    /// One line for the user's log (standard error in the application).
    std::function<void(const std::string& line)> writeError;
};

} // namespace ulmaro
