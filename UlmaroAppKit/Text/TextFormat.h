#pragma once

#include "UlmaroAppKit/Platform/Clock.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace ulmaro {

/// The texts that numbers and dates become on screen. The C library's locale is the
/// user's once Qt starts, so nothing here goes through printf or iostreams. The words are
/// English, the application's one language; digits follow `UserLocale::numbers()` except
/// where stated.

/// A whole number as "1,234,567": decimal grouping fixed to en_US, whatever the locale.
std::string formatCount(std::int64_t value);
/// A whole number grouped the way the user's locale groups it ("1.234" in German).
std::string formatLocaleInteger(std::int64_t value);

/// The units a byte count may be shown in, as a bit set.
namespace ByteUnits {
inline constexpr unsigned bytes = 1u << 0;
inline constexpr unsigned kilobytes = 1u << 1;
inline constexpr unsigned megabytes = 1u << 2;
inline constexpr unsigned gigabytes = 1u << 3;
inline constexpr unsigned terabytes = 1u << 4;
inline constexpr unsigned petabytes = 1u << 5;
inline constexpr unsigned exabytes = 1u << 6;
inline constexpr unsigned all = (1u << 7) - 1;
} // namespace ByteUnits

/// A byte count in the file style: decimal units (1 KB = 1000 bytes), bytes and KB whole,
/// MB with one fraction digit, GB and up with two, trailing zeros dropped ("1 MB",
/// "1.2 MB", "1.25 GB", "12 bytes", "1 byte"); zero is "Zero KB". The unit is the
/// smallest allowed one in which the rounded number stays below 1,000, else the largest
/// allowed ("0.4 MB" and "1,000 GB" when only MB and GB are allowed; 999,950,000 bytes is
/// "1 GB"). Halves round to even. An empty set of units means all of them.
std::string formatByteCount(std::uint64_t bytes, unsigned units = ByteUnits::all);

/// How far `date` lies from `now` in the largest calendar unit that is not zero, in the
/// local time zone: "5 minutes ago", "in 2 hours", "1 week ago"; equal dates give
/// "in 0 seconds". Units: years, months, weeks, days, hours, minutes, seconds.
std::string formatRelativeDate(WallTime date, WallTime now);

/// A moment as the user's locale writes a medium date and a short time ("Mar 5, 2024,
/// 4:07 PM" in en_US), in the local time zone.
std::string formatDateTime(WallTime date);

/// `value` with exactly `fractionDigits` (0 to 100) digits after a "." (printf's "%.1f";
/// "%.0fk" is `formatFixed(v, 0) + "k"`). Digits are always ASCII, with no grouping.
std::string formatFixed(double value, int fractionDigits);

/// Seconds since 2001-01-01 00:00:00 UTC, the form in which dates are stored in settings.
double secondsSinceReferenceDate(WallTime date);
/// The inverse; a value read from a file may be anything, so a non-finite one gives the
/// reference date itself and one beyond what `WallTime` holds (about 1678 to 2262) is
/// clamped to its range.
WallTime dateFromReferenceSeconds(double seconds);

} // namespace ulmaro
