#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>

namespace ulmaro {

class AppCoordinator;

/// The launch of the application and its save at the end, in their fixed order. The parts
/// that need the UI toolkit (windows, the panel's content and keys, ending the process) come
/// in as factories, so that tests run the same order over fakes. Main thread only.
class AppDelegate {
public:
    struct Factories {
        /// Builds the coordinator over the real environment; it takes the one-copy lock and,
        /// in a later copy, asks the first to summon its panel.
        std::function<std::shared_ptr<AppCoordinator>()> makeCoordinator;
        /// The Settings and catalog windows and the coordinator's callbacks that open them.
        std::function<void(const std::shared_ptr<AppCoordinator>&)> attachWindows;
        /// The panel's keyboard callbacks, holding the coordinator weakly.
        std::function<void(const std::shared_ptr<AppCoordinator>&)> installPanelKeys;
        /// The panel's view, made once the first-run flow exists.
        std::function<void(const std::shared_ptr<AppCoordinator>&)> buildPanelContent;
        /// Ends a later copy at once.
        std::function<void()> terminate;
        /// Writes any pending settings change now.
        std::function<void()> flushSettings;
    };

    explicit AppDelegate(Factories factories);
    ~AppDelegate();
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    /// Runs the launch. True when this copy goes on as the first one; a later copy stops
    /// after the panel's keys: no hot key, no first-run flow, no panel view.
    bool launch(std::span<const std::string> arguments);
    /// The save at the end: the watcher's checkpoint, then frecency, then settings. Only a
    /// first copy whose launch finished saves: a later copy would write what it loaded
    /// moments ago over what the running copy saved since. It runs once, however many roads
    /// lead to it (the quit, then the exit's handlers).
    void willTerminate();

    const std::shared_ptr<AppCoordinator>& coordinator() const { return coordinator_; }
    bool launched() const { return launched_; }

private:
    Factories factories_;
    std::shared_ptr<AppCoordinator> coordinator_;
    bool launched_ = false;
    bool saved_ = false;
};

} // namespace ulmaro
