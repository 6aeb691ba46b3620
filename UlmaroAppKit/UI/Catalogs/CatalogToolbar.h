#pragma once

#include <QToolBar>
#include <functional>

class QAction;
class QProgressBar;

namespace ulmaro {

/// The catalog window's toolbar, text beside each symbol: "Add Folder…", "Rescan", a small
/// busy indicator while an archive is written or read, "Export…", "Import…", "Forget". It
/// shows what it is told. GUI thread only.
class CatalogToolbar final : public QToolBar {
    Q_OBJECT
public:
    struct State {
        bool canRescan = false;
        bool canExport = false;
        bool canImport = true;
        bool canForget = false;
        bool transferring = false;
    };

    explicit CatalogToolbar(QWidget* parent = nullptr);

    std::function<void()> onAddFolder, onRescan, onExport, onImport, onForget;

    void show(const State& state);

    QAction& addFolderAction() const { return *add_; }
    QAction& rescanAction() const { return *rescan_; }
    QAction& exportAction() const { return *export_; }
    QAction& importAction() const { return *import_; }
    QAction& forgetAction() const { return *forget_; }
    bool isBusyShown() const;

private:
    QAction* add_;
    QAction* rescan_;
    QAction* busy_;
    QAction* export_;
    QAction* import_;
    QAction* forget_;
};

} // namespace ulmaro
