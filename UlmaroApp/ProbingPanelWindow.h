#pragma once

#include "UlmaroAppKit/Panel/OverlayPanelWindow.h"

#include <functional>
#include <memory>
#include <optional>

namespace ulmaro {

class OverlayPanel;

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

} // namespace ulmaro
