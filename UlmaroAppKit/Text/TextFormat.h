#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "UlmaroAppKit/Platform/Clock.h"

namespace ulmaro {

/// The texts that numbers and dates become on screen. The C library's locale is the
/// user's once Qt starts, so nothing here goes through printf or iostreams.

/// A whole number as "1,234,567": decimal grouping fixed to en_US, whatever the locale.
std::string formatCount(std::int64_t value);
/// A whole number grouped the way the user's locale groups it.
std::string formatLocaleInteger(std::int64_t value);
/// A byte count in the file style: decimal units, "Zero KB" … "12 bytes", "1.2 MB",
/// "1.25 GB"; MB with one fraction digit, GB and up with two, trailing zeros dropped.
std::string formatByteCount(std::uint64_t bytes);
/// How long ago `date` was, as "5 minutes ago" (the largest non-zero unit; "in …" for the
/// future), in the user's language.
std::string formatRelativeDate(WallTime date, WallTime now);
/// `value` with exactly `fractionDigits` digits after a "." (printf's "%.1f").
std::string formatFixed(double value, int fractionDigits);

/// Seconds since 2001-01-01 00:00:00 UTC, the form in which dates are stored in settings.
double secondsSinceReferenceDate(WallTime date);
WallTime dateFromReferenceSeconds(double seconds);

} // namespace ulmaro
