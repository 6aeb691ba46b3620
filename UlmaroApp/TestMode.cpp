#include "UlmaroApp/TestMode.h"

#include "UlmaroAppKit/UI/Panel/OverlayPanel.h"

#include <QApplication>
#include <QEvent>
#include <QMetaObject>
#include <cstdlib>
#include <ctime>
#include <fstream>

namespace ulmaro {
namespace TestMode {
namespace {

std::optional<std::string> variable(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) return std::nullopt;
    return std::string(value);
}

void appendLine(const std::filesystem::path& file, const std::string& line) {
    std::ofstream out(file, std::ios::app);
    out << line << '\n';
}

/// The clock the benchmark scripts read too (Python's `time.monotonic_ns`).
std::string monotonicMicroseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::to_string(std::int64_t(now.tv_sec) * 1'000'000 + now.tv_nsec / 1000);
}

} // namespace

std::optional<std::string> scanRoot() {
    return variable("ULMARO_TEST_SCAN_ROOT");
}

std::optional<std::filesystem::path> openLog() {
    return variable("ULMARO_TEST_OPEN_LOG");
}

std::optional<std::filesystem::path> probePath() {
    return variable("ULMARO_TEST_PROBE");
}

bool probeTimes() {
    static const bool asked = variable("ULMARO_TEST_PROBE_TIMES").has_value();
    return asked;
}

void probe(const std::string& line) {
    const auto file = probePath();
    if (!file) return;
    if (!probeTimes()) return appendLine(*file, line);
    // Every line of a write gets the time, so that each still starts with it.
    const std::string stamp = monotonicMicroseconds() + " ";
    std::string stamped = stamp + line;
    for (std::size_t at = stamped.find('\n'); at != std::string::npos;
         at = stamped.find('\n', at + 1))
        stamped.insert(at + 1, stamp);
    appendLine(*file, stamped);
}

void mark(const std::string& line) {
    if (probeTimes()) probe(line);
}

} // namespace TestMode

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

void LoggingOpener::open(const std::string& path) {
    TestMode::appendLine(file_, path);
}

} // namespace ulmaro
