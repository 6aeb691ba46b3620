#pragma once

#include "UlmaroAppKit/Panel/SearchFieldCoordinator.h"
#include "UlmaroAppKit/Platform/Observable.h"

#include <QLineEdit>
#include <functional>
#include <memory>
#include <vector>

namespace ulmaro {

class OverlayViewModel;

/// The panel's query field: 24 px, no frame, background or focus ring. Every edit goes to
/// the view model at once (through `SearchFieldCoordinator`, which also decides how the
/// field follows the model: the query, the inline completion with its added part selected,
/// the placeholder, and no caret while the user moves through the results). Keys: Up/Down
/// move (and reload a preview on screen), Return and keypad Enter open, Alt+Return reveals,
/// Escape closes the cheat sheet or hides the panel, Ctrl+Backspace trashes the selected
/// row or else deletes the text before the caret. The panel's Ctrl shortcuts are refused,
/// so they reach the panel. `onDismiss` hides the panel.
class SearchField final : public QLineEdit {
    Q_OBJECT
public:
    SearchField(std::shared_ptr<OverlayViewModel> model, std::function<void()> onDismiss,
                QWidget* parent = nullptr);
    ~SearchField() override;

    const SearchFieldCoordinator& coordinator() const { return coordinator_; }
    bool isCaretHidden() const;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void syncFromModel();
    /// Down and Up: the preview, when it shows, follows the selection.
    void reloadPreview();
    void deleteToLineStart();

    std::shared_ptr<OverlayViewModel> model_;
    SearchFieldCoordinator coordinator_;
    class CaretStyle;
    CaretStyle* caretStyle_;
    std::vector<Subscription> subscriptions_;
};

} // namespace ulmaro
