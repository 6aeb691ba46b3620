#include "UlmaroApp/ProbingPanelWindow.h"

#include "UlmaroApp/TestMode.h"
#include "UlmaroAppKit/UI/Panel/OverlayPanel.h"

#include <QApplication>
#include <QEvent>
#include <QMetaObject>

namespace ulmaro {

/// Watches the whole application, since keys go to the field and paints to each widget.
class ProbingPanelWindow::EventProbe final : public QObject {
public:
    explicit EventProbe(QWidget* panel) : panel_(panel) { qApp->installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && watched == QApplication::focusWidget() &&
            QApplication::focusWidget()->window() == panel_)
            TestMode::mark("key");
        if (event->type() == QEvent::Paint && !paintPending_ && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == panel_) {
            // The widgets of one update paint in one pass that ends with the window's
            // flush; this runs after it, maybe after other events too, so the line also
            // says when the pass began.
            paintPending_ = true;
            QMetaObject::invokeMethod(
                this,
                [this, began = TestMode::monotonicMicroseconds()] {
                    paintPending_ = false;
                    TestMode::mark("painted " + began);
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    QWidget* panel_;
    bool paintPending_ = false;
};

ProbingPanelWindow::ProbingPanelWindow(std::shared_ptr<OverlayPanel> panel)
    : panel_(std::move(panel)) {
    if (TestMode::probeTimes()) events_ = std::make_unique<EventProbe>(panel_.get());
}

ProbingPanelWindow::~ProbingPanelWindow() = default;

bool ProbingPanelWindow::isVisible() const {
    return panel_->isVisible();
}

PanelRect ProbingPanelWindow::frame() const {
    return panel_->frame();
}

void ProbingPanelWindow::restorePositionOrCenter(std::optional<PanelPoint> savedTopLeft) {
    panel_->restorePositionOrCenter(savedTopLeft);
}

void ProbingPanelWindow::centerOnActiveScreen() {
    panel_->centerOnActiveScreen();
}

void ProbingPanelWindow::makeKeyAndOrderFront() {
    panel_->makeKeyAndOrderFront();
    TestMode::probe("panel shown");
}

void ProbingPanelWindow::focusSearchField() {
    panel_->focusSearchField();
}

void ProbingPanelWindow::orderOut() {
    panel_->orderOut();
    TestMode::probe("panel hidden");
}

void ProbingPanelWindow::setOnResignKey(std::function<void()> handler) {
    panel_->setOnResignKey(std::move(handler));
}

std::optional<PanelPoint> ProbingPanelWindow::shownTopLeft() const {
    return panel_->shownTopLeft();
}

bool ProbingPanelWindow::previewIsOnScreen() const {
    return panel_->previewIsOnScreen();
}

} // namespace ulmaro
