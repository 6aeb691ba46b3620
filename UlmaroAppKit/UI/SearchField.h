#pragma once

#include "UlmaroAppKit/Platform/Observable.h"

#include <QLineEdit>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ulmaro {

class OverlayViewModel;

/// The panel's query field, bound to the view model: every edit becomes `updateQuery`
/// (deleting when the text lost characters against what the field last held), the model's
/// query and inline completion come back into it, and Down, Up, Return and Escape drive the
/// model. `onDismiss` hides the panel (Escape without the cheat sheet, a successful open).
class SearchField final : public QLineEdit {
    Q_OBJECT
public:
    SearchField(std::shared_ptr<OverlayViewModel> model, std::function<void()> onDismiss,
                QWidget* parent = nullptr);
    ~SearchField() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void edited(const QString& text);
    void syncFromModel();

    std::shared_ptr<OverlayViewModel> model_;
    std::function<void()> onDismiss_;
    /// The text after the user's last edit, and the text the field last held from an edit
    /// or a completion.
    std::string lastTypedText_;
    std::string lastFieldText_;
    std::vector<Subscription> subscriptions_;
};

} // namespace ulmaro
