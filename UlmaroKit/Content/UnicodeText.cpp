#include "UlmaroKit/Content/UnicodeText.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <unicode/brkiter.h>
#include <unicode/bytestream.h>
#include <unicode/casemap.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

namespace ulmaro {
namespace {

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// ICU takes 32-bit lengths; document text is capped far below, but never hand it more.
bool fitsIcu(std::string_view text) {
    return text.size() <= static_cast<std::size_t>(std::numeric_limits<int32_t>::max());
}

bool isSpace(UChar32 c) {
    return c == '\t' || u_charType(c) == U_SPACE_SEPARATOR;
}

bool isSpaceOrNewline(UChar32 c) {
    if (c >= 0x0A && c <= 0x0D) return true;
    if (c == 0x85) return true;
    return c == '\t' || (U_GET_GC_MASK(c) & U_GC_Z_MASK) != 0;
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

std::string lowercasedText(std::string_view text) {
    if (isAscii(text)) {
        std::string out(text);
        for (char& c : out) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
        }
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

std::string_view firstCharacters(std::string_view text, std::size_t count) {
    // No character is shorter than a byte.
    if (text.size() <= count) return text;
    // ASCII characters are single bytes, except CR LF; a cluster can only run on past an
    // ASCII byte when a non-ASCII one (a combining mark) follows.
    std::size_t bytes = 0, characters = 0;
    auto ascii = [&](std::size_t at) { return static_cast<unsigned char>(text[at]) < 0x80; };
    while (characters < count && bytes < text.size() && ascii(bytes)) {
        bytes += text.compare(bytes, 2, "\r\n") == 0 ? 2 : 1;
        ++characters;
    }
    if (bytes >= text.size()) return text;
    if (characters == count && ascii(bytes)) return text.substr(0, bytes);
    if (!fitsIcu(text)) return text.substr(0, count);
    thread_local std::unique_ptr<icu::BreakIterator> iterator;
    UErrorCode status = U_ZERO_ERROR;
    if (!iterator) {
        iterator.reset(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status) || !iterator) {
            iterator.reset();
            return text.substr(0, count);
        }
    }
    UText utext = UTEXT_INITIALIZER;
    utext_openUTF8(&utext, text.data(), static_cast<int64_t>(text.size()), &status);
    iterator->setText(&utext, status);
    std::string_view result = text;
    if (U_SUCCESS(status)) {
        int32_t boundary = iterator->first();
        for (std::size_t k = 0; k < count && boundary != icu::BreakIterator::DONE; ++k) {
            boundary = iterator->next();
        }
        if (boundary != icu::BreakIterator::DONE) {
            result = text.substr(0, static_cast<std::size_t>(boundary));
        }
    }
    utext_close(&utext);
    return result;
}

std::string_view trimmingSpaces(std::string_view text) {
    return trimming(text, isSpace);
}

std::string_view trimmingWhitespaceAndNewlines(std::string_view text) {
    return trimming(text, isSpaceOrNewline);
}

std::string composedText(std::string_view text) {
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

} // namespace ulmaro
