#include "UlmaroKit/Search/QueryParser.h"

#include "UlmaroKit/Platform/Utf8.h"
#include "UlmaroKit/Platform/UnicodeText.h"

#include <charconv>
#include <limits>
#include <optional>

namespace ulmaro::QueryParser {

namespace {

using Chars = std::vector<std::string_view>;
using Terms = std::vector<Term>;

// Character tests work on whole grapheme clusters: a quote carrying a combining mark is
// not a quote.
bool beginsWith(const Chars& c, std::string_view ch) {
    return !c.empty() && c.front() == ch;
}
bool endsWith(const Chars& c, std::string_view ch) {
    return !c.empty() && c.back() == ch;
}
bool beginsWith(std::string_view s, std::string_view ch) {
    return s.starts_with(ch) && beginsWith(UnicodeText::graphemes(s), ch);
}
bool endsWith(std::string_view s, std::string_view ch) {
    return s.ends_with(ch) && endsWith(UnicodeText::graphemes(s), ch);
}

/// Whether the last characters are exactly the (ASCII) characters of `suffix`.
bool hasAsciiSuffix(const Chars& c, std::string_view suffix) {
    if (c.size() < suffix.size()) return false;
    const std::size_t from = c.size() - suffix.size();
    for (std::size_t i = 0; i < suffix.size(); ++i)
        if (c[from + i] != suffix.substr(i, 1)) return false;
    return true;
}

std::string join(const Chars& c, std::size_t from, std::size_t to) {
    std::string out;
    for (std::size_t i = from; i < to; ++i)
        out += c[i];
    return out;
}

/// Byte offset of the first ":" character, or npos.
std::size_t firstColon(std::string_view s) {
    if (s.find(':') == std::string_view::npos) return std::string_view::npos;
    std::size_t at = 0;
    for (auto ch : UnicodeText::graphemes(s)) {
        if (ch == ":") return at;
        at += ch.size();
    }
    return std::string_view::npos;
}

bool isOneOf(std::string_view key, std::initializer_list<std::string_view> keys) {
    for (auto k : keys)
        if (key == k) return true;
    return false;
}

bool isValueOperator(std::string_view key) {
    return isOneOf(key, {"contains", "in", "ext", "path", "size", "dm"});
}

bool isRegexMetacharacter(std::string_view ch) {
    return ch.size() == 1 &&
           std::string_view("^$*+?[]()|\\{}").find(ch[0]) != std::string_view::npos;
}

bool allDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

std::optional<std::uint64_t> parseDigits(std::string_view s) {
    if (!allDigits(s)) return std::nullopt;
    std::uint64_t v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc{} || p != s.data() + s.size()) return std::nullopt;
    return v;
}

/// Decimal with an optional leading "+"; ASCII digits only.
std::optional<std::uint64_t> parseUInt64(std::string_view s) {
    if (s.starts_with('+')) s.remove_prefix(1);
    return parseDigits(s);
}

/// Decimal with an optional leading "+" or "-"; nullopt outside 64 bits.
std::optional<std::int64_t> parseInt64(std::string_view s) {
    bool negative = false;
    if (s.starts_with('+') || s.starts_with('-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    const auto magnitude = parseDigits(s);
    if (!magnitude) return std::nullopt;
    constexpr auto max = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (negative) {
        if (*magnitude > max + 1) return std::nullopt;
        return static_cast<std::int64_t>(0 - *magnitude);
    }
    if (*magnitude > max) return std::nullopt;
    return static_cast<std::int64_t>(*magnitude);
}

std::optional<std::string> extensionList(std::string_view value) {
    const std::string lower = UnicodeText::lowercased(value);
    std::string out;
    std::size_t start = 0;
    while (start <= lower.size()) {
        std::size_t comma = lower.find(',', start);
        if (comma == std::string::npos) comma = lower.size();
        std::string_view piece(lower.data() + start, comma - start);
        if (piece.starts_with('.')) piece.remove_prefix(1);
        if (!piece.empty()) {
            if (!out.empty()) out += ',';
            out += piece;
        }
        start = comma + 1;
    }
    if (out.empty()) return std::nullopt;
    return out;
}

std::optional<SizeComparison> parseSize(std::string_view value) {
    auto kind = SizeComparison::Kind::equalTo;
    if (beginsWith(value, ">")) {
        kind = SizeComparison::Kind::greaterThan;
        value.remove_prefix(1);
    } else if (beginsWith(value, "<")) {
        kind = SizeComparison::Kind::lessThan;
        value.remove_prefix(1);
    }
    std::string rest = UnicodeText::lowercased(value);
    std::uint64_t factor = 1;
    static constexpr std::pair<std::string_view, std::uint64_t> units[] = {
        {"gb", 1ull << 30}, {"mb", 1ull << 20}, {"kb", 1ull << 10}, {"b", 1}};
    const Chars c = UnicodeText::graphemes(rest);
    for (auto [unit, f] : units) {
        if (hasAsciiSuffix(c, unit)) {
            rest.resize(rest.size() - unit.size());
            factor = f;
            break;
        }
    }
    const auto number = parseUInt64(rest);
    if (!number) return std::nullopt;
    if (*number > std::numeric_limits<std::uint64_t>::max() / factor) return std::nullopt;
    return SizeComparison{kind, *number * factor};
}

std::optional<DateConstraint> parseDate(std::string_view typed) {
    const std::string value = UnicodeText::lowercased(typed);
    if (value == "today") return DateConstraint::today();
    if (beginsWith(value, "<") && endsWith(value, "d")) {
        const std::string_view between(value.data() + 1, value.size() >= 2 ? value.size() - 2 : 0);
        const auto n = parseInt64(between);
        if (!n) return std::nullopt;
        return DateConstraint::withinDays(*n);
    }
    std::vector<std::string_view> pieces;
    std::string_view rest(value);
    while (!rest.empty()) {
        const std::size_t dash = rest.find('-');
        const auto piece = rest.substr(0, dash);
        if (!piece.empty()) pieces.push_back(piece);
        if (dash == std::string_view::npos) break;
        rest.remove_prefix(dash + 1);
    }
    if (pieces.size() != 2) return std::nullopt;
    const auto year = parseInt64(pieces[0]);
    const auto month = parseInt64(pieces[1]);
    if (!year || !month || *month < 1 || *month > 12) return std::nullopt;
    return DateConstraint::inMonth(*year, *month);
}

std::optional<Term> oneTerm(const std::string& token);

std::optional<TypeConstraint> typeKey(std::string_view key) {
    if (key == "folder") return TypeConstraint::folder;
    if (key == "app") return TypeConstraint::app;
    if (key == "file") return TypeConstraint::file;
    return std::nullopt;
}

/// "folder:", "app:" and "file:" with an optional value; nullopt when the token is none.
std::optional<Terms> typeOperatorWithValue(const std::string& token) {
    const std::size_t colon = firstColon(token);
    if (colon == std::string::npos) return std::nullopt;
    const auto type = typeKey(UnicodeText::lowercased(std::string_view(token).substr(0, colon)));
    if (!type) return std::nullopt;
    Terms out{Term::type(*type)};
    const std::string value = token.substr(colon + 1);
    if (value.empty()) return out;
    if (auto t = oneTerm(value))
        out.push_back(std::move(*t));
    else
        out.push_back(Term::substring(value));
    return out;
}

std::size_t leadingBangs(const Chars& c) {
    std::size_t n = 0;
    while (n < c.size() && c[n] == "!")
        ++n;
    return n;
}

std::optional<Term> oneTerm(const std::string& token) {
    if (token.empty()) return std::nullopt;
    const Chars c = UnicodeText::graphemes(token);

    if (beginsWith(c, "!")) {
        const std::size_t bangs = leadingBangs(c);
        const std::string rest = join(c, bangs, c.size());
        auto inner = rest.empty() ? std::nullopt : oneTerm(rest);
        if (!inner) return Term::substring(token);
        return bangs % 2 == 0 ? std::move(*inner) : Term::not_(std::move(*inner));
    }
    if (beginsWith(c, "\"")) {
        if (c.size() >= 2 && endsWith(c, "\"")) {
            std::string phrase = join(c, 1, c.size() - 1);
            if (phrase.empty()) return std::nullopt;
            return Term::exactPhrase(std::move(phrase));
        }
        std::string unquoted;
        for (auto ch : c)
            if (ch != "\"") unquoted += ch;
        if (unquoted.empty()) return std::nullopt;
        return Term::substring(std::move(unquoted));
    }
    if (beginsWith(c, "/")) {
        if (c.size() >= 2 && endsWith(c, "/")) {
            bool meta = false, slash = false;
            for (std::size_t i = 1; i + 1 < c.size(); ++i) {
                meta = meta || isRegexMetacharacter(c[i]);
                slash = slash || c[i] == "/";
            }
            if (meta || !slash) return Term::regex(join(c, 1, c.size() - 1));
        }
        return Term::substring(token);
    }
    if (beginsWith(c, ".") && c.size() >= 2 && c.size() <= 9) {
        bool allAlnum = true, anyLetter = false;
        for (std::size_t i = 1; i < c.size(); ++i) {
            const bool letter = UnicodeText::isLetter(c[i]);
            anyLetter = anyLetter || letter;
            allAlnum = allAlnum && (letter || UnicodeText::isNumber(c[i]));
        }
        if (allAlnum && anyLetter)
            return Term::ext(UnicodeText::lowercased(std::string_view(token).substr(1)));
    }

    const std::size_t colon = firstColon(token);
    if (colon == std::string::npos) return Term::substring(token);
    const std::string key = UnicodeText::lowercased(std::string_view(token).substr(0, colon));
    if (!operatorKeys().contains(key)) return Term::substring(token);
    const std::string value = token.substr(colon + 1);

    if (key == "ext") {
        if (auto list = extensionList(value)) return Term::ext(std::move(*list));
        return Term::substring(token);
    }
    if (key == "path") {
        if (value.empty()) return Term::substring(token);
        return Term::pathContains(value);
    }
    if (key == "contains" || key == "in") {
        std::string needle = value;
        const Chars v = UnicodeText::graphemes(value);
        if (v.size() >= 2 && beginsWith(v, "\"") && endsWith(v, "\""))
            needle = join(v, 1, v.size() - 1);
        if (needle.empty()) return Term::substring(token);
        return Term::contains(std::move(needle));
    }
    if (auto type = typeKey(key)) return Term::type(*type);
    if (key == "size") {
        if (auto size = parseSize(value)) return Term::size(*size);
        return Term::substring(token);
    }
    // key == "dm"
    if (auto date = parseDate(value)) return Term::dateModified(*date);
    return Term::substring(token);
}

Terms termsOfToken(const std::string& token) {
    if (beginsWith(token, "!")) {
        const Chars c = UnicodeText::graphemes(token);
        const std::size_t bangs = leadingBangs(c);
        if (auto terms = typeOperatorWithValue(join(c, bangs, c.size()))) {
            if (bangs % 2 == 0) return std::move(*terms);
            if (terms->size() == 1) return {Term::not_(std::move(terms->front()))};
            return {Term::substring(token)};
        }
    }
    if (auto terms = typeOperatorWithValue(token)) return std::move(*terms);
    if (auto term = oneTerm(token)) return {std::move(*term)};
    return {};
}

std::vector<std::string> tokenize(std::string_view text) {
    std::vector<std::string> tokens;
    std::string current;
    bool inQuote = false, inRegex = false;
    auto flush = [&] {
        if (!current.empty()) tokens.push_back(std::move(current));
        current.clear();
    };
    for (auto ch : UnicodeText::graphemes(text)) {
        if (ch == "\"" && !inRegex) {
            inQuote = !inQuote;
            current += ch;
        } else if (ch == "/" && !inQuote && (current.empty() || inRegex)) {
            inRegex = !inRegex;
            current += ch;
        } else if (ch == "|" && !inQuote && !inRegex) {
            flush();
            tokens.emplace_back("|");
        } else if (ch == " " && !inQuote && !inRegex) {
            flush();
        } else {
            current += ch;
        }
    }
    flush();
    return tokens;
}

std::vector<std::string> joinDanglingOperators(std::vector<std::string> tokens) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        std::string& t = tokens[i];
        if (i + 1 < tokens.size() && tokens[i + 1] != "|" && endsWith(t, ":") &&
            isValueOperator(UnicodeText::lowercased(std::string_view(t).substr(0, t.size() - 1)))) {
            out.push_back(t + tokens[i + 1]);
            ++i;
        } else {
            out.push_back(std::move(t));
        }
    }
    return out;
}

std::vector<std::vector<std::string>> splitAtBars(const std::vector<std::string>& tokens) {
    std::vector<std::vector<std::string>> groups(1);
    for (const auto& t : tokens) {
        if (t == "|")
            groups.emplace_back();
        else
            groups.back().push_back(t);
    }
    std::erase_if(groups, [](const auto& g) { return g.empty(); });
    return groups;
}

} // namespace

const std::set<std::string, std::less<>>& operatorKeys() {
    static const std::set<std::string, std::less<>> keys{"ext", "path", "contains", "in", "folder",
                                                         "app", "file", "size",     "dm"};
    return keys;
}

Query parse(std::string_view text) {
    Query query;
    query.raw = std::string(text);
    const std::string repaired = repairUtf8(text);
    const std::string_view trimmed = UnicodeText::trimmingSpacesAndTabs(repaired);
    if (trimmed.empty()) return query;

    const auto tokens = joinDanglingOperators(tokenize(trimmed));
    const auto groups = splitAtBars(tokens);
    if (groups.size() >= 2) {
        std::vector<Terms> lists;
        for (const auto& group : groups) {
            Terms terms;
            for (const auto& token : group)
                for (auto& t : termsOfToken(token))
                    terms.push_back(std::move(t));
            if (!terms.empty()) lists.push_back(std::move(terms));
        }
        if (lists.size() >= 2) {
            query.orGroups = std::move(lists);
            return query;
        }
    }
    for (const auto& token : tokens)
        for (auto& t : termsOfToken(token))
            query.andTerms.push_back(std::move(t));
    return query;
}

std::vector<std::string> splitTopLevelOr(std::string_view text) {
    const std::string repaired = repairUtf8(text);
    std::vector<std::string> out;
    for (const auto& group : splitAtBars(tokenize(UnicodeText::trimmingSpacesAndTabs(repaired)))) {
        std::string joined;
        for (const auto& t : group) {
            if (!joined.empty()) joined += ' ';
            joined += t;
        }
        out.push_back(std::move(joined));
    }
    return out;
}

} // namespace ulmaro::QueryParser
