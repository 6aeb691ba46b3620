#pragma once

#include "UlmaroAppKit/Platform/Observable.h"
#include "UlmaroAppKit/Settings/ShortcutRowModel.h"

#include <QWidget>
#include <memory>

class QLabel;
class QPushButton;

namespace ulmaro {

/// The settings window's shortcut row: "Summon Ulmaro", then a button showing the summon
/// shortcut ("Press keys…" while recording; pressing it records; disabled where no global
/// key can be had), and the message, when there is one, on a line below. Recording ends
/// when the window is hidden or loses the keyboard. Redrawn on every change of the model or
/// of the settings.
class ShortcutRow final : public QWidget {
public:
    ShortcutRow(std::shared_ptr<ShortcutRowModel> model, std::shared_ptr<Preferences> preferences,
                QWidget* parent = nullptr);

    QPushButton& button() { return *button_; }
    QLabel& message() { return *message_; }

protected:
    bool event(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void refresh();

    std::shared_ptr<ShortcutRowModel> model_;
    QPushButton* button_;
    QLabel* message_;
    Subscription modelChanges_;
    Subscription preferenceChanges_;
};

} // namespace ulmaro
