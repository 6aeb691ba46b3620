#pragma once

#include <QWidget>
#include <string>
#include <vector>

class QLabel;
class QScrollArea;

namespace ulmaro {

class FileChooser;
class OnboardingStepShell;
class OnboardingViewModel;
class StyledButton;

/// The first-run step that lists the folders whose document text is read: remove one with
/// its row's button, add some with the folder chooser; each change is stored at once and
/// the list reloaded from the settings. "Continue" moves the flow on. `folders` is the step
/// view's display copy, filled from the settings when the page is built. GUI thread only.
class ContentFoldersStep final : public QWidget {
    Q_OBJECT
public:
    /// `chooser` null: Qt's, modal to this page's window.
    ContentFoldersStep(OnboardingViewModel& model, std::vector<std::string>& folders,
                       FileChooser* chooser, QWidget* parent = nullptr);

    OnboardingStepShell& shell() const { return *shell_; }
    QScrollArea& list() const { return *list_; }
    StyledButton& addButton() const { return *add_; }
    /// Why chosen folders were not added; hidden when all were.
    QLabel& message() const { return *message_; }
    /// The text a row shows for `path`: its last component.
    static QString rowTitle(const std::string& path);

private:
    void reload();
    void addFolders();
    void remove(const std::string& path);
    QWidget* row(const std::string& path);

    OnboardingViewModel& model_;
    std::vector<std::string>& folders_;
    FileChooser* chooser_;
    OnboardingStepShell* shell_;
    QScrollArea* list_;
    StyledButton* add_;
    QLabel* message_;
};

} // namespace ulmaro
