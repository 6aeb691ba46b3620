#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace ulmaro {

/// Per-thread working memory of regular-expression searches: match data and a buffer for names
/// that are not valid UTF-8. One per thread; never shared.
class RegexScratch {
public:
    RegexScratch();
    ~RegexScratch();
    RegexScratch(const RegexScratch&) = delete;
    RegexScratch& operator=(const RegexScratch&) = delete;

private:
    friend class CompiledRegex;
    void* matchData_ = nullptr; // pcre2_match_data_8
    std::string repaired_;
};

/// One pattern compiled case-insensitively with Unicode properties (PCRE2, JIT when available).
/// Code points may be written \uhhhh, \u{h...}, \xhh, \x{h...} or \Uhhhhhhhh; any other \u, \x
/// or \U stands for its letter.
/// Immutable once compiled: any number of threads may search with it, each with its own scratch.
class CompiledRegex {
public:
    /// Nothing when the pattern does not compile. A pattern that is not valid UTF-8 is repaired
    /// first (each invalid sequence becomes U+FFFD).
    static std::unique_ptr<CompiledRegex> compile(std::string_view pattern);
    ~CompiledRegex();
    CompiledRegex(const CompiledRegex&) = delete;
    CompiledRegex& operator=(const CompiledRegex&) = delete;

    /// Whether the expression occurs anywhere in `name`. Valid UTF-8 is searched in place; other
    /// bytes are repaired into the scratch buffer first.
    bool search(std::string_view name, RegexScratch& scratch) const;

private:
    explicit CompiledRegex(void* code) : code_(code) {}
    void* code_; // pcre2_code_8
};

} // namespace ulmaro
