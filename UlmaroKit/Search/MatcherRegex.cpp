#include "UlmaroKit/Search/MatcherRegex.h"

#include "UlmaroKit/Platform/Utf8.h"

#define PCRE2_CODE_UNIT_WIDTH 8
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

} // namespace

RegexScratch::RegexScratch() = default;

RegexScratch::~RegexScratch() {
    pcre2_match_data_free(static_cast<pcre2_match_data*>(matchData_));
}

std::unique_ptr<CompiledRegex> CompiledRegex::compile(std::string_view pattern) {
    const std::string text = repairUtf8(pattern);
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    pcre2_code* code =
        pcre2_compile(reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(),
                      PCRE2_UTF | PCRE2_UCP | PCRE2_CASELESS, &error, &errorOffset, nullptr);
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
