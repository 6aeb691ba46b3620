#pragma once

#include "UlmaroAppKit/Onboarding/BrandMarkGeometry.h"
#include "UlmaroAppKit/Onboarding/BrandMarkTicker.h"

#include <QVariantAnimation>
#include <QWidget>
#include <memory>

namespace ulmaro {

class TimerService;

/// The mark, `size` pixels square. A spinning mark on screen ticks every 0.4 s: the rays
/// turn 11.25° and the dot swaps between 1 and 1.14, eased over 0.22 s; only the mark
/// repaints. Nothing runs while it is hidden or still. GUI thread only.
class BrandMarkView final : public QWidget {
    Q_OBJECT
public:
    static constexpr int easingMilliseconds = 220;

    /// `timers` drive the ticks (the Qt event loop's when none is given).
    BrandMarkView(double size, bool spinning, QWidget* parent = nullptr,
                  std::shared_ptr<TimerService> timers = nullptr);

    QSize sizeHint() const override;
    long long step() const { return ticker_.step(); }
    bool isTicking() const { return ticker_.isTicking(); }
    void setSpinning(bool spinning) { ticker_.setSpinning(spinning); }
    /// Ends a turn under way at its final angle.
    void finishTransition();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void stepped(long long step);

    BrandMarkGeometry geometry_;
    BrandMarkTicker ticker_;
    /// The drawn step: fractional while a turn eases in.
    double shownStep_ = 0;
    double shownDotScale_ = 1;
    QVariantAnimation transition_;
};

} // namespace ulmaro
