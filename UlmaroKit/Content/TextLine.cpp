#include "UlmaroKit/Content/TextLine.h"

#include <algorithm>
#include <cstring>

namespace ulmaro {
namespace {

bool isBreak(char c) {
    return c == '\n' || c == '\r';
}

} // namespace

TextLine TextLine::around(std::string_view text, std::size_t matchBegin, std::size_t matchEnd) {
    matchBegin = std::min(matchBegin, text.size());
    const char* first = text.data();
    const char* at = first + matchBegin;
    // Every LF counts; a CR counts unless an LF follows it (that LF is the counted break).
    auto breaks = static_cast<std::int64_t>(std::count(first, at, '\n'));
    for (const char* cr = first; cr < at;) {
        cr = static_cast<const char*>(std::memchr(cr, '\r', static_cast<std::size_t>(at - cr)));
        if (cr == nullptr) break;
        if (cr + 1 == text.data() + text.size() || cr[1] != '\n') ++breaks;
        ++cr;
    }
    std::size_t begin = matchBegin;
    while (begin > 0 && !isBreak(text[begin - 1]))
        --begin;
    std::size_t last = matchEnd > matchBegin ? matchEnd - 1 : matchBegin;
    std::size_t end = std::min(last, text.size());
    while (end < text.size() && !isBreak(text[end]))
        ++end;
    return {breaks + 1, begin, std::max(end, begin)};
}

} // namespace ulmaro
