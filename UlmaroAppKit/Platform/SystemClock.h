#pragma once

#include "UlmaroAppKit/Platform/Clock.h"

namespace ulmaro {

/// The machine's clocks.
class SystemClock final : public Clock {
public:
    WallTime now() const override { return std::chrono::system_clock::now(); }
    MonotonicTime monotonicNow() const override { return std::chrono::steady_clock::now(); }
};

} // namespace ulmaro
