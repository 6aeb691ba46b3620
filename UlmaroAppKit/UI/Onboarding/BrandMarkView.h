#pragma once

#include "UlmaroAppKit/Onboarding/BrandMarkGeometry.h"
#include "UlmaroAppKit/Onboarding/BrandMarkTicker.h"

#include <QPixmap>
#include <QVariantAnimation>
#include <QWidget>
#include <memory>

class QPainter;

namespace ulmaro {

class TimerService;

/// The mark, `size` pixels square. A spinning mark on screen ticks every 0.4 s: the rays
/// turn 11.25° and the dot swaps between 1 and 1.14, eased over 0.22 s. Once on screen it
/// keeps a copy of what lies behind its square with the still tile drawn over it, and
/// paints as an opaque widget: a frame of a turn repaints only the mark, not the views
/// below it. Nothing runs while it is hidden or still. GUI thread only.
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
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void stepped(long long step);
    /// Copies what the window draws behind the square, once the window is on screen.
    void takeBackdrop();
    /// Drops the copy: the mark paints over its parents again until a new one is taken.
    void dropBackdrop();
    void paintTile(QPainter& painter) const;

    BrandMarkGeometry geometry_;
    BrandMarkTicker ticker_;
    /// The drawn step: fractional while a turn eases in.
    double shownStep_ = 0;
    double shownDotScale_ = 1;
    QVariantAnimation transition_;
    QPixmap backdrop_;
    /// Where in its window the square was when the backdrop was taken.
    QPoint backdropAt_;
    bool takingBackdrop_ = false;
};

} // namespace ulmaro
