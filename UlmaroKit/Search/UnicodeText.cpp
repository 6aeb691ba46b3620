#include "UlmaroKit/Search/UnicodeText.h"

#include <memory>
#include <stdexcept>
#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/ucasemap.h>
#include <unicode/uchar.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

namespace ulmaro::UnicodeText {

namespace {

bool isAscii(std::string_view text) {
    for (unsigned char c : text)
        if (c >= 0x80) return false;
    return true;
}

// Creating a break iterator costs far more than using one; keep one per thread.
icu::BreakIterator& characterIterator() {
    thread_local std::unique_ptr<icu::BreakIterator> it = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> made(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status) || !made) throw std::runtime_error("ICU character iterator");
        return made;
    }();
    return *it;
}

template <typename Fn>
void forEachBoundary(std::string_view text, Fn&& onCluster) {
    if (text.empty()) return;
    if (isAscii(text)) {
        // In ASCII only CR LF joins two characters into one cluster.
        for (std::size_t i = 0; i < text.size();) {
            const std::size_t len =
                (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            onCluster(i, len);
            i += len;
        }
        return;
    }
    UErrorCode status = U_ZERO_ERROR;
    UText* ut = utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
    if (U_FAILURE(status)) throw std::runtime_error("ICU utext_openUTF8");
    auto& it = characterIterator();
    it.setText(ut, status);
    if (U_FAILURE(status)) {
        utext_close(ut);
        throw std::runtime_error("ICU setText");
    }
    // UTF-8 UText indices are byte offsets.
    int32_t start = it.first();
    for (int32_t end = it.next(); end != icu::BreakIterator::DONE; start = end, end = it.next())
        onCluster(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
    utext_close(ut);
}

} // namespace

std::vector<std::string_view> graphemes(std::string_view text) {
    std::vector<std::string_view> out;
    out.reserve(text.size());
    forEachBoundary(text,
                    [&](std::size_t at, std::size_t len) { out.push_back(text.substr(at, len)); });
    return out;
}

std::size_t graphemeCount(std::string_view text) {
    std::size_t n = 0;
    forEachBoundary(text, [&](std::size_t, std::size_t) { ++n; });
    return n;
}

std::string lowercased(std::string_view text) {
    if (isAscii(text)) {
        std::string out(text);
        for (char& c : out)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
        return out;
    }
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UCaseMap, decltype(&ucasemap_close)> map(ucasemap_open("", 0, &status),
                                                             &ucasemap_close);
    if (U_FAILURE(status)) throw std::runtime_error("ICU ucasemap_open");
    std::string out(text.size() + 16, '\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        status = U_ZERO_ERROR;
        const int32_t n =
            ucasemap_utf8ToLower(map.get(), out.data(), static_cast<int32_t>(out.size()),
                                 text.data(), static_cast<int32_t>(text.size()), &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            out.assign(static_cast<std::size_t>(n), '\0');
            continue;
        }
        if (U_FAILURE(status)) throw std::runtime_error("ICU ucasemap_utf8ToLower");
        out.resize(static_cast<std::size_t>(n));
        return out;
    }
    throw std::runtime_error("ICU ucasemap_utf8ToLower");
}

bool isSpaceOrTab(char32_t c) {
    return c == U'\t' || u_charType(static_cast<UChar32>(c)) == U_SPACE_SEPARATOR;
}

std::string_view trimmingSpacesAndTabs(std::string_view text) {
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    int32_t begin = 0;
    while (begin < length) {
        int32_t next = begin;
        UChar32 c;
        U8_NEXT(s, next, length, c);
        if (c < 0 || !isSpaceOrTab(static_cast<char32_t>(c))) break;
        begin = next;
    }
    int32_t end = length;
    while (end > begin) {
        int32_t prev = end;
        UChar32 c;
        U8_PREV(s, 0, prev, c);
        if (c < 0 || !isSpaceOrTab(static_cast<char32_t>(c))) break;
        end = prev;
    }
    return text.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
}

char32_t firstScalar(std::string_view text) {
    if (text.empty()) return U'\uFFFD';
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    int32_t i = 0;
    UChar32 c;
    U8_NEXT(s, i, static_cast<int32_t>(text.size()), c);
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
