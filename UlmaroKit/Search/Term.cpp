#include "UlmaroKit/Search/Term.h"

#include <climits>
#include <limits>

namespace ulmaro {

namespace {

// mktime() returns -1 both for failure and for 1969-12-31 23:59:59 UTC; an untouched
// tm_wday tells them apart.
std::optional<std::int64_t> localMoment(std::tm tm) {
    tm.tm_isdst = -1;
    tm.tm_wday = -1;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1) && tm.tm_wday == -1) return std::nullopt;
    return static_cast<std::int64_t>(t);
}

bool fitsInt(std::int64_t v) {
    return v >= INT_MIN && v <= INT_MAX;
}

std::optional<DateRange> daySpan(std::tm day) {
    day.tm_hour = day.tm_min = day.tm_sec = 0;
    const auto from = localMoment(day);
    ++day.tm_mday;
    const auto to = localMoment(day);
    if (!from || !to) return std::nullopt;
    return DateRange{*from, *to};
}

} // namespace

std::optional<DateRange> DateConstraint::range(std::time_t now) const {
    std::tm local{};
    if (!localtime_r(&now, &local)) return std::nullopt;
    switch (kind) {
    case Kind::withinDays: {
        // Calendar arithmetic on the day field keeps the wall-clock time across DST changes.
        if (!fitsInt(days)) return std::nullopt;
        const std::int64_t mday = std::int64_t{local.tm_mday} - days;
        if (!fitsInt(mday)) return std::nullopt;
        local.tm_mday = static_cast<int>(mday);
        const auto from = localMoment(local);
        if (!from) return std::nullopt;
        return DateRange{*from, std::numeric_limits<std::int64_t>::max()};
    }
    case Kind::month: {
        if (month < 1 || month > 12 || !fitsInt(year - 1900)) return std::nullopt;
        std::tm first{};
        first.tm_year = static_cast<int>(year - 1900);
        first.tm_mon = static_cast<int>(month - 1);
        first.tm_mday = 1;
        const auto from = localMoment(first);
        ++first.tm_mon;
        const auto to = localMoment(first);
        if (!from || !to) return std::nullopt;
        return DateRange{*from, *to};
    }
    case Kind::today:
        return daySpan(local);
    }
    return std::nullopt;
}

bool operator==(const Term& a, const Term& b) {
    if (a.kind_ != b.kind_) return false;
    switch (a.kind_) {
    case Term::Kind::size:
        return a.size_ == b.size_;
    case Term::Kind::dateModified:
        return a.date_ == b.date_;
    case Term::Kind::type:
        return a.type_ == b.type_;
    case Term::Kind::not_:
        return a.inner() == b.inner();
    default:
        return a.text_ == b.text_;
    }
}

std::ostream& operator<<(std::ostream& os, const SizeComparison& c) {
    const char* sign = c.kind == SizeComparison::Kind::greaterThan ? ">"
                       : c.kind == SizeComparison::Kind::lessThan  ? "<"
                                                                   : "=";
    return os << sign << c.bytes;
}

std::ostream& operator<<(std::ostream& os, const DateConstraint& c) {
    switch (c.kind) {
    case DateConstraint::Kind::withinDays:
        return os << "withinDays(" << c.days << ")";
    case DateConstraint::Kind::month:
        return os << "month(" << c.year << "-" << c.month << ")";
    case DateConstraint::Kind::today:
        return os << "today";
    }
    return os;
}

std::ostream& operator<<(std::ostream& os, TypeConstraint c) {
    switch (c) {
    case TypeConstraint::file:
        return os << "file";
    case TypeConstraint::folder:
        return os << "folder";
    case TypeConstraint::app:
        return os << "app";
    }
    return os;
}

std::ostream& operator<<(std::ostream& os, const Term& t) {
    switch (t.kind()) {
    case Term::Kind::substring:
        return os << "substring(\"" << t.text() << "\")";
    case Term::Kind::exactPhrase:
        return os << "exactPhrase(\"" << t.text() << "\")";
    case Term::Kind::regex:
        return os << "regex(\"" << t.text() << "\")";
    case Term::Kind::ext:
        return os << "ext(\"" << t.text() << "\")";
    case Term::Kind::pathContains:
        return os << "pathContains(\"" << t.text() << "\")";
    case Term::Kind::contains:
        return os << "contains(\"" << t.text() << "\")";
    case Term::Kind::size:
        return os << "size(" << t.sizeComparison() << ")";
    case Term::Kind::dateModified:
        return os << "dateModified(" << t.dateConstraint() << ")";
    case Term::Kind::type:
        return os << "type(" << t.typeConstraint() << ")";
    case Term::Kind::not_:
        return os << "not(" << t.inner() << ")";
    }
    return os;
}

} // namespace ulmaro
