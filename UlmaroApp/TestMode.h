#pragma once

#include "UlmaroAppKit/Panel/OverlayPanelWindow.h"
#include "UlmaroAppKit/Shell/WorkspaceOpener.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace ulmaro {

class OverlayPanel;

/// What end-to-end tests set in the environment, and nothing else reads. Each is off unless
/// its variable is set and not empty.
namespace TestMode {

/// ULMARO_TEST_SCAN_ROOT: the folder indexed in place of "/".
std::optional<std::string> scanRoot();
/// ULMARO_TEST_OPEN_LOG: the file opened paths are appended to instead of being opened.
std::optional<std::filesystem::path> openLog();
/// ULMARO_TEST_PROBE: the file that gets a line per panel show or hide, per result list,
/// and when the index first becomes searchable.
std::optional<std::filesystem::path> probePath();

/// ULMARO_TEST_PROBE_TIMES, beside the probe file: each line starts with the time of
/// CLOCK_MONOTONIC in microseconds, and the steps of start-up, the panel's key presses and
/// its finished paints get lines too (`mark`), for the application benchmarks in bench/.
bool probeTimes();

/// Appends `line` to the probe file, when there is one.
void probe(const std::string& line);
/// Appends `line` only when times are asked for.
void mark(const std::string& line);

} // namespace TestMode

/// The panel window, telling the probe file of each show and hide, and with times of each
/// key the field receives ("key") and each paint of the panel once it has reached the
/// window ("painted").
class ProbingPanelWindow final : public OverlayPanelWindow {
public:
    explicit ProbingPanelWindow(std::shared_ptr<OverlayPanel> panel);
    ~ProbingPanelWindow() override;

    bool isVisible() const override;
    PanelRect frame() const override;
    std::optional<PanelPoint> shownTopLeft() const override;
    void restorePositionOrCenter(std::optional<PanelPoint> savedTopLeft) override;
    void centerOnActiveScreen() override;
    void makeKeyAndOrderFront() override;
    void focusSearchField() override;
    void orderOut() override;
    void setOnResignKey(std::function<void()> handler) override;
    bool previewIsOnScreen() const override;

private:
    class EventProbe;
    std::shared_ptr<OverlayPanel> panel_;
    std::unique_ptr<EventProbe> events_;
};

/// Appends each opened path to a file, one a line, instead of opening it.
class LoggingOpener final : public WorkspaceOpener {
public:
    explicit LoggingOpener(std::filesystem::path file) : file_(std::move(file)) {}
    void open(const std::string& path) override;

private:
    std::filesystem::path file_;
};

} // namespace ulmaro
