#include "UlmaroAppKit/UI/Settings/SettingsWindow.h"

#include "UlmaroAppKit/UI/Qt/QtKeyPressSource.h"
#include "UlmaroAppKit/UI/Settings/SettingsView.h"

namespace ulmaro {
namespace {

/// The shortcut recorder hears this window's keys and no other's.
SettingsForm::Environment withKeyPresses(SettingsForm::Environment environment,
                                         QtKeyPressSource::Window window) {
    if (!environment.keyPresses)
        environment.keyPresses = std::make_shared<QtKeyPressSource>(std::move(window));
    return environment;
}

} // namespace

SettingsWindow::SettingsWindow(SettingsStore& frames, SettingsForm::Environment environment)
    : environment_(withKeyPresses(std::move(environment), [this] { return kept_.window(); })),
      kept_(frames,
            {QStringLiteral("Settings"), "Settings", QSize(480, 400), QSize(520, 640), false},
            [this] {
                view_ = new SettingsView(std::make_shared<SettingsForm>(environment_));
                return view_;
            }) {}

void SettingsWindow::show() {
    kept_.show();
}

} // namespace ulmaro
