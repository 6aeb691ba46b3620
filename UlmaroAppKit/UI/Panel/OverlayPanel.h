#pragma once

#include "UlmaroAppKit/Panel/OverlayPanelWindow.h"

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class QAction;
class QLineEdit;
class QVBoxLayout;

namespace ulmaro {

class PreviewWindow;

/// The search panel's window: frameless, above other windows, translucent with rounded
/// corners, off the task bar. It keeps no search state: what touches results goes out
/// through the closures the shell installs (an unset one makes its key or action do
/// nothing). One event filter, on the window and on the search field, applies the panel's
/// key rules before the field sees a key. Its preview window comes with it. GUI thread only.
class OverlayPanel final : public QWidget, public OverlayPanelWindow {
    Q_OBJECT
public:
    OverlayPanel();
    ~OverlayPanel() override;

    /// The selection's path as raw bytes, none when nothing is selected.
    std::function<std::optional<std::string>()> previewURLProvider;
    std::function<void()> onFindCopies;
    /// True when a path was copied.
    std::function<bool()> onCopyPath;
    /// True when the field holds a selection of the user's own (`fieldSelectionIsDeliberate`).
    std::function<bool()> fieldHasSelectedText;
    std::function<void()> onOpenTerminal;
    std::function<void()> onOpenSettings;
    std::function<void()> onToggleCheatSheet;
    std::function<void(int)> onQuickLookMove;
    std::function<bool()> isBrowsingResults = [] { return false; };
    /// Ctrl with "0" to "9", whether or not a filter has the digit.
    std::function<void(char)> onFilterDigit;
    std::function<void()> onReveal;

    /// Puts `content` in the window (taking it); its first editable line edit is the field.
    /// A content with a fixed vertical size policy sets the window's height: the window
    /// follows each change of its height, keeping the top edge.
    void setContent(QWidget* content);
    /// The transparent margin around the panel that holds its shadow: only where a
    /// compositing manager can show translucent pixels; else 0 and the panel is opaque.
    int shadowMargin() const { return shadowMargin_; }
    /// The first editable line edit in `view`'s tree, depth first.
    static QLineEdit* firstTextField(QWidget* view);
    /// The time stamp of the X11 event that summoned the panel (the hot key's press), for the
    /// next activation; 0 for none.
    void setActivationTimestamp(std::uint32_t timestamp) { activationTimestamp_ = timestamp; }
    /// Applies `frame`, keeping the top edge when only the height changes.
    void setFrame(const PanelRect& frame);

    PreviewWindow& preview() { return *preview_; }

    // The window menu's actions.
    void copyPathSelected();
    void quickLookSelected();
    void findCopiesSelected();
    void openTerminalAtSelected();
    void openSettingsFromPanel();
    void toggleCheatSheet();

    // OverlayPanelWindow
    bool isVisible() const override { return QWidget::isVisible(); }
    PanelRect frame() const override;
    std::optional<PanelPoint> shownTopLeft() const override;
    void restorePositionOrCenter(std::optional<PanelPoint> savedTopLeft) override;
    void centerOnActiveScreen() override;
    void makeKeyAndOrderFront() override;
    void focusSearchField() override;
    void orderOut() override;
    void setOnResignKey(std::function<void()> handler) override {
        onResignKey_ = std::move(handler);
    }
    bool previewIsOnScreen() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool handleKey(QKeyEvent* key);
    bool isPanelShortcut(const QKeyEvent& key) const;
    void moveTopLeft(PanelPoint topLeft);
    void followContentHeight();
    void givePreviewBackKeyboard();
    /// Beside the panel, on the screen that shows it.
    void placePreview();
    /// No compositing manager on X11: an opaque window whose corners are cut by a shape.
    bool isShaped() const;

    QVBoxLayout* layout_;
    QWidget* content_ = nullptr;
    PreviewWindow* preview_;
    std::vector<QAction*> actions_;
    std::function<void()> onResignKey_;
    std::uint32_t activationTimestamp_ = 0;
    std::optional<QPoint> dragOffset_;
    int shadowMargin_ = 0;
    bool heightPending_ = false;
    QImage shadow_;
};

} // namespace ulmaro
