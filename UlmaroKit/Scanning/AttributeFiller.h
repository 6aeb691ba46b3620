#pragma once

#include <cstdint>
#include <functional>

namespace ulmaro {

class IndexBuilder;

/// Fills each record's size and modification time after a scan: every directory of the
/// index is opened once and its known children are looked up by their exact name bytes
/// (statx relative to the directory, links not followed). A directory's size is 0.
struct AttributeFiller {
    /// How much of the machine filling may take.
    enum class Appetite {
        /// The user waits for the result: P − 1 threads, at least 1, at most 8.
        watching,
        /// The user works meanwhile: 4 threads from 8 processors on, else P / 2, at least 1.
        working
    };

    static unsigned threadCount(Appetite appetite, unsigned activeProcessors);

    /// Fills the builder in place. With `onlyMissing`, only directories with a child
    /// lacking attributes are read (and their parents, for the directory's own values).
    /// `shouldContinue` is asked before each directory; `onProgress` receives the number
    /// of children covered, at most once per 50,000 and once at the end on the caller's
    /// thread. Both are called from worker threads. A directory that cannot be read leaves
    /// its children as they were; so does a record whose path cannot be formed from the
    /// index (a parent chain that does not lead down from the root record).
    static void fill(IndexBuilder& builder, const std::function<bool()>& shouldContinue,
                     bool onlyMissing = false, Appetite appetite = Appetite::watching,
                     const std::function<void(std::int64_t)>& onProgress = {});
};

} // namespace ulmaro
