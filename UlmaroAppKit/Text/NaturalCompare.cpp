#include "UlmaroAppKit/Text/NaturalCompare.h"

#include "UlmaroAppKit/Text/UserLocale.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

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

std::string naturalSortKey(std::string_view name) {
    icu::Collator* c = collator();
    if (c == nullptr || name.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
        return std::string(name);
    // ASCII needs no decoding: each byte is its UTF-16 unit. Other names are decoded with
    // ill-formed sequences read as U+FFFD, the way they are shown.
    const bool ascii = std::all_of(name.begin(), name.end(),
                                   [](char ch) { return static_cast<unsigned char>(ch) < 0x80; });
    icu::UnicodeString text;
    if (ascii) {
        UChar* units = text.getBuffer(static_cast<int32_t>(name.size()));
        for (std::size_t i = 0; i < name.size(); ++i)
            units[i] = static_cast<UChar>(name[i]);
        text.releaseBuffer(static_cast<int32_t>(name.size()));
    } else {
        text = icu::UnicodeString::fromUTF8(
            icu::StringPiece(name.data(), static_cast<int32_t>(name.size())));
    }
    std::string key(name.size() * 2 + 16, '\0');
    for (;;) {
        const int32_t needed = c->getSortKey(text, reinterpret_cast<uint8_t*>(key.data()),
                                             static_cast<int32_t>(key.size()));
        if (needed <= 0) return std::string(name);
        if (static_cast<std::size_t>(needed) <= key.size()) {
            // The key ends with a NUL of its own, which `<` need not see.
            key.resize(static_cast<std::size_t>(needed) - 1);
            return key;
        }
        key.resize(static_cast<std::size_t>(needed));
    }
}

} // namespace ulmaro
