#include "UlmaroKit/Platform/UnicodeText.h"
#include "UlmaroKit/Search/MatcherRegex.h"
#include "UlmaroKit/Search/RegexLiteral.h"

#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <random>
#include <string>

namespace ulmaro {
namespace {

std::optional<std::string> literal(std::string_view pattern) {
    auto bytes = RegexLiteral::required(pattern);
    if (!bytes) return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

struct LiteralCase {
    std::string pattern;
    std::optional<std::string> expected;
};

void expectLiterals(const std::vector<LiteralCase>& cases) {
    for (const auto& c : cases)
        EXPECT_EQ(literal(c.pattern), c.expected) << "pattern: " << c.pattern;
}

TEST(RegexLiteral, DerivesTheLongestRequiredRun) {
    const auto none = std::nullopt;
    expectLiterals({
        {"report.*2024", "report"},
        {"^IMG_\\d+\\.JPG$", "img_"},
        {"colou?r", "colo"},
        {"ab{0,3}cd", "cd"},
        {"x{2,5}", none},
        {"(foo)bar", "bar"},
        {"[abc]def", "def"},
        {"ab+c", "ab"},
        {"a.b", none},
        {"a|b", none},
        {"(jpe?g|png)x", none},
        {"", none},
        {"a", none},
        {"\xC3\xA9t\xC3\xA9", none},
        {"a\\|b", "a|b"},
        {"[|]x", none},
        {"x{3}yz", "yz"},
        {"ab*", none},
        {"abc\\.?de", "abc"},
        {"ab\\.de", "ab.de"},
        {"ab\\", "ab"},
        {"xab\\", "xab"},
        {"ab{,2}cd", "cd"},
        {"abc{1}", "abc"},
        {"ab{", none},
        {"a\\\\b", "a\\b"},
        {"caf\xC3\xA9s", "caf"},
        {"e\xCC\x81"
         "ab",
         "ab"},
        {"(a(b)c)de", "de"},
        {"(unclosed", none},
        {"[unclosed", none},
    });
}

TEST(RegexLiteral, SkipsWholeEscapeArguments) {
    const auto none = std::nullopt;
    expectLiterals({
        {"\\x41bc", "abc"}, // an ASCII code point counts as the letter
        {"\\x{41}bc", "abc"},
        {"\\u00e9tude", "tude"},
        {"\\U0001F600ab", "ab"},
        {"\\0101xy", "xy"},
        {"\\12ab", "ab"},
        {"\\cAbc", "bc"},
        {"\\k<name>ab", "ab"},
        {"\\k'name'ab", "ab"},
        {"\\k{name}ab", "ab"},
        {"\\g{-1}ab", "ab"},
        {"\\g-1ab", "ab"},
        {"\\p{L}ab", "ab"},
        {"\\pLab", "ab"},
        {"\\N{LATIN SMALL LETTER A}bc", "bc"},
        {"\\o{101}bc", "bc"},
        {"\\Qa.b\\Ecd", "cd"},
        {"\\Q|\\Exyz", "xyz"},
        {"report\\d{2}", "report"},
        // Extended mode ignores white space and comments: nothing typed is surely literal.
        {"(?x)a b c", none},
        {"(?ix)abc", none},
        {"(?x:ab)cd", none},
        {"(?i)abc", "abc"},
    });
}

TEST(RegexLiteral, BracketsAndGroupsFollowTheEngine) {
    const auto none = std::nullopt;
    expectLiterals({
        {"[]abc]", none}, // "]" first in a bracket is a member
        {"[^]abc]xy", "xy"},
        {"([)]xy)?zw", "zw"},  // ")" in a bracket does not close the group
        {"\\Q[\\E|xyz", none}, // the "[" is quoted: the bar is an alternation
        {"[a\\]|]bc", "bc"},
        {"ab{00,3}cd", "cd"},   // a minimum of zero written "00"
        {"a\r\nbc", "a\r\nbc"}, // the engine reads CR and LF as two characters
        // Quantifiers reach back over \E, \Q\E and comments.
        {"xa\\E?bc", "bc"},
        {"xa\\Q\\E*bc", "bc"},
        {"xa(?#note)?bc", "bc"},
        // Only a repetition count is skipped; any other "{" is literal text.
        {"a{bc}de", "bc"},
        {"ab(?#[)|", std::nullopt}, // a comment holds no bracket
        {"{[\\E{1}ab]", std::nullopt},
    });
}

// Escapes as the matcher compiles them: \uhhhh, \u{h...}, \xhh, \x{h...} and \Uhhhhhhhh are
// code points; any other \u, \x or \U stands for its letter.
TEST(RegexLiteral, CodePointEscapesAgreeWithTheMatcher) {
    const auto none = std::nullopt;
    expectLiterals({
        {"\\u0041bc", "abc"},
        {"\\u{41}bc", "abc"},
        {"\\U00000041bc", "abc"},
        {"x\\u0041?bc", "bc"},
        {"\\u004Belvin", "elvin"}, // K
        {"\\u00e9tude", "tude"},
        {"\\uzzab", "zzab"},
        {"\\u12xab", "12xab"}, // too few digits: a "u", then "12xab"
        {"\\x4gcd", "4gcd"},
        {"\\x{zz}ab", "zz"},
        {"[\\x{]ab}|c", none}, // no code point: the bracket ends at "]", then an alternation
        {"\\Q\\u0041\\Ebc", "bc"},
    });
}

// The engine reads code points, not what a reader sees as one character: a combining mark
// neither hides a quantifier or a bar before it nor takes the letter before it along.
TEST(RegexLiteral, CombiningMarksAreCharactersOfTheirOwn) {
    const auto none = std::nullopt;
    const std::string mark = "\xCC\x81"; // U+0301 COMBINING ACUTE ACCENT
    expectLiterals({
        {"xa?" + mark + "yz", "yz"},  // "a" is optional
        {"xab*" + mark + "cd", "xa"}, // "b" is optional
        {"xab{0}" + mark + "cd", "xa"},
        {"ab|" + mark + "x", none},     // an alternation
        {"ab\\|" + mark + "x", "ab|"},  // an escaped bar
        {"ab\\\\|" + mark + "x", none}, // an escaped backslash, then an alternation
        {"e" + mark + "ab", "ab"},
        {"abe" + mark, "abe"},      // the "e" is there, with its mark after it
        {"a" + mark + "?bc", "bc"}, // only the mark is optional; "a" alone is short
        {"xya" + mark + "?", "xya"},
    });
}

// What the engine reads otherwise than the walk would: letters that match more than their
// ASCII case pair, verbs, and a "[" inside a bracket, which opens nothing but a POSIX class.
TEST(RegexLiteral, StopsWhereTheEngineReadsMore) {
    const auto none = std::nullopt;
    expectLiterals({
        {"kelvin", "elvin"}, // "k" matches U+212A KELVIN SIGN
        {"KELVIN", "elvin"},
        {"classic", "cla"}, // "s" matches U+017F LATIN SMALL LETTER LONG S
        {"\\.desk", ".de"},
        {"abc(*ACCEPT)def", none}, // a match may end at the verb
        {"(abc(*ACCEPT))def", none},
        {"(*UCP)abc", none},
        {"abc(*COMMIT)def", none},
        {"abc(*pla:x)de", none},
        {"abc\\(*def", "abc"}, // an escaped parenthesis opens nothing
        {"abc[[]|x", none},    // the bracket holds "[" and ends before the bar
        {"[[]ab", "ab"},
        {"[[:alpha:][]|xy", none},
        {"[[:alpha:]]ab", "ab"},
        {"[[:]]|ab", none}, // "[:" without its ":]" is no POSIX class
        {"[a[:b]cd", "cd"},
    });
}

// Soundness: whenever an expression matches a name, the name holds the derived bytes
// (ASCII letters folded), over random patterns compiled as the matcher compiles them.
TEST(RegexLiteral, NeverRequiresBytesAMatchLacks) {
    const std::string mark = "\xCC\x81"; // U+0301 COMBINING ACUTE ACCENT
    const std::string kelvin = "\xE2\x84\xAA", longS = "\xC5\xBF";
    // clang-format off
    const std::vector<std::string> atoms = {
        "a", "b", "A", "ab", "?", "*", "+", "{0}", "{00,2}", "{1}", "{,2}", "(", ")", "[", "]",
        "[]a]", "\\x61", "\\Q", "\\E", "\\d", ".", "^", "$", "|", "\\|", "(?x)", " ", "\\.", "-",
        "\\pL", "\\k<", ">", "\\c", "{", "(?#", "\\Q\\E", "}", "{1,2}", mark, "\r\n",
        "(*ACCEPT)", "[[]", "[[:alpha:]]", "[:", ":]", "k", "s", "K", "S", "\\u0041", "\\u{41}",
        "\\x{41}", "\\x41", "\\u004B", "\\u00e9", "\\U00000041", "\\u", "\\x", "\\U", "4", "{41}"};
    const std::vector<std::string> alphabet = {
        "a", "b", "A", "B", "-", ".", "1", " ", "{", "}", "[", "]", "|", "\r", "\n", mark,
        "k", "s", kelvin, longS, "u", "x", "U", "4", "\xC3\xA9"};
    // clang-format on
    std::mt19937 rng(12345);
    auto pick = [&](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
    };

    int checkedMatches = 0;
    RegexScratch scratch;
    for (int p = 0; p < 4000; ++p) {
        std::string pattern;
        for (std::size_t k = 0, len = 1 + pick(7); k < len; ++k)
            pattern += atoms[pick(atoms.size())];
        const auto lit = literal(pattern);
        if (!lit) continue;
        const auto regex = CompiledRegex::compile(pattern);
        if (!regex) continue;

        // Whole characters, so that names stay valid UTF-8.
        const std::vector<std::string_view> pieces = UnicodeText::graphemes(pattern);
        for (int t = 0; t < 150; ++t) {
            std::string name;
            // Names seeded with the pattern's own characters make matches likely.
            for (std::size_t k = 0, len = pick(9); k < len; ++k)
                name +=
                    pick(3) == 0 ? alphabet[pick(alphabet.size())] : pieces[pick(pieces.size())];
            if (!regex->search(name, scratch)) continue;
            ++checkedMatches;
            std::string folded = name;
            for (char& ch : folded)
                if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 0x20);
            EXPECT_NE(folded.find(*lit), std::string::npos)
                << "pattern [" << pattern << "] literal [" << *lit << "] name [" << name << "]";
        }
    }
    EXPECT_GT(checkedMatches, 1000); // the generator really exercises matches
}

} // namespace
} // namespace ulmaro
