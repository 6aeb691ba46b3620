#include "UlmaroKit/Platform/UnicodeText.h"

#include "UlmaroKit/Platform/Utf8.h"

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <unicode/ubrk.h>
#include <unicode/ucasemap.h>
#include <unicode/utext.h>

namespace ulmaro {
namespace {

bool isAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

struct CaseMapCloser {
    void operator()(UCaseMap* m) const { ucasemap_close(m); }
};
struct BreakCloser {
    void operator()(UBreakIterator* b) const { ubrk_close(b); }
};

UCaseMap* rootCaseMap() {
    thread_local std::unique_ptr<UCaseMap, CaseMapCloser> map = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<UCaseMap, CaseMapCloser> m(ucasemap_open("", 0, &status));
        if (U_FAILURE(status)) throw std::runtime_error("ICU case map unavailable");
        return m;
    }();
    return map.get();
}

UBreakIterator* characterBreaks() {
    thread_local std::unique_ptr<UBreakIterator, BreakCloser> it = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<UBreakIterator, BreakCloser> b(
            ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &status));
        if (U_FAILURE(status)) throw std::runtime_error("ICU break iterator unavailable");
        return b;
    }();
    return it.get();
}

// Walks grapheme boundaries of valid UTF-8, stopping after `limit` clusters.
// Returns the cluster count and, through `end`, the byte offset where it stopped.
std::size_t walkGraphemes(std::string_view utf8, std::size_t limit, std::size_t* end) {
    if (isAscii(utf8)) {
        // In ASCII every byte is a cluster except CR LF, which is one.
        std::size_t count = 0, i = 0;
        while (i < utf8.size() && count < limit) {
            i += (utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') ? 2 : 1;
            ++count;
        }
        *end = i;
        return count;
    }
    UErrorCode status = U_ZERO_ERROR;
    UText text = UTEXT_INITIALIZER;
    utext_openUTF8(&text, utf8.data(), static_cast<int64_t>(utf8.size()), &status);
    UBreakIterator* it = characterBreaks();
    ubrk_setUText(it, &text, &status);
    std::size_t count = 0;
    int32_t pos = ubrk_first(it);
    std::size_t stop = 0;
    while (count < limit) {
        int32_t next = ubrk_next(it);
        if (next == UBRK_DONE) break;
        stop = static_cast<std::size_t>(next);
        ++count;
    }
    (void)pos;
    utext_close(&text);
    *end = count == 0 ? 0 : stop;
    return count;
}

} // namespace

std::string UnicodeText::lowercased(std::string_view utf8) {
    std::string repaired;
    if (!isValidUtf8(utf8)) {
        repaired = repairUtf8(utf8);
        utf8 = repaired;
    }
    if (isAscii(utf8)) {
        std::string out(utf8);
        for (char& c : out)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        return out;
    }
    std::string out(utf8.size() + utf8.size() / 4 + 16, '\0');
    for (;;) {
        UErrorCode status = U_ZERO_ERROR;
        int32_t n =
            ucasemap_utf8ToLower(rootCaseMap(), out.data(), static_cast<int32_t>(out.size()),
                                 utf8.data(), static_cast<int32_t>(utf8.size()), &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            out.resize(static_cast<std::size_t>(n));
            continue;
        }
        if (U_FAILURE(status)) return std::string(utf8);
        out.resize(static_cast<std::size_t>(n));
        return out;
    }
}

std::size_t UnicodeText::graphemeCount(std::string_view utf8) {
    std::string repaired;
    if (!isValidUtf8(utf8)) {
        repaired = repairUtf8(utf8);
        utf8 = repaired;
    }
    std::size_t end;
    return walkGraphemes(utf8, static_cast<std::size_t>(-1), &end);
}

std::string_view UnicodeText::graphemePrefix(std::string_view utf8, std::size_t count) {
    std::size_t end;
    walkGraphemes(utf8, count, &end);
    return utf8.substr(0, end);
}

} // namespace ulmaro
