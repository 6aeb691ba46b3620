#pragma once

#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Fakes/ScriptedFileChooser.h"
#include "UlmaroAppKit/Settings/SettingsForm.h"

#include <memory>
#include <string>
#include <vector>

namespace ulmaro::test {

/// Settings in memory, a scripted chooser, scripted cloud folders, and the controller's
/// two callbacks written down ("exclusions"; "searchThisMac:on" or ":off", read when called).
struct SettingsFixture {
    std::shared_ptr<InMemorySettingsStore> store = std::make_shared<InMemorySettingsStore>();
    std::shared_ptr<Preferences> preferences = std::make_shared<Preferences>(store);
    std::shared_ptr<ScriptedFileChooser> chooser = std::make_shared<ScriptedFileChooser>();
    std::vector<std::string> calls;
    std::vector<CloudFolders::Folder> cloud;
    std::shared_ptr<SettingsWindowController> controller = SettingsWindowController::create(
        preferences, [this] { calls.push_back("exclusions"); },
        [this] {
            calls.push_back(preferences->searchThisMac() ? "searchThisMac:on"
                                                         : "searchThisMac:off");
        });

    SettingsFixture() {
        controller->onResultLimitChange = [this] {
            calls.push_back("resultLimit:" + std::to_string(preferences->resultLimit()));
        };
    }

    SettingsForm::Environment environment(std::shared_ptr<KeyPressSource> keyPresses) {
        return {.controller = controller,
                .chooser = chooser,
                .keyPresses = std::move(keyPresses),
                .home = "/home/ada",
                .detectCloudFolders = [this](std::string_view) { return cloud; }};
    }
};

} // namespace ulmaro::test
