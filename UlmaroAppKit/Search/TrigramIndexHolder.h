#pragma once

#include "UlmaroAppKit/Platform/Clock.h"
#include "UlmaroKit/Search/TrigramIndex.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace ulmaro {

/// The trigram index of one index file, kept across search engines and, through a cache
/// file, across launches. Keyed by the index's checksum: one build at a time per key, and
/// every engine asking meanwhile gets that build's index. The index is shared, never
/// copied. Safe from any thread; callbacks never run under its lock.
class TrigramIndexHolder {
public:
    using Index = std::shared_ptr<const TrigramIndex>;
    /// Receives the index; may be called from any thread.
    using Install = std::function<void(Index)>;

    /// After a build runs out of memory, no build starts for this long, twice as long after
    /// each further failure in a row, up to `longestBackoff`.
    static constexpr Seconds firstBackoff{60};
    static constexpr Seconds longestBackoff{3600};

    /// No cache file means every new key is built. No clock means the system's.
    explicit TrigramIndexHolder(std::optional<std::filesystem::path> cacheURL = std::nullopt,
                                std::shared_ptr<const Clock> clock = nullptr);

    TrigramIndexHolder(const TrigramIndexHolder&) = delete;
    TrigramIndexHolder& operator=(const TrigramIndexHolder&) = delete;

    /// "trigrams.bin" beside the index file.
    static std::filesystem::path defaultCacheURL(const std::filesystem::path& indexURL);

    /// Asks for the index of `key`. When it is held, `install` runs at once on this thread;
    /// when its build is running, `install` waits for it. True means the caller must now
    /// produce it and hand it to `finishBuild`; a build for another key is not stopped.
    /// While a failed build's backoff lasts, nothing is built and `install` never runs.
    bool request(std::uint64_t key, Install install);
    /// A built or loaded index: it becomes the held one (the last to finish stays), and
    /// the waiters for its key get it, in the order they asked.
    void finishBuild(Index index, std::uint64_t key);
    /// A build that could not finish (out of memory): its waiters are dropped and their
    /// sessions search without the prefilter; the next build waits for the backoff.
    void abandonBuild(std::uint64_t key);

    Index current() const;
    std::optional<std::uint64_t> currentKey() const;
    std::optional<std::uint64_t> building() const;
    const std::optional<std::filesystem::path>& cacheURL() const { return cacheURL_; }

private:
    /// The callbacks waiting for `key`, in the order they asked; the others stay. Locked.
    std::vector<Install> takeWaiters(std::uint64_t key);

    MonotonicTime now() const;

    mutable std::mutex mutex_;
    std::shared_ptr<const Clock> clock_;
    int failures_ = 0;
    std::optional<MonotonicTime> retryAfter_;
    Index index_;
    std::optional<std::uint64_t> key_;
    std::optional<std::uint64_t> building_;
    std::vector<std::pair<std::uint64_t, Install>> waiting_;
    const std::optional<std::filesystem::path> cacheURL_;
};

} // namespace ulmaro
