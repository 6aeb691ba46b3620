#include "UlmaroAppKit/UI/Qt/QtTimerService.h"

#include <QTimer>
#include <climits>
#include <cmath>

namespace ulmaro {
namespace {

class QtTimer final : public Timer {
public:
    QtTimer(int milliseconds, bool repeating, TimerService::Action action) {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setSingleShot(!repeating);
        timer_.setInterval(milliseconds);
        QObject::connect(&timer_, &QTimer::timeout, [this, action = std::move(action)] {
            // The action may destroy this handle; take nothing from it afterwards.
            if (!cancelled_) action();
        });
        timer_.start();
    }
    void cancel() override {
        cancelled_ = true;
        timer_.stop();
    }

private:
    QTimer timer_;
    bool cancelled_ = false;
};

// NaN and negative waits are none; a wait beyond a QTimer's range is its range.
int milliseconds(Seconds wait) {
    const double ms = std::ceil(wait.count() * 1000);
    if (!(ms > 0)) return 0;
    return ms >= INT_MAX ? INT_MAX : static_cast<int>(ms);
}

} // namespace

std::unique_ptr<Timer> QtTimerService::scheduleOnce(Seconds delay, Action action) {
    return std::make_unique<QtTimer>(milliseconds(delay), false, std::move(action));
}

std::unique_ptr<Timer> QtTimerService::scheduleRepeating(Seconds interval, Action action) {
    return std::make_unique<QtTimer>(std::max(1, milliseconds(interval)), true, std::move(action));
}

} // namespace ulmaro
