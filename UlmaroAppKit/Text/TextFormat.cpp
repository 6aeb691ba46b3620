#include "UlmaroAppKit/Text/TextFormat.h"

#include "UlmaroAppKit/Text/UserLocale.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <unicode/calendar.h>
#include <unicode/datefmt.h>
#include <unicode/gregocal.h>
#include <unicode/locid.h>
#include <unicode/numberformatter.h>
#include <unicode/numfmt.h>
#include <unicode/reldatefmt.h>
#include <unicode/timezone.h>

namespace ulmaro {
namespace {

namespace number = icu::number;

std::string toUtf8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

// `decimal` is plain ASCII ("-1234.5"); the formatter groups it and localises the marks.
std::optional<std::string> formatDecimal(const number::LocalizedNumberFormatter& formatter,
                                         std::string_view decimal) {
    UErrorCode status = U_ZERO_ERROR;
    auto formatted = formatter.formatDecimal(
        icu::StringPiece(decimal.data(), static_cast<int32_t>(decimal.size())), status);
    auto text = formatted.toString(status);
    if (U_FAILURE(status) || text.isEmpty()) return std::nullopt;
    return toUtf8(text);
}

// The user's number style, one formatter per thread, rebuilt when the locale is pinned.
const number::LocalizedNumberFormatter& userNumbers() {
    struct Cached {
        std::uint64_t generation = std::numeric_limits<std::uint64_t>::max();
        number::LocalizedNumberFormatter formatter;
    };
    thread_local Cached cached;
    auto generation = UserLocale::generation();
    if (cached.generation != generation) {
        cached.generation = generation;
        cached.formatter =
            number::NumberFormatter::withLocale(icu::Locale(UserLocale::numbers().c_str()))
                .precision(number::Precision::maxFraction(2));
    }
    return cached.formatter;
}

std::string plainDigits(std::int64_t value) {
    std::array<char, 24> buffer{};
    auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value).ptr;
    return std::string(buffer.data(), end);
}

using Wide = unsigned __int128;

std::string wideDigits(Wide value) {
    std::string out;
    do {
        out.push_back(static_cast<char>('0' + static_cast<int>(value % 10)));
        value /= 10;
    } while (value != 0);
    std::reverse(out.begin(), out.end());
    return out;
}

// numerator / denominator, halves to even.
Wide divideRoundingHalfEven(Wide numerator, Wide denominator) {
    Wide quotient = numerator / denominator;
    Wide twiceRemainder = 2 * (numerator % denominator);
    if (twiceRemainder > denominator || (twiceRemainder == denominator && quotient % 2 == 1))
        ++quotient;
    return quotient;
}

struct ByteUnit {
    unsigned bit;
    const char* name;
    int fractionDigits;
};

constexpr std::array<ByteUnit, 7> byteUnitTable{{
    {ByteUnits::bytes, "bytes", 0},
    {ByteUnits::kilobytes, "KB", 0},
    {ByteUnits::megabytes, "MB", 1},
    {ByteUnits::gigabytes, "GB", 2},
    {ByteUnits::terabytes, "TB", 2},
    {ByteUnits::petabytes, "PB", 2},
    {ByteUnits::exabytes, "EB", 2},
}};

Wide powerOf(unsigned base, std::size_t exponent) {
    Wide result = 1;
    while (exponent-- > 0)
        result *= base;
    return result;
}

constexpr std::int64_t referenceDateUnixSeconds = 978307200; // 2001-01-01T00:00:00Z

} // namespace

std::string formatCount(std::int64_t value) {
    static const auto formatter = number::NumberFormatter::withLocale(icu::Locale("en_US"));
    auto digits = plainDigits(value);
    return formatDecimal(formatter, digits).value_or(digits);
}

std::string formatLocaleInteger(std::int64_t value) {
    auto digits = plainDigits(value);
    return formatDecimal(userNumbers(), digits).value_or(digits);
}

std::string formatByteCount(std::uint64_t bytes, unsigned units) {
    if (bytes == 0) return "Zero KB";
    units &= ByteUnits::all;
    if (units == 0) units = ByteUnits::all;
    std::size_t largest = 0;
    for (std::size_t i = 0; i < byteUnitTable.size(); ++i)
        if (units & byteUnitTable[i].bit) largest = i;
    for (std::size_t i = 0; i < byteUnitTable.size(); ++i) {
        const auto& unit = byteUnitTable[i];
        if (!(units & unit.bit)) continue;
        auto scale = powerOf(10, static_cast<std::size_t>(unit.fractionDigits));
        auto scaled = divideRoundingHalfEven(Wide(bytes) * scale, powerOf(1000, i));
        if (scaled >= 1000 * scale && i != largest) continue;
        std::string decimal = wideDigits(scaled / scale);
        if (unit.fractionDigits > 0) {
            std::string fraction = wideDigits(scaled % scale);
            fraction.insert(0, static_cast<std::size_t>(unit.fractionDigits) - fraction.size(),
                            '0');
            while (!fraction.empty() && fraction.back() == '0')
                fraction.pop_back();
            if (!fraction.empty()) decimal += "." + fraction;
        }
        std::string number = formatDecimal(userNumbers(), decimal).value_or(decimal);
        if (i == 0 && scaled == 1) return number + " byte";
        return number + " " + unit.name;
    }
    return "Zero KB"; // not reached: the largest allowed unit always answers
}

std::string formatRelativeDate(WallTime date, WallTime now) {
    using Millis = std::chrono::duration<double, std::milli>;
    const UDate from = Millis(now.time_since_epoch()).count();
    const UDate to = Millis(date.time_since_epoch()).count();
    UErrorCode status = U_ZERO_ERROR;
    icu::GregorianCalendar calendar(icu::TimeZone::createDefault(), icu::Locale("en_US"), status);
    calendar.setTime(from, status);
    struct Step {
        UCalendarDateFields field;
        URelativeDateTimeUnit unit;
        const char* name;
    };
    constexpr std::array<Step, 7> steps{{
        {UCAL_YEAR, UDAT_REL_UNIT_YEAR, "year"},
        {UCAL_MONTH, UDAT_REL_UNIT_MONTH, "month"},
        {UCAL_WEEK_OF_YEAR, UDAT_REL_UNIT_WEEK, "week"},
        {UCAL_DATE, UDAT_REL_UNIT_DAY, "day"},
        {UCAL_HOUR_OF_DAY, UDAT_REL_UNIT_HOUR, "hour"},
        {UCAL_MINUTE, UDAT_REL_UNIT_MINUTE, "minute"},
        {UCAL_SECOND, UDAT_REL_UNIT_SECOND, "second"},
    }};
    int32_t amount = 0;
    const Step* chosen = &steps.back();
    for (const auto& step : steps) {
        int32_t difference = calendar.fieldDifference(to, step.field, status);
        if (U_FAILURE(status)) break;
        if (difference != 0) {
            amount = difference;
            chosen = &step;
            break;
        }
    }
    if (U_FAILURE(status)) {
        // Outside the calendar's range: whole seconds are still true.
        status = U_ZERO_ERROR;
        double seconds = std::trunc((to - from) / 1000);
        amount = static_cast<int32_t>(std::clamp(seconds, -2147483647.0, 2147483647.0));
        chosen = &steps.back();
    }
    auto* numbers =
        icu::NumberFormat::createInstance(icu::Locale(UserLocale::numbers().c_str()), status);
    icu::RelativeDateTimeFormatter formatter(icu::Locale("en"), numbers, UDAT_STYLE_LONG,
                                             UDISPCTX_CAPITALIZATION_NONE, status);
    icu::UnicodeString text;
    formatter.formatNumeric(amount, chosen->unit, text, status);
    if (U_FAILURE(status) || text.isEmpty()) {
        auto magnitude = std::abs(static_cast<std::int64_t>(amount));
        std::string phrase =
            plainDigits(magnitude) + " " + chosen->name + (magnitude == 1 ? "" : "s");
        return amount < 0 ? phrase + " ago" : "in " + phrase;
    }
    return toUtf8(text);
}

std::string formatDateTime(WallTime date) {
    struct Cached {
        std::uint64_t generation = std::numeric_limits<std::uint64_t>::max();
        std::unique_ptr<icu::DateFormat> format;
    };
    // Made once per thread and locale: building a date format reads ICU's locale data.
    thread_local Cached cached;
    if (const std::uint64_t generation = UserLocale::generation();
        cached.generation != generation) {
        cached.generation = generation;
        cached.format.reset(icu::DateFormat::createDateTimeInstance(
            icu::DateFormat::kMedium, icu::DateFormat::kShort,
            icu::Locale(UserLocale::times().c_str())));
    }
    if (!cached.format) return {};
    icu::UnicodeString text;
    cached.format->format(
        std::chrono::duration<double, std::milli>(date.time_since_epoch()).count(), text);
    return toUtf8(text);
}

std::string formatFixed(double value, int fractionDigits) {
    fractionDigits = std::clamp(fractionDigits, 0, 100);
    std::array<char, 512> buffer{};
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                std::chars_format::fixed, fractionDigits);
    return std::string(buffer.data(), result.ptr);
}

double secondsSinceReferenceDate(WallTime date) {
    return Seconds(date.time_since_epoch()).count() - static_cast<double>(referenceDateUnixSeconds);
}

WallTime dateFromReferenceSeconds(double seconds) {
    if (!std::isfinite(seconds)) seconds = 0;
    using Ticks = WallTime::duration;
    const double unixSeconds = seconds + static_cast<double>(referenceDateUnixSeconds);
    // Inside the tick range (±292 years around 1970) with room to spare for rounding.
    constexpr double limit = 9.2e9;
    const double clamped = std::clamp(unixSeconds, -limit, limit);
    return WallTime(std::chrono::duration_cast<Ticks>(std::chrono::duration<double>(clamped)));
}

} // namespace ulmaro
