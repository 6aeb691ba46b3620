#pragma once

#include "UlmaroAppKit/Platform/TimerService.h"

namespace ulmaro {

/// Timers on Qt's event loop. Schedule and cancel on the GUI thread; actions run there.
/// Delays and intervals are whole milliseconds (a repeating timer one at least), capped at
/// what a `QTimer` holds (about 24 days).
class QtTimerService final : public TimerService {
public:
    std::unique_ptr<Timer> scheduleOnce(Seconds delay, Action action) override;
    std::unique_ptr<Timer> scheduleRepeating(Seconds interval, Action action) override;
};

} // namespace ulmaro
