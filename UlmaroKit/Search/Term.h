#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

namespace ulmaro {

/// A size bound in bytes (the unit already applied).
struct SizeComparison {
    enum class Kind : std::uint8_t { greaterThan, lessThan, equalTo };

    Kind kind = Kind::equalTo;
    std::uint64_t bytes = 0;

    static SizeComparison greaterThan(std::uint64_t v) { return {Kind::greaterThan, v}; }
    static SizeComparison lessThan(std::uint64_t v) { return {Kind::lessThan, v}; }
    static SizeComparison equalTo(std::uint64_t v) { return {Kind::equalTo, v}; }

    bool holds(std::uint64_t size) const {
        switch (kind) {
        case Kind::greaterThan:
            return size > bytes;
        case Kind::lessThan:
            return size < bytes;
        case Kind::equalTo:
            return size == bytes;
        }
        return false;
    }

    friend bool operator==(const SizeComparison&, const SizeComparison&) = default;
};

/// A half-open span of seconds since 1970 UTC: [from, to).
struct DateRange {
    std::int64_t from = 0;
    std::int64_t to = 0;

    bool contains(std::int64_t seconds) const { return seconds >= from && seconds < to; }
    friend bool operator==(const DateRange&, const DateRange&) = default;
};

/// A modification-date condition, read in the machine's local calendar and time zone.
struct DateConstraint {
    enum class Kind : std::uint8_t { withinDays, month, today };

    Kind kind = Kind::today;
    std::int64_t days = 0;  // withinDays
    std::int64_t year = 0;  // month
    std::int64_t month = 0; // month, 1 to 12

    static DateConstraint withinDays(std::int64_t n) { return {Kind::withinDays, n, 0, 0}; }
    static DateConstraint inMonth(std::int64_t y, std::int64_t m) { return {Kind::month, 0, y, m}; }
    static DateConstraint today() { return {Kind::today, 0, 0, 0}; }

    /// The moments that satisfy the constraint at `now`, as one span of local time:
    /// withinDays from `days` calendar days before now (same wall-clock time) onwards; month and
    /// today from their first local midnight to the next one. nullopt when the moment cannot be
    /// formed (a day count or year the calendar cannot reach): such a term matches nothing.
    std::optional<DateRange> range(std::time_t now) const;

    friend bool operator==(const DateConstraint&, const DateConstraint&) = default;
};

enum class TypeConstraint : std::uint8_t { file, folder, app };

/// One condition of a query. Immutable value; `not_` holds its inner term by shared pointer,
/// which copies cheaply and compares by value.
class Term {
public:
    enum class Kind : std::uint8_t {
        substring,
        exactPhrase,
        regex,
        ext,
        pathContains,
        size,
        dateModified,
        type,
        contains,
        not_,
    };

    static Term substring(std::string text) {
        return with(Kind::substring, &Term::text_, std::move(text));
    }
    static Term exactPhrase(std::string text) {
        return with(Kind::exactPhrase, &Term::text_, std::move(text));
    }
    static Term regex(std::string pattern) {
        return with(Kind::regex, &Term::text_, std::move(pattern));
    }
    /// Lower case, no dots, several joined by ",".
    static Term ext(std::string list) { return with(Kind::ext, &Term::text_, std::move(list)); }
    static Term pathContains(std::string text) {
        return with(Kind::pathContains, &Term::text_, std::move(text));
    }
    static Term contains(std::string text) {
        return with(Kind::contains, &Term::text_, std::move(text));
    }
    static Term size(SizeComparison c) { return with(Kind::size, &Term::size_, c); }
    static Term dateModified(DateConstraint c) { return with(Kind::dateModified, &Term::date_, c); }
    static Term type(TypeConstraint c) { return with(Kind::type, &Term::type_, c); }
    static Term not_(Term inner) {
        return with(Kind::not_, &Term::inner_, std::make_shared<const Term>(std::move(inner)));
    }

    Kind kind() const { return kind_; }
    bool isNot() const { return kind_ == Kind::not_; }

    /// The text of substring, exactPhrase, regex, ext, pathContains and contains; "" otherwise.
    const std::string& text() const { return text_; }
    /// Payload accessors; each is meaningful only for its own kind.
    const SizeComparison& sizeComparison() const { return size_; }
    const DateConstraint& dateConstraint() const { return date_; }
    TypeConstraint typeConstraint() const { return type_; }
    /// Requires kind() == Kind::not_.
    const Term& inner() const { return *inner_; }

    friend bool operator==(const Term& a, const Term& b);

private:
    explicit Term(Kind k) : kind_(k) {}
    template <typename T>
    static Term with(Kind k, T Term::*member, T value) {
        Term t(k);
        t.*member = std::move(value);
        return t;
    }

    // Plain members rather than a variant: a query holds a handful of terms, and each
    // accessor stays a field read.
    Kind kind_;
    std::string text_;
    SizeComparison size_;
    DateConstraint date_;
    TypeConstraint type_ = TypeConstraint::file;
    std::shared_ptr<const Term> inner_;
};

/// Readable forms for test failure messages.
std::ostream& operator<<(std::ostream& os, const SizeComparison& c);
std::ostream& operator<<(std::ostream& os, const DateConstraint& c);
std::ostream& operator<<(std::ostream& os, TypeConstraint c);
std::ostream& operator<<(std::ostream& os, const Term& t);

} // namespace ulmaro
