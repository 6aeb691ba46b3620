#include "UlmaroKit/Search/MatcherRegex.h"

#include "UlmaroKit/Platform/Utf8.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <memory>
#include <new>
#include <pcre2.h>

namespace ulmaro {

namespace {

pcre2_code* codeOf(void* p) {
    return static_cast<pcre2_code*>(p);
}

bool isUtfError(int rc) {
    return rc <= PCRE2_ERROR_UTF8_ERR1 && rc >= PCRE2_ERROR_UTF8_ERR21;
}

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::size_t hexRun(std::string_view s, std::size_t from) {
    std::size_t n = 0;
    while (from + n < s.size() && isHex(s[from + n]))
        ++n;
    return n;
}

/// The pattern in the engine's alternative escape handling, which reads \uhhhh (and \u{h...})
/// as a code point but no longer \x{h...}: each well-formed \x{h...}, and each \Uhhhhhhhh,
/// becomes \u{h...}. Quoted text (\Q...\E) and escaped backslashes are left alone.
std::string withAlternativeEscapes(std::string_view p) {
    std::string out;
    out.reserve(p.size() + 8);
    for (std::size_t i = 0; i < p.size();) {
        if (p[i] != '\\' || i + 1 >= p.size()) {
            out += p[i++];
            continue;
        }
        const char letter = p[i + 1];
        if (letter == 'Q') {
            const std::size_t end = p.find("\\E", i + 2);
            const std::size_t past = end == std::string_view::npos ? p.size() : end + 2;
            out += p.substr(i, past - i);
            i = past;
            continue;
        }
        const std::size_t braced =
            letter == 'x' && i + 2 < p.size() && p[i + 2] == '{' ? hexRun(p, i + 3) : 0;
        if (braced > 0 && i + 3 + braced < p.size() && p[i + 3 + braced] == '}') {
            out += "\\u{";
            out += p.substr(i + 3, braced + 1);
            i += 4 + braced;
        } else if (letter == 'U' && hexRun(p, i + 2) >= 8) {
            out += "\\u{";
            out += p.substr(i + 2, 8);
            out += '}';
            i += 10;
        } else {
            out += p.substr(i, 2);
            i += 2;
        }
    }
    return out;
}

} // namespace

RegexScratch::RegexScratch() = default;

RegexScratch::~RegexScratch() {
    pcre2_match_data_free(static_cast<pcre2_match_data*>(matchData_));
}

std::unique_ptr<CompiledRegex> CompiledRegex::compile(std::string_view pattern) {
    const std::string text = withAlternativeEscapes(repairUtf8(pattern));
    std::unique_ptr<pcre2_compile_context, decltype(&pcre2_compile_context_free)> context(
        pcre2_compile_context_create(nullptr), &pcre2_compile_context_free);
    if (!context) throw std::bad_alloc();
    pcre2_set_compile_extra_options(context.get(), PCRE2_EXTRA_ALT_BSUX);
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    pcre2_code* code =
        pcre2_compile(reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(),
                      PCRE2_UTF | PCRE2_UCP | PCRE2_CASELESS, &error, &errorOffset, context.get());
    if (code == nullptr) return nullptr;
    // Without JIT support the interpreter runs the same expression.
    (void)pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
    return std::unique_ptr<CompiledRegex>(new CompiledRegex(code));
}

CompiledRegex::~CompiledRegex() {
    pcre2_code_free(codeOf(code_));
}

bool CompiledRegex::search(std::string_view name, RegexScratch& scratch) const {
    if (scratch.matchData_ == nullptr) scratch.matchData_ = pcre2_match_data_create(1, nullptr);
    auto* data = static_cast<pcre2_match_data*>(scratch.matchData_);
    if (data == nullptr) throw std::bad_alloc();
    // PCRE2 checks the UTF-8 itself; only names that fail it are copied and repaired.
    int rc = pcre2_match(codeOf(code_), reinterpret_cast<PCRE2_SPTR>(name.data()), name.size(), 0,
                         0, data, nullptr);
    if (isUtfError(rc)) {
        scratch.repaired_.clear();
        appendRepairedUtf8(scratch.repaired_, name);
        rc = pcre2_match(codeOf(code_), reinterpret_cast<PCRE2_SPTR>(scratch.repaired_.data()),
                         scratch.repaired_.size(), 0, PCRE2_NO_UTF_CHECK, data, nullptr);
    }
    // 0 means a match with too small a vector for its groups, which is all that is asked.
    return rc >= 0;
}

} // namespace ulmaro
