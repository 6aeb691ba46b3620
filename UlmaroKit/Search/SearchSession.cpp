#include "UlmaroKit/Search/SearchSession.h"

#include "UlmaroKit/Search/Query.h"
#include "UlmaroKit/Search/QueryParser.h"
#include "UlmaroKit/Search/SubstringScan.h"

#include <algorithm>
#include <optional>

namespace ulmaro {
namespace {

/// The word of a query that is one plain word and nothing else, folded as names are compared.
std::optional<std::string> soleWordOf(const Query& query) {
    if (!query.orGroups.empty() || query.andTerms.size() != 1 ||
        query.andTerms.front().kind() != Term::Kind::substring)
        return std::nullopt;
    return SubstringScan::folded(query.andTerms.front().text());
}

/// Whether every record that `next` matches is among those `previous` matched, so that the
/// previous answer can serve as the pool. Decided on the parsed queries, never on the texts:
/// "!!" is the word "!!" while "!!a" is the word "a". Only one plain word holding the previous
/// one is known to refine it.
bool refines(const Query& next, const Query& previous) {
    const auto word = soleWordOf(next);
    const auto before = soleWordOf(previous);
    return word && before && word->find(*before) != std::string::npos;
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

    std::vector<std::uint32_t> pool;
    bool narrowing = false;
    if (!stack_.empty()) {
        const Level& top = stack_.back();
        narrowing = top.generation == generation_ && refines(query, top.query);
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
    stack_.push_back(Level{std::string(text), query, results, generation_});
    return results;
}

} // namespace ulmaro
