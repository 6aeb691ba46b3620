#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <utility>

namespace ulmaro {

class ContentIndex;

/// The current document-text index, shared by the main queue, the background work that
/// builds or updates it, and the search engine's queue. An index is never changed once
/// held: readers keep the one they took while a writer installs another.
class ContentIndexHolder {
public:
    using Index = std::shared_ptr<const ContentIndex>;

    /// The held index (none at first), taken under the lock.
    Index current() const;
    void setCurrent(Index index);

    /// A read-modify-write as one step: `change` gets the held index and returns its
    /// successor, under the lock, so two changes from different threads never lose one.
    /// `change` must not call back into the holder.
    void modify(const std::function<Index(const Index&)>& change);

private:
    mutable std::mutex lock_;
    Index index_;
};

} // namespace ulmaro
