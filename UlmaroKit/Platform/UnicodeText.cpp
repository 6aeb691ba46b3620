#include "UlmaroKit/Platform/UnicodeText.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <stdexcept>
#include <unicode/brkiter.h>
#include <unicode/bytestream.h>
#include <unicode/casemap.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

namespace ulmaro::UnicodeText {
namespace {

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// ICU takes 32-bit lengths; never hand it more.
bool fitsIcu(std::string_view text) {
    return text.size() <= static_cast<std::size_t>(std::numeric_limits<int32_t>::max());
}

// Creating a break iterator costs far more than using one; keep one per thread.
icu::BreakIterator* characterIterator() {
    thread_local std::unique_ptr<icu::BreakIterator> it = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> made(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status)) made.reset();
        return made;
    }();
    return it.get();
}

// Calls onCluster(offset, length) for each grapheme cluster, up to `limit` of them.
template <typename Fn>
void forEachCluster(std::string_view text, std::size_t limit, Fn&& onCluster) {
    std::size_t i = 0, n = 0;
    // In ASCII only CR LF joins two characters into one cluster; a cluster can only run
    // on past an ASCII byte when a non-ASCII one (a combining mark) follows it.
    auto ascii = [&](std::size_t at) { return static_cast<unsigned char>(text[at]) < 0x80; };
    while (n < limit && i < text.size() && ascii(i) && (i + 1 >= text.size() || ascii(i + 1))) {
        std::size_t len = (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
        onCluster(i, len);
        i += len;
        ++n;
    }
    if (n == limit || i >= text.size()) return;
    icu::BreakIterator* it = characterIterator();
    if (it == nullptr || !fitsIcu(text)) {
        for (; n < limit && i < text.size(); ++i, ++n)
            onCluster(i, 1);
        return;
    }
    UErrorCode status = U_ZERO_ERROR;
    UText utext = UTEXT_INITIALIZER;
    std::string_view rest = text.substr(i);
    utext_openUTF8(&utext, rest.data(), static_cast<int64_t>(rest.size()), &status);
    it->setText(&utext, status);
    if (U_SUCCESS(status)) {
        // UTF-8 UText indices are byte offsets.
        int32_t start = it->first();
        for (int32_t end = it->next(); n < limit && end != icu::BreakIterator::DONE;
             start = end, end = it->next(), ++n)
            onCluster(i + static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
    }
    utext_close(&utext);
}

template <typename Predicate>
std::string_view trimming(std::string_view text, Predicate drop) {
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    auto length = static_cast<int32_t>(std::min<std::size_t>(text.size(), INT32_MAX));
    int32_t begin = 0;
    while (begin < length) {
        int32_t next = begin;
        UChar32 c;
        U8_NEXT(s, next, length, c);
        if (c < 0 || !drop(c)) break;
        begin = next;
    }
    int32_t end = length;
    while (end > begin) {
        int32_t previous = end;
        UChar32 c;
        U8_PREV(s, begin, previous, c);
        if (c < 0 || !drop(c)) break;
        end = previous;
    }
    return text.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
}

} // namespace

std::vector<std::string_view> graphemes(std::string_view text) {
    std::vector<std::string_view> out;
    out.reserve(text.size());
    forEachCluster(text, SIZE_MAX,
                   [&](std::size_t at, std::size_t len) { out.push_back(text.substr(at, len)); });
    return out;
}

std::size_t graphemeCount(std::string_view text) {
    std::size_t n = 0;
    forEachCluster(text, SIZE_MAX, [&](std::size_t, std::size_t) { ++n; });
    return n;
}

std::string_view graphemePrefix(std::string_view text, std::size_t count) {
    if (text.size() <= count) return text; // no character is shorter than a byte
    std::size_t end = 0;
    forEachCluster(text, count, [&](std::size_t at, std::size_t len) { end = at + len; });
    return text.substr(0, end);
}

std::string lowercased(std::string_view text) {
    if (isAscii(text)) {
        std::string out(text);
        for (char& c : out)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
        return out;
    }
    if (!fitsIcu(text)) return std::string(text);
    std::string out;
    out.reserve(text.size());
    icu::StringByteSink<std::string> sink(&out);
    UErrorCode status = U_ZERO_ERROR;
    icu::CaseMap::utf8ToLower("", 0,
                              icu::StringPiece(text.data(), static_cast<int32_t>(text.size())),
                              sink, nullptr, status);
    if (U_FAILURE(status)) return std::string(text);
    return out;
}

std::string composed(std::string_view text) {
    if (isAscii(text) || !fitsIcu(text)) return std::string(text);
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) return std::string(text);
    icu::StringPiece piece(text.data(), static_cast<int32_t>(text.size()));
    if (nfc->isNormalizedUTF8(piece, status) && U_SUCCESS(status)) return std::string(text);
    status = U_ZERO_ERROR;
    std::string out;
    icu::StringByteSink<std::string> sink(&out);
    nfc->normalizeUTF8(0, piece, sink, nullptr, status);
    if (U_FAILURE(status)) return std::string(text);
    return out;
}

bool isSpaceOrTab(char32_t c) {
    return c == U'\t' || u_charType(static_cast<UChar32>(c)) == U_SPACE_SEPARATOR;
}

std::string_view trimmingSpacesAndTabs(std::string_view text) {
    return trimming(text, [](UChar32 c) { return isSpaceOrTab(static_cast<char32_t>(c)); });
}

std::string_view trimmingWhitespaceAndNewlines(std::string_view text) {
    return trimming(text, [](UChar32 c) {
        return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == '\t' ||
               (U_GET_GC_MASK(c) & U_GC_Z_MASK) != 0;
    });
}

char32_t firstScalar(std::string_view text) {
    if (text.empty()) return U'\uFFFD';
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    int32_t i = 0;
    UChar32 c;
    U8_NEXT(s, i, static_cast<int32_t>(std::min<std::size_t>(text.size(), 4)), c);
    return c < 0 ? U'\uFFFD' : static_cast<char32_t>(c);
}

bool isLetter(std::string_view character) {
    return u_hasBinaryProperty(static_cast<UChar32>(firstScalar(character)), UCHAR_ALPHABETIC);
}

bool isNumber(std::string_view character) {
    return u_getIntPropertyValue(static_cast<UChar32>(firstScalar(character)),
                                 UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

} // namespace ulmaro::UnicodeText
