#include "UlmaroAppKit/Text/NaturalCompare.h"

#include "UlmaroAppKit/Text/UserLocale.h"

#include <limits>
#include <memory>
#include <unicode/coll.h>
#include <unicode/locid.h>

namespace ulmaro {
namespace {

// Building a collator costs far more than comparing with one, and a collator is not to be
// shared between threads: one per thread, rebuilt when the user's locale is pinned anew.
icu::Collator* collator() {
    struct Cached {
        std::uint64_t generation = std::numeric_limits<std::uint64_t>::max();
        std::unique_ptr<icu::Collator> collator;
    };
    thread_local Cached cached;
    auto generation = UserLocale::generation();
    if (cached.generation != generation) {
        cached.generation = generation;
        UErrorCode status = U_ZERO_ERROR;
        // The POSIX locale's collation orders by code point, capitals first; names still
        // sort as people read them there, so it falls back to the root order.
        std::string id = UserLocale::collation();
        if (id == "en_US_POSIX") id = "";
        std::unique_ptr<icu::Collator> made(
            icu::Collator::createInstance(icu::Locale(id.c_str()), status));
        if (U_SUCCESS(status)) {
            // Secondary strength: case is ignored, accents are not.
            made->setStrength(icu::Collator::SECONDARY);
            made->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
        }
        cached.collator = U_SUCCESS(status) ? std::move(made) : nullptr;
    }
    return cached.collator.get();
}

int sign(int v) {
    return (v > 0) - (v < 0);
}

} // namespace

int naturalCompare(std::string_view a, std::string_view b) {
    constexpr auto icuMax = static_cast<std::size_t>(std::numeric_limits<int32_t>::max());
    if (auto* c = collator(); c != nullptr && a.size() <= icuMax && b.size() <= icuMax) {
        UErrorCode status = U_ZERO_ERROR;
        // ICU reads ill-formed UTF-8 as U+FFFD, the way names are shown.
        auto result =
            c->compareUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
                           icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status);
        if (U_SUCCESS(status) && result != UCOL_EQUAL) return result == UCOL_LESS ? -1 : 1;
    }
    return sign(a.compare(b));
}

} // namespace ulmaro
