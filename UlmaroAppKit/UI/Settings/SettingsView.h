#pragma once

#include "UlmaroAppKit/Platform/Observable.h"
#include "UlmaroAppKit/Settings/SettingsForm.h"

#include <QWidget>
#include <memory>

class QCheckBox;
class QComboBox;
class QVBoxLayout;

namespace ulmaro {

class ShortcutRow;

/// The settings form: five sections (this computer, folders to skip, folders whose text is
/// read, the shortcut, results), each control writing its change at once. The lists and the
/// suggestions are rebuilt when the form is shown, after a change made in it and on every
/// change notice of the settings (also one made elsewhere). GUI thread only.
class SettingsView final : public QWidget {
public:
    explicit SettingsView(std::shared_ptr<SettingsForm> form, QWidget* parent = nullptr);

    SettingsForm& form() { return *form_; }
    QCheckBox& searchThisComputer() { return *searchThisComputer_; }
    QCheckBox& showPaths() { return *showPaths_; }
    QComboBox& resultLimit() { return *resultLimit_; }
    ShortcutRow& shortcutRow() { return *shortcutRow_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refreshControls();
    void rebuildLists();

    std::shared_ptr<SettingsForm> form_;
    QCheckBox* searchThisComputer_;
    QCheckBox* showPaths_;
    QComboBox* resultLimit_;
    ShortcutRow* shortcutRow_;
    QVBoxLayout* exclusionRows_;
    QVBoxLayout* contentRows_;
    Subscription preferenceChanges_;
    Subscription listChanges_;
};

} // namespace ulmaro
