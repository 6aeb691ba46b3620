#include "UlmaroKit/Search/RegexLiteral.h"

#include "UlmaroKit/Platform/UnicodeText.h"
#include "UlmaroKit/Platform/Utf8.h"

#include <algorithm>
#include <string>

namespace ulmaro::RegexLiteral {

namespace {

using Chars = std::vector<std::string_view>;

/// Valid UTF-8 cut into code points. The engine reads a pattern code point by code point, so a
/// combining mark is a character of its own: it neither hides a quantifier or a bar before it
/// nor joins the letter it follows.
Chars codePoints(std::string_view text) {
    Chars out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t len = 1;
        while (i + len < text.size() && (static_cast<unsigned char>(text[i + len]) & 0xC0) == 0x80)
            ++len;
        out.push_back(text.substr(i, len));
        i += len;
    }
    return out;
}

char asciiOf(std::string_view ch) {
    return ch.size() == 1 ? ch[0] : '\0';
}
bool isAsciiDigit(std::string_view ch) {
    return ch.size() == 1 && ch[0] >= '0' && ch[0] <= '9';
}
bool isHexDigit(std::string_view ch) {
    const char c = asciiOf(ch);
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

/// Index just past the first `close` at or after `i`, or the end.
std::size_t pastNext(const Chars& c, std::size_t i, std::string_view close) {
    while (i < c.size() && c[i] != close)
        ++i;
    return i < c.size() ? i + 1 : c.size();
}

struct CodePointEscape {
    char32_t value = 0;
    std::size_t past = 0;
};

/// `c[i]` is a backslash with a character after it. The code point of an escape that the
/// matcher's compilation reads as one: \xhh, \x{h...}, \uhhhh, \u{h...} and \Uhhhhhhhh. Any
/// other \x, \u or \U stands for its own letter there.
std::optional<CodePointEscape> codePointEscape(const Chars& c, std::size_t i) {
    const char letter = asciiOf(c[i + 1]);
    if (letter != 'x' && letter != 'u' && letter != 'U') return std::nullopt;
    auto hexValue = [&](std::size_t from, std::size_t most) {
        CodePointEscape e{0, from};
        while (e.past < c.size() && e.past - from < most && isHexDigit(c[e.past])) {
            const char d = asciiOf(c[e.past++]);
            const unsigned digit = d <= '9' ? d - '0' : (d | 0x20) - 'a' + 10;
            e.value = std::min<char32_t>(e.value * 16 + digit, 0x110000); // past Unicode: an error
        }
        return e;
    };
    const std::size_t j = i + 2;
    if (letter != 'U' && j < c.size() && c[j] == "{") {
        const CodePointEscape e = hexValue(j + 1, c.size());
        if (e.past > j + 1 && e.past < c.size() && c[e.past] == "}") return {{e.value, e.past + 1}};
        return std::nullopt;
    }
    const std::size_t digits = letter == 'x' ? 2 : letter == 'u' ? 4 : 8;
    const CodePointEscape e = hexValue(j, digits);
    if (e.past - j == digits) return e;
    return std::nullopt;
}

/// `c[i]` is a backslash with a character after it. Returns the index past the whole escape,
/// including arguments such as \x41, \x{e9}, \u00e9, \0101, \cA, \k<name>, \p{L} and \Q...\E.
std::size_t skipEscape(const Chars& c, std::size_t i) {
    const std::size_t n = c.size();
    const char letter = asciiOf(c[i + 1]);
    if (const auto e = codePointEscape(c, i)) return e->past;
    std::size_t j = i + 2;
    auto skipWhile = [&](auto pred, std::size_t most) {
        for (std::size_t k = 0; k < most && j < n && pred(c[j]); ++k)
            ++j;
    };
    if (letter >= '0' && letter <= '9') {
        skipWhile(isAsciiDigit, n); // back reference or octal code, however long
        return j;
    }
    switch (letter) {
    case 'Q': // quoted text up to \E
        while (j + 1 < n && !(c[j] == "\\" && c[j + 1] == "E"))
            ++j;
        return j + 1 < n ? j + 2 : n;
    case 'c':
        return j < n ? j + 1 : n;
    default:
        break;
    }
    const bool takesBraces = std::string_view("opPNkg").find(letter) != std::string_view::npos;
    if (takesBraces && j < n && c[j] == "{") return pastNext(c, j + 1, "}");
    if ((letter == 'k' || letter == 'g') && j < n && (c[j] == "<" || c[j] == "'"))
        return pastNext(c, j + 1, c[j] == "<" ? ">" : "'");
    switch (letter) {
    case 'p':
    case 'P':
        if (j < n) ++j; // one-letter property name, as in \pL
        break;
    case 'g':
        if (j < n && (c[j] == "+" || c[j] == "-")) ++j;
        skipWhile(isAsciiDigit, n);
        break;
    default:
        break;
    }
    return j;
}

/// `c[i]` is "[" inside a bracket and `c[i + 1]` is ":", "." or "=". The index of the matching
/// terminator (":]", ".]" or "=]") when this opens a POSIX class such as [:alpha:], the way
/// PCRE2 decides it; nullopt when the "[" is a plain member.
std::optional<std::size_t> posixClassEnd(const Chars& c, std::size_t i) {
    const std::string_view terminator = c[i + 1];
    for (std::size_t j = i + 2; j + 1 < c.size(); ++j) {
        if (c[j] == "\\" && (c[j + 1] == "]" || c[j + 1] == "\\")) {
            ++j;
        } else if ((c[j] == "[" && c[j + 1] == terminator) || c[j] == "]") {
            return std::nullopt;
        } else if (c[j] == terminator && c[j + 1] == "]") {
            return j;
        }
    }
    return std::nullopt;
}

/// `c[i]` is "[". Index past the bracket expression; a "]" right after the opening "[" or
/// "[^" is a member, not the close. Inside, a "[" opens nothing but a POSIX class.
std::size_t skipBracket(const Chars& c, std::size_t i) {
    const std::size_t n = c.size();
    std::size_t j = i + 1;
    if (j < n && c[j] == "^") ++j;
    if (j < n && c[j] == "]") ++j;
    while (j < n) {
        if (c[j] == "\\") {
            if (j + 1 >= n) return n;
            j = skipEscape(c, j);
            continue;
        }
        if (c[j] == "[" && j + 1 < n && (c[j + 1] == ":" || c[j + 1] == "." || c[j + 1] == "=")) {
            if (const auto end = posixClassEnd(c, j)) {
                j = *end + 2;
                continue;
            }
        }
        if (c[j] == "]") return j + 1;
        ++j;
    }
    return n;
}

/// A "(?#" comment runs to the next ")"; nothing in it is special.
bool isComment(const Chars& c, std::size_t i) {
    return i + 2 < c.size() && c[i] == "(" && c[i + 1] == "?" && c[i + 2] == "#";
}

/// Index past an escape, a bracket expression or a comment starting at `i`, whose insides
/// neither open nor close anything; nullopt for any other character.
std::optional<std::size_t> pastOpaqueUnit(const Chars& c, std::size_t i) {
    if (c[i] == "\\") return i + 1 < c.size() ? skipEscape(c, i) : c.size();
    if (c[i] == "[") return skipBracket(c, i);
    if (isComment(c, i)) return pastNext(c, i + 3, ")");
    return std::nullopt;
}

/// `c[i]` is "(". Index past the matching ")"; a ")" in a bracket closes nothing.
std::size_t skipGroup(const Chars& c, std::size_t i) {
    if (isComment(c, i)) return pastNext(c, i + 3, ")");
    std::size_t j = i + 1;
    int depth = 1;
    while (j < c.size()) {
        if (const auto past = pastOpaqueUnit(c, j)) {
            j = *past;
            continue;
        }
        if (c[j] == "(") ++depth;
        if (c[j] == ")" && --depth == 0) return j + 1;
        ++j;
    }
    return c.size();
}

/// Whether an inline option group such as (?x), (?ix) or (?x:...) starts at `i`.
bool turnsOnExtendedMode(const Chars& c, std::size_t i) {
    if (i + 1 >= c.size() || c[i + 1] != "?") return false;
    for (std::size_t j = i + 2; j < c.size(); ++j) {
        const char f = asciiOf(c[j]);
        if (f == 'x') return true;
        const bool flag = (f >= 'a' && f <= 'z') || (f >= 'A' && f <= 'Z') || f == '-' || f == '^';
        if (!flag) return false;
    }
    return false;
}

/// Patterns whose literal text cannot be trusted as a whole: an alternation outside a
/// bracket (at any depth); extended mode, where white space and "#" are not literal; and every
/// "(*" construct (backtracking verbs such as (*ACCEPT), which ends a match wherever it stands,
/// start-of-pattern options, assertions written with words), which the walk does not model.
bool isBeyondTheWalk(const Chars& c) {
    for (std::size_t i = 0; i < c.size();) {
        if (const auto past = pastOpaqueUnit(c, i)) {
            i = *past;
            continue;
        }
        if (c[i] == "|") return true;
        if (c[i] == "(" && turnsOnExtendedMode(c, i)) return true;
        if (c[i] == "(" && i + 1 < c.size() && c[i + 1] == "*") return true;
        ++i;
    }
    return false;
}

/// The byte of a single ASCII character, letters lowered. "k" and "s" have none: matching
/// without case with Unicode properties, the engine lets them match U+212A KELVIN SIGN and
/// U+017F LATIN SMALL LETTER LONG S, which no single byte of a name stands for.
std::optional<std::uint8_t> byteOf(std::string_view ch) {
    if (ch.size() != 1 || static_cast<unsigned char>(ch[0]) >= 0x80) return std::nullopt;
    const auto b = static_cast<std::uint8_t>(ch[0]);
    if (b == 'k' || b == 'K' || b == 's' || b == 'S') return std::nullopt;
    return b >= 'A' && b <= 'Z' ? static_cast<std::uint8_t>(b + 0x20) : b;
}

/// Whether the atom before `p` may be absent: "?", "*", or "{" with a minimum of zero.
/// A quantifier reaches back over a stray \E, an empty \Q\E and a (?#...) comment.
bool isOptionalMarker(const Chars& c, std::size_t p) {
    for (;;) {
        if (p + 1 < c.size() && c[p] == "\\" && c[p + 1] == "E") {
            p += 2;
        } else if (p + 3 < c.size() && c[p] == "\\" && c[p + 1] == "Q" && c[p + 2] == "\\" &&
                   c[p + 3] == "E") {
            p += 4;
        } else if (isComment(c, p)) {
            p = pastNext(c, p + 3, ")");
        } else {
            break;
        }
    }
    if (p >= c.size()) return false;
    if (c[p] == "?" || c[p] == "*") return true;
    if (c[p] != "{") return false;
    for (std::size_t j = p + 1; j < c.size() && isAsciiDigit(c[j]); ++j)
        if (c[j] != "0") return false;
    return true; // no digits, or only zeros
}

/// `c[i]` is "{". Past a repetition count such as {2} or {0,3}; any other "{" is taken alone,
/// since its text is literal and may even run into a bracket or group.
std::size_t pastRepetitionCount(const Chars& c, std::size_t i) {
    std::size_t j = i + 1;
    while (j < c.size() && (isAsciiDigit(c[j]) || c[j] == "," || c[j] == " "))
        ++j;
    return j < c.size() && c[j] == "}" ? j + 1 : i + 1;
}

bool isRunBreaker(std::string_view ch) {
    return ch.size() == 1 && std::string_view(")]}.^$*+?|").find(ch[0]) != std::string_view::npos;
}

} // namespace

std::optional<std::vector<std::uint8_t>> required(std::string_view pattern) {
    const std::string text = repairUtf8(pattern);
    const Chars c = codePoints(text);
    if (isBeyondTheWalk(c)) return std::nullopt;

    std::vector<std::uint8_t> run, best;
    auto endRun = [&] {
        if (run.size() > best.size()) best = run;
        run.clear();
    };
    const std::size_t n = c.size();
    for (std::size_t i = 0; i < n;) {
        const std::string_view ch = c[i];
        if (ch == "\\") {
            if (i + 1 >= n) break;
            const std::string_view escaped = c[i + 1];
            if (const auto e = codePointEscape(c, i)) {
                // An ASCII code point counts like the letter itself, as in \u0041 or \x2e.
                const auto b = e->value < 0x80 ? byteOf(std::string(1, static_cast<char>(e->value)))
                                               : std::nullopt;
                if (b && !isOptionalMarker(c, e->past))
                    run.push_back(*b);
                else
                    endRun();
                i = e->past;
                continue;
            }
            if (UnicodeText::isLetter(escaped) || UnicodeText::isNumber(escaped)) {
                endRun();
                i = skipEscape(c, i);
                continue;
            }
            const auto b = byteOf(escaped);
            if (b && !isOptionalMarker(c, i + 2))
                run.push_back(*b);
            else
                endRun();
            i += 2;
        } else if (ch == "[") {
            endRun();
            i = skipBracket(c, i);
        } else if (ch == "(") {
            endRun();
            i = skipGroup(c, i);
        } else if (ch == "{") {
            endRun();
            i = pastRepetitionCount(c, i);
        } else if (isRunBreaker(ch)) {
            endRun();
            ++i;
        } else {
            const auto b = byteOf(ch);
            if (b && !isOptionalMarker(c, i + 1))
                run.push_back(*b);
            else
                endRun();
            ++i;
        }
    }
    endRun();
    if (best.size() < 2) return std::nullopt;
    return best;
}

} // namespace ulmaro::RegexLiteral
