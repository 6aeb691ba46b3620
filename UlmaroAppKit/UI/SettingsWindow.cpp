#include "UlmaroAppKit/UI/SettingsWindow.h"

#include "UlmaroAppKit/UI/SettingsView.h"

namespace ulmaro {

SettingsWindow::SettingsWindow(SettingsStore& frames, SettingsForm::Environment environment)
    : environment_(std::move(environment)),
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
