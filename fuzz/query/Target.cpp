// The query language and the regex prefilter. The first line of an input is typed text, the
// other lines are names. Any text parses; each date term gives a range or none. For every
// regular expression — the first line itself and each regex term of its query — the bytes
// `RegexLiteral::required` claims must be in every name the expression matches, compiled as
// the matcher compiles it and compared as the matcher compares (A-Z folded). Besides the given
// names, each name is also tried with those bytes cut out, and the pattern as a name.

#include "FuzzSupport.h"
#include "UlmaroKit/Search/MatcherRegex.h"
#include "UlmaroKit/Search/QueryParser.h"
#include "UlmaroKit/Search/RegexLiteral.h"
#include "UlmaroKit/Search/SubstringScan.h"

#include <string>
#include <vector>

using namespace ulmaro;

namespace {

std::string withoutLiteral(std::string name, const std::string& literal) {
    for (std::size_t at; (at = SubstringScan::find(literal, name)) != std::string::npos;)
        name.erase(at, literal.size());
    return name;
}

void checkLiteral(const std::string& pattern, const std::vector<std::string_view>& names) {
    const auto bytes = RegexLiteral::required(pattern);
    if (!bytes) return;
    fuzz::check(bytes->size() >= 2, "a required literal under two bytes");
    const auto regex = CompiledRegex::compile(pattern);
    if (!regex) return;
    const std::string literal = SubstringScan::folded(std::string(bytes->begin(), bytes->end()));
    RegexScratch scratch;
    auto tryName = [&](std::string_view name) {
        if (!regex->search(name, scratch) ||
            SubstringScan::find(literal, name) != std::string_view::npos)
            return;
        fuzz::fail("a match lacks the required literal: pattern [" + pattern + "] literal [" +
                   literal + "] name [" + std::string(name) + "]");
    };
    tryName(pattern);
    for (std::string_view name : names) {
        tryName(name);
        tryName(withoutLiteral(std::string(name), literal));
    }
}

void visit(const Term& term, const std::vector<std::string_view>& names) {
    switch (term.kind()) {
    case Term::Kind::not_:
        visit(term.inner(), names);
        break;
    case Term::Kind::regex:
        checkLiteral(term.text(), names);
        break;
    case Term::Kind::dateModified:
        // 2026-01-01 00:00 UTC: any fixed moment will do.
        (void)term.dateConstraint().range(1767225600);
        break;
    default:
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = fuzz::text({data, size});
    const std::size_t newline = input.find('\n');
    const std::string_view typed = input.substr(0, newline);
    std::vector<std::string_view> names;
    for (std::size_t start = newline; start != std::string_view::npos;) {
        const std::size_t end = input.find('\n', start + 1);
        names.push_back(input.substr(start + 1, end == input.npos ? input.npos : end - start - 1));
        start = end;
    }

    const Query query = QueryParser::parse(typed);
    fuzz::check(query.raw == typed, "the query does not keep its text");
    fuzz::check(query.andTerms.empty() || query.orGroups.empty(), "terms and groups at once");
    for (const auto& group : query.orGroups)
        fuzz::check(!group.empty(), "an empty alternative");
    (void)QueryParser::splitTopLevelOr(typed);
    (void)query.splittingContentTerms();
    (void)query.requiresAttributes();

    checkLiteral(std::string(typed), names);
    for (const auto& term : query.andTerms)
        visit(term, names);
    for (const auto& group : query.orGroups)
        for (const auto& term : group)
            visit(term, names);
    return 0;
}
