#pragma once

#include <QWidget>
#include <functional>

class QLabel;

namespace ulmaro {

class ClampedLabel;
class StyledButton;

/// The offer's content: the heading (shown verbatim, two lines at most), one line of
/// explanation and the two answers, "Catalog" being the default one. 340 wide, its height
/// from its content.
class CatalogPromptView final : public QWidget {
    Q_OBJECT
public:
    static constexpr int width = 340;
    static constexpr const char* explanation =
        "Ulmaro keeps a catalog of it, so its files stay searchable after you unplug it.";

    CatalogPromptView(const QString& title, std::function<void()> onCatalog,
                      std::function<void()> onDecline, QWidget* parent = nullptr);

    ClampedLabel& titleLabel() const { return *title_; }
    QLabel& explanationLabel() const { return *explanation_; }
    StyledButton& catalogButton() const { return *catalog_; }
    StyledButton& declineButton() const { return *decline_; }

private:
    ClampedLabel* title_;
    QLabel* explanation_;
    StyledButton* decline_;
    StyledButton* catalog_;
};

} // namespace ulmaro
