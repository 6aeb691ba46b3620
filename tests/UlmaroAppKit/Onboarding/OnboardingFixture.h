#pragma once

#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Onboarding/OnboardingStore.h"
#include "UlmaroAppKit/Onboarding/OnboardingViewModel.h"
#include "support/TempDir.h"

#include <memory>
#include <string>
#include <vector>

namespace ulmaro::test {

/// "/home/tester" with an empty config folder, so the default content folders are known.
struct TesterHome {
    TempDir config;
    ScopedEnv home{"HOME", "/home/tester"};
    ScopedEnv xdg{"XDG_CONFIG_HOME", config.path().string()};
};

inline MountedVolume drive(const std::string& uuid, bool timeMachine = false) {
    MountedVolume v;
    v.uuid = uuid;
    v.mountPath = "/media/tester/" + uuid;
    v.name = uuid;
    v.isTimeMachineDestination = timeMachine;
    return v;
}

inline std::string stepName(std::optional<OnboardingStep> step) {
    return step ? "step " + std::to_string(rawValue(*step)) : "no step";
}

/// A model over an in-memory store whose every callback and step change is written to
/// `events`, so tests see what fired and in which order.
struct OnboardingRecorder {
    std::shared_ptr<InMemorySettingsStore> store = std::make_shared<InMemorySettingsStore>();
    std::vector<std::string> events;
    std::vector<std::vector<std::string>> chosen;
    std::vector<std::vector<std::string>> declined;
    std::unique_ptr<OnboardingViewModel> model;
    Subscription stepWatch;

    OnboardingViewModel& make(bool accessGranted = true, std::vector<MountedVolume> drives = {},
                              bool hotkeyRegistered = true) {
        OnboardingViewModel::Callbacks callbacks;
        callbacks.startIndexing = [this] { events.push_back("startIndexing"); };
        callbacks.dismissPanel = [this] { events.push_back("dismissPanel"); };
        callbacks.onCompleted = [this] { events.push_back("onCompleted"); };
        callbacks.onChoseCatalogOnly = [this] { events.push_back("onChoseCatalogOnly"); };
        callbacks.onDrivesChosen = [this](const auto& yes, const auto& no) {
            events.push_back("onDrivesChosen");
            chosen.push_back(uuids(yes));
            declined.push_back(uuids(no));
        };
        model = std::make_unique<OnboardingViewModel>(hotkeyRegistered, store, accessGranted,
                                                      std::move(drives), std::move(callbacks));
        stepWatch = model->step.subscribe(
            [this](const std::optional<OnboardingStep>& now) { events.push_back(stepName(now)); });
        return *model;
    }

    std::vector<std::string> takeEvents() { return std::exchange(events, {}); }

    static std::vector<std::string> uuids(const std::vector<MountedVolume>& volumes) {
        std::vector<std::string> out;
        for (const auto& v : volumes)
            out.push_back(v.uuid);
        return out;
    }
};

} // namespace ulmaro::test
