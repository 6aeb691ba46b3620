#pragma once

#include "UlmaroKit/Search/Match.h"
#include "UlmaroKit/Search/Matcher.h"
#include "UlmaroKit/Search/Query.h"
#include "UlmaroKit/Search/TrigramIndex.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

class IndexStore;

/// Type-ahead search over one store. While each query refines the previous one, the session
/// matches only among the previous results; coming back to a text it has answered returns
/// the stored answer without matching.
///
/// No lock: one session serves one thread at a time.
class SearchSession {
public:
    /// Unranked matches. Shared so that returning a stored answer copies nothing; never null.
    using Results = std::shared_ptr<const std::vector<Match>>;

    explicit SearchSession(std::shared_ptr<const IndexStore> store);
    ~SearchSession();
    SearchSession(const SearchSession&) = delete;
    SearchSession& operator=(const SearchSession&) = delete;

    Results search(std::string_view text);

    /// The block prefilter handed to the matcher; it must belong to the current store.
    const std::shared_ptr<const TrigramIndex>& trigrams() const { return trigrams_; }
    void setTrigrams(std::shared_ptr<const TrigramIndex> trigrams);

    /// Switches to a new store with a fresh matcher and no trigram index. Levels answered
    /// over the old store stay on the stack but are never returned or narrowed from.
    void updateStore(std::shared_ptr<const IndexStore> store);

    void reset() { stack_.clear(); }
    std::size_t stackDepth() const { return stack_.size(); }
    std::uint64_t generation() const { return generation_; }
    const IndexStore& store() const { return matcher_->store(); }

private:
    struct Level {
        std::string text;
        Query query; // the text parsed
        Results results;
        std::uint64_t generation = 0;
    };

    std::unique_ptr<Matcher> matcher_;
    std::vector<Level> stack_;
    std::uint64_t generation_ = 0;
    std::shared_ptr<const TrigramIndex> trigrams_;
};

} // namespace ulmaro
