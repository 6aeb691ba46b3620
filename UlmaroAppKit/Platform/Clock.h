#pragma once

#include <chrono>

namespace ulmaro {

using WallTime = std::chrono::system_clock::time_point;
using MonotonicTime = std::chrono::steady_clock::time_point;
/// Durations the way the application states them: seconds, fractions allowed.
using Seconds = std::chrono::duration<double>;

/// The two clocks the application reads; `ManualClock` gives tests virtual time.
class Clock {
public:
    virtual ~Clock() = default;

    /// Calendar time, for dates that are stored or shown.
    virtual WallTime now() const = 0;
    /// Time that never jumps, for measuring durations.
    virtual MonotonicTime monotonicNow() const = 0;
};

} // namespace ulmaro
