#include "UlmaroApp/TestMode.h"

#include "UlmaroAppKit/UI/OverlayPanel.h"

#include <cstdlib>
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

void probe(const std::string& line) {
    if (const auto file = probePath()) appendLine(*file, line);
}

} // namespace TestMode

ProbingPanelWindow::ProbingPanelWindow(std::shared_ptr<OverlayPanel> panel)
    : panel_(std::move(panel)) {}

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

void LoggingOpener::open(const std::string& path) {
    TestMode::appendLine(file_, path);
}

} // namespace ulmaro
