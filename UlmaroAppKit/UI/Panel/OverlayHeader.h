#pragma once

#include "UlmaroAppKit/Platform/Observable.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QLabel;

namespace ulmaro {

class IconResolver;
class OverlayViewModel;
class SearchField;

/// The panel's top line: the magnifying glass, the search field, and either the "— Open"
/// hint with the completed file's icon or the background rescan's note and the timing
/// pill. A press on its empty space is left to the window, which moves with the drag.
class OverlayHeader final : public QWidget {
    Q_OBJECT
public:
    OverlayHeader(std::shared_ptr<OverlayViewModel> model, std::shared_ptr<IconResolver> icons,
                  std::function<void()> onDismiss, QWidget* parent = nullptr);
    ~OverlayHeader() override;

    SearchField* field() const { return field_; }
    /// The visible texts, for tests: hint, rescan note and pill (hidden ones are empty).
    QString hintText() const;
    QString backgroundScanText() const;
    QString pillText() const;
    /// The completed file's icon beside the hint.
    const QLabel* hintIcon() const { return hintIcon_; }

private:
    void refresh();

    std::shared_ptr<OverlayViewModel> model_;
    std::shared_ptr<IconResolver> icons_;
    SearchField* field_;
    QLabel* hint_;
    QLabel* hintIcon_;
    QLabel* scan_;
    QLabel* pill_;
    std::vector<Subscription> subscriptions_;
};

} // namespace ulmaro
