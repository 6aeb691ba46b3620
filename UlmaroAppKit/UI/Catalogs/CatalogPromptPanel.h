#pragma once

#include "UlmaroAppKit/Catalogs/CatalogPromptPresenting.h"

#include <QPointer>
#include <QWidget>

namespace ulmaro {

class CatalogPromptView;

/// The application's presenter of drive offers: a small frameless window above the others,
/// off the task bar, at the top right of the primary screen, shown without taking the
/// keyboard from the active window (a click gives it). It has no close button and refuses
/// the window manager's close, so an offer stays until it is answered or withdrawn. A new
/// offer replaces the one on screen; an offer leaves by `hide` and `deleteLater`, so the
/// click that answers it never deletes the button under it. GUI thread only.
class CatalogPromptPanel final : public CatalogPromptPresenting {
public:
    CatalogPromptPanel() = default;
    ~CatalogPromptPanel() override;
    CatalogPromptPanel(const CatalogPromptPanel&) = delete;
    CatalogPromptPanel& operator=(const CatalogPromptPanel&) = delete;

    void present(const std::string& title, std::function<void()> onCatalog,
                 std::function<void()> onDecline) override;
    void dismiss() override;

    /// The window on screen now, none before the first offer and after `dismiss()`.
    QWidget* panel() const { return panel_; }
    CatalogPromptView* view() const;

    /// Gap between the window and the right edge of the screen's available area, plus its
    /// width; and the gap below the area's top.
    static constexpr int rightInset = 360;
    static constexpr int topInset = 12;

private:
    QPointer<QWidget> panel_;
};

} // namespace ulmaro
