#include "UlmaroKit/Search/SearchSession.h"

#include "UlmaroKit/Search/Query.h"
#include "UlmaroKit/Search/QueryParser.h"

#include <algorithm>

namespace ulmaro {
namespace {

/// One AND term, a plain word, and no OR groups: the only shape whose answers shrink as its
/// text grows, so that the previous answer can serve as the pool.
bool isSoleWord(const Query& query) {
    return query.orGroups.empty() && query.andTerms.size() == 1 &&
           query.andTerms.front().kind() == Term::Kind::substring;
}

} // namespace

SearchSession::SearchSession(std::shared_ptr<const IndexStore> store)
    : matcher_(std::make_unique<Matcher>(std::move(store))) {}

SearchSession::~SearchSession() = default;

void SearchSession::setTrigrams(std::shared_ptr<const TrigramIndex> trigrams) {
    trigrams_ = std::move(trigrams);
    matcher_->setTrigrams(trigrams_);
}

void SearchSession::updateStore(std::shared_ptr<const IndexStore> store) {
    matcher_ = std::make_unique<Matcher>(std::move(store));
    ++generation_;
    trigrams_.reset();
}

SearchSession::Results SearchSession::search(std::string_view text) {
    const Query query = QueryParser::parse(text);
    if (query.isEmpty()) {
        stack_.clear();
        return std::make_shared<const std::vector<Match>>();
    }

    for (auto level = stack_.rbegin(); level != stack_.rend(); ++level) {
        if (level->text == text && level->generation == generation_) {
            stack_.erase(level.base(), stack_.end());
            return stack_.back().results;
        }
    }

    // Narrowing: the new text extends the top level's, and both are one plain word.
    std::vector<std::uint32_t> pool;
    bool narrowing = false;
    if (!stack_.empty()) {
        const Level& top = stack_.back();
        narrowing = top.generation == generation_ && text.size() > top.text.size() &&
                    text.starts_with(top.text) && isSoleWord(query) &&
                    isSoleWord(QueryParser::parse(top.text));
        if (narrowing) {
            pool.reserve(top.results->size());
            for (const Match& m : *top.results)
                pool.push_back(m.id);
        }
    }

    Results results;
    if (narrowing) {
        results = std::make_shared<const std::vector<Match>>(matcher_->match(query, pool));
    } else {
        stack_.clear();
        results =
            std::make_shared<const std::vector<Match>>(matcher_->matchWithFuzzyFallback(query));
    }
    stack_.push_back(Level{std::string(text), results, generation_});
    return results;
}

} // namespace ulmaro
