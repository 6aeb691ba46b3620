#include "UlmaroKit/Content/ContentSearcher.h"

#include "UlmaroKit/Content/TextLine.h"
#include "UlmaroKit/Platform/UnicodeText.h"
#include "UlmaroKit/Platform/Utf8.h"
#include "UlmaroKit/Platform/WorkerPool.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <pcre2.h>
#include <thread>

namespace ulmaro::ContentSearcher {
namespace {

// ---------------------------------------------------------------------------------------
// Literal search over bytes, folding only ASCII capitals of the file when asked.

constexpr unsigned char foldAscii(unsigned char b) {
    return b >= 'A' && b <= 'Z' ? static_cast<unsigned char>(b + ('a' - 'A')) : b;
}

// How common a byte is in text, higher is more common: the scan looks for the rarest
// byte of the needle with memchr and checks the whole needle only around it.
constexpr std::array<std::uint8_t, 256> makeByteRanks() {
    std::array<std::uint8_t, 256> ranks{};
    constexpr std::string_view common = "zqjxkvbpygfwmucldrhsnioate \n";
    for (std::size_t i = 0; i < common.size(); ++i) {
        auto b = static_cast<unsigned char>(common[i]);
        ranks[b] = static_cast<std::uint8_t>(100 + i);
        if (b >= 'a' && b <= 'z') ranks[b - ('a' - 'A')] = static_cast<std::uint8_t>(60 + i);
    }
    for (unsigned char b : std::string_view("0123456789.,;:-_()=\"'/\t{}<>#*"))
        ranks[b] = 80;
    return ranks;
}
constexpr auto kByteRanks = makeByteRanks();

class LiteralFinder {
public:
    LiteralFinder(std::string_view pattern, bool foldCase) : pattern_(pattern), fold_(foldCase) {
        int best = -1;
        for (std::size_t i = 0; i < pattern.size(); ++i) {
            auto b = static_cast<unsigned char>(pattern[i]);
            int rank = kByteRanks[b];
            if (fold_ && b >= 'a' && b <= 'z') rank += 10; // two bytes to look for
            if (best < 0 || rank < best) {
                best = rank;
                anchor_ = i;
            }
        }
        auto b = static_cast<unsigned char>(pattern.empty() ? 0 : pattern[anchor_]);
        first_ = b;
        second_ = fold_ && b >= 'a' && b <= 'z' ? static_cast<unsigned char>(b - ('a' - 'A')) : b;
    }

    /// The first position of the pattern in the bytes, or npos.
    std::size_t find(std::string_view hay) const {
        std::size_t m = pattern_.size();
        if (m == 0 || m > hay.size()) return std::string_view::npos;
        const char* base = hay.data();
        // Anchor positions that can start a whole match.
        std::size_t from = anchor_, last = hay.size() - m + anchor_;
        std::size_t nextFirst = scan(base, from, last, first_);
        std::size_t nextSecond = second_ == first_ ? npos : scan(base, from, last, second_);
        for (;;) {
            std::size_t at = std::min(nextFirst, nextSecond);
            if (at == npos) return npos;
            if (matchesAt(base + at - anchor_)) return at - anchor_;
            if (at == nextFirst)
                nextFirst = scan(base, at + 1, last, first_);
            else
                nextSecond = scan(base, at + 1, last, second_);
        }
    }

private:
    static constexpr std::size_t npos = std::string_view::npos;

    static std::size_t scan(const char* base, std::size_t from, std::size_t last,
                            unsigned char byte) {
        if (from > last) return npos;
        const void* p = std::memchr(base + from, byte, last - from + 1);
        return p == nullptr ? npos : static_cast<std::size_t>(static_cast<const char*>(p) - base);
    }

    bool matchesAt(const char* at) const {
        if (!fold_) return std::memcmp(at, pattern_.data(), pattern_.size()) == 0;
        for (std::size_t i = 0; i < pattern_.size(); ++i) {
            if (foldAscii(static_cast<unsigned char>(at[i])) !=
                static_cast<unsigned char>(pattern_[i])) {
                return false;
            }
        }
        return true;
    }

    std::string_view pattern_;
    bool fold_;
    std::size_t anchor_ = 0;
    unsigned char first_ = 0, second_ = 0;
};

template <typename Trim>
Hit makeHit(const std::string& path, std::string_view text, std::size_t matchBegin,
            std::size_t matchEnd, Trim trim) {
    TextLine line = TextLine::around(text, matchBegin, matchEnd);
    std::string decoded = repairUtf8(text.substr(line.begin, line.end - line.begin));
    return {path, line.number,
            std::string(UnicodeText::graphemePrefix(trim(decoded), previewCharacters))};
}

std::optional<Hit> scanExtracted(std::string_view text, const std::string& path,
                                 std::string_view pattern, bool caseSensitive) {
    std::string lowered;
    std::string_view hay = text;
    if (!caseSensitive) {
        lowered = UnicodeText::lowercased(text);
        hay = lowered;
    }
    std::size_t at = LiteralFinder(pattern, false).find(hay);
    if (at == std::string_view::npos) return std::nullopt;
    return makeHit(path, hay, at, at + pattern.size(), UnicodeText::trimmingWhitespaceAndNewlines);
}

std::optional<Hit> scanOne(const std::string& path, std::string_view pattern, bool caseSensitive) {
    std::filesystem::path file(path);
    if (DocumentText::isExtractedExtension(DocumentText::lowerExtension(path))) {
        if (auto text = extractedText(file)) {
            return scanExtracted(*text, path, pattern, caseSensitive);
        }
    }
    thread_local std::string buffer;
    auto length = DocumentText::readFileHead(file, maxBytesPerFile, buffer);
    if (!length || *length == 0) return std::nullopt;
    std::string_view bytes(buffer.data(), *length);
    if (DocumentText::looksBinary(bytes)) return std::nullopt;
    std::size_t at = LiteralFinder(pattern, !caseSensitive).find(bytes);
    if (at == std::string_view::npos) return std::nullopt;
    return makeHit(path, bytes, at, at + pattern.size(), UnicodeText::trimmingSpacesAndTabs);
}

// ---------------------------------------------------------------------------------------
// Expressions.

struct CodeDeleter {
    void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
using Regex = std::shared_ptr<pcre2_code>;

bool hasExpressionCharacter(std::string_view body) {
    return body.find_first_of("^$*+?[]()|\\{}") != std::string_view::npos;
}

// "/body/" is an expression when the body has no slash or has one of the expression
// characters, and compiles; otherwise the needle stays literal.
Regex compiledRegex(std::string_view needle) {
    if (needle.size() < 3 || needle.front() != '/' || needle.back() != '/') return nullptr;
    std::string_view body = needle.substr(1, needle.size() - 2);
    if (body.find('/') != std::string_view::npos && !hasExpressionCharacter(body)) return nullptr;
    std::unique_ptr<pcre2_compile_context, decltype(&pcre2_compile_context_free)> context(
        pcre2_compile_context_create(nullptr), pcre2_compile_context_free);
    if (!context) return nullptr;
    pcre2_set_newline(context.get(), PCRE2_NEWLINE_ANY);
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(body.data()), body.size(),
                                     PCRE2_UTF | PCRE2_UCP | PCRE2_CASELESS | PCRE2_MULTILINE,
                                     &error, &offset, context.get());
    if (code == nullptr) return nullptr;
    pcre2_jit_compile(code, PCRE2_JIT_COMPLETE); // without JIT it still matches, slower
    return Regex(code, CodeDeleter());
}

std::optional<Hit> regexSearchOne(const Regex& regex, const std::string& path) {
    auto text = extractedText(path);
    if (!text) text = plainText(path);
    if (!text) return std::nullopt;
    std::unique_ptr<pcre2_match_data, decltype(&pcre2_match_data_free)> match(
        pcre2_match_data_create_from_pattern(regex.get(), nullptr), pcre2_match_data_free);
    if (!match) return std::nullopt;
    auto subject = reinterpret_cast<PCRE2_SPTR>(text->data());
    int rc = pcre2_match(regex.get(), subject, text->size(), 0, 0, match.get(), nullptr);
    if (rc == PCRE2_ERROR_JIT_STACKLIMIT) {
        rc = pcre2_match(regex.get(), subject, text->size(), 0, PCRE2_NO_JIT, match.get(), nullptr);
    }
    if (rc < 0) return std::nullopt; // no match, or the engine's limits were reached
    PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(match.get());
    // \K in a lookbehind can put the end before the start.
    std::size_t begin = ovector[0], end = std::max(ovector[0], ovector[1]);
    return makeHit(path, *text, begin, end, UnicodeText::trimmingWhitespaceAndNewlines);
}

// ---------------------------------------------------------------------------------------
// Gathering.

// Hits in path order (scalar order of the composed text); equal paths keep the order in
// which they were given.
std::vector<Hit> sortedHits(std::vector<std::optional<Hit>>& slots) {
    std::vector<std::pair<std::string, Hit>> keyed;
    for (auto& slot : slots) {
        if (slot)
            keyed.emplace_back(UnicodeText::composed(repairUtf8(slot->path)), std::move(*slot));
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Hit> hits;
    hits.reserve(keyed.size());
    for (auto& [key, hit] : keyed)
        hits.push_back(std::move(hit));
    return hits;
}

// One file that cannot be read, for whatever reason (memory included), gives no hit and
// never stops the search.
template <typename Fn>
std::optional<Hit> guarded(Fn searchOne, const std::string& path) noexcept {
    try {
        return searchOne(path);
    } catch (...) {
        return std::nullopt;
    }
}

template <typename Fn>
std::vector<Hit> searchEach(std::span<const std::string> paths, Fn searchOne,
                            const std::function<bool()>& isCancelled) {
    std::vector<std::optional<Hit>> slots(paths.size());
    parallelFor(paths.size(), [&](std::size_t i) {
        if (isCancelled && isCancelled()) return;
        slots[i] = guarded(searchOne, paths[i]);
    });
    return sortedHits(slots);
}

// Deep searches run on threads of their own that the process waits for at exit. It is
// made after the shared pool, so it is destroyed (and joins) before the pool is.
class BackgroundTasks {
public:
    BackgroundTasks() { WorkerPool::shared(); }
    ~BackgroundTasks() {
        std::lock_guard lock(mutex_);
        for (auto& task : tasks_)
            task.thread.join();
    }
    BackgroundTasks(const BackgroundTasks&) = delete;
    BackgroundTasks& operator=(const BackgroundTasks&) = delete;

    static BackgroundTasks& shared() {
        static BackgroundTasks tasks;
        return tasks;
    }

    void run(std::function<void()> work) {
        std::lock_guard lock(mutex_);
        std::erase_if(tasks_, [](Task& task) {
            if (!task.done->load()) return false;
            task.thread.join();
            return true;
        });
        auto done = std::make_shared<std::atomic<bool>>(false);
        std::thread thread([work = std::move(work), done] {
            work();
            done->store(true);
        });
        tasks_.push_back({std::move(thread), std::move(done)});
    }

private:
    struct Task {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::mutex mutex_;
    std::vector<Task> tasks_;
};

} // namespace

Outcome search(std::string_view needle, std::span<const std::string> paths, bool caseSensitive,
               std::int64_t maxCandidatesAllowed, const std::function<bool()>& isCancelled) {
    if (needle.empty()) return Hits{};
    auto count = static_cast<std::int64_t>(paths.size());
    if (count > maxCandidatesAllowed) return TooManyCandidates{count};
    if (Regex regex = compiledRegex(needle)) {
        return Hits{searchEach(
            paths, [&](const std::string& path) { return regexSearchOne(regex, path); },
            isCancelled)};
    }
    std::string pattern = caseSensitive ? std::string(needle) : UnicodeText::lowercased(needle);
    return Hits{searchEach(
        paths, [&](const std::string& path) { return scanOne(path, pattern, caseSensitive); },
        isCancelled)};
}

void deepSearch(std::string needle, std::vector<std::string> paths,
                std::function<bool()> isCancelled, std::function<void(const Hit&)> onHit,
                std::function<void(std::int64_t filesExamined, bool cancelled)> onFinished) {
    if (needle.empty()) {
        onFinished(0, false);
        return;
    }
    Regex regex = compiledRegex(needle);
    std::string pattern = UnicodeText::lowercased(needle);
    BackgroundTasks::shared().run([regex = std::move(regex), pattern = std::move(pattern),
                                   paths = std::move(paths), isCancelled = std::move(isCancelled),
                                   onHit = std::move(onHit), onFinished = std::move(onFinished)] {
        std::atomic<std::int64_t> examined{0};
        parallelFor(paths.size(), [&](std::size_t i) {
            if (isCancelled()) return;
            examined.fetch_add(1, std::memory_order_relaxed);
            auto hit = guarded(
                [&](const std::string& path) {
                    return regex ? regexSearchOne(regex, path) : scanOne(path, pattern, false);
                },
                paths[i]);
            if (hit && !isCancelled()) onHit(*hit);
        });
        onFinished(examined.load(), isCancelled());
    });
}

} // namespace ulmaro::ContentSearcher
