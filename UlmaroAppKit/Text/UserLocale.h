#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ulmaro {

/// The user's locale as ICU locale IDs, one per concern: collation follows LC_COLLATE,
/// numbers LC_NUMERIC, dates LC_TIME, each overridden by LC_ALL and falling back to LANG, as the C
/// library reads them ("C" and "POSIX" are "en_US_POSIX"). Safe from any thread.
/// Formatters built from these are cached per thread and rebuilt only after a `pin`, so
/// the environment counts as it was when a thread first formatted.
namespace UserLocale {

std::string collation();
std::string numbers();
std::string times();

/// Makes every concern use `localeID` (tests pin one this way); an empty ID returns to
/// the environment's.
void pin(std::string_view localeID);
/// Grows on every `pin`, so that cached formatters know to rebuild.
std::uint64_t generation();

} // namespace UserLocale

/// Pins the user's locale for the life of the value, then restores the environment's.
class ScopedUserLocale {
public:
    explicit ScopedUserLocale(std::string_view localeID) { UserLocale::pin(localeID); }
    ~ScopedUserLocale() { UserLocale::pin({}); }
    ScopedUserLocale(const ScopedUserLocale&) = delete;
    ScopedUserLocale& operator=(const ScopedUserLocale&) = delete;
};

} // namespace ulmaro
