#pragma once

#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Fakes/ManualClock.h"
#include "UlmaroAppKit/Fakes/ManualMainQueue.h"
#include "UlmaroAppKit/Fakes/ManualSettleScheduler.h"
#include "UlmaroAppKit/Fakes/RecordingResultActions.h"
#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/Panel/RecentsStore.h"
#include "UlmaroAppKit/Search/SearchEngineProtocol.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace ulmaro::test {

/// An engine that records what it is asked and answers only when the test says so, from
/// any thread. Like a real one it numbers its own searches from 1.
class FakeSearchEngine final : public SearchEngineProtocol {
public:
    struct Search {
        std::string text;
        std::int64_t generation = 0;
        SearchCompletion completion;
    };
    struct CopiesRequest {
        std::uint32_t id = 0;
        std::string path;
        CopiesCompletion completion;
    };

    /// Set: copies requests are answered with it inside `findCopies`.
    std::optional<SearchOutcome> copiesAnswerAtOnce;

    std::int64_t search(std::string text, SearchCompletion completion) override {
        std::lock_guard lock(mutex_);
        searches_.push_back({std::move(text), ++generation_, std::move(completion)});
        return generation_;
    }
    void findCopies(std::uint32_t id, std::string path, CopiesCompletion completion) override {
        if (copiesAnswerAtOnce) {
            completion(*copiesAnswerAtOnce);
            return;
        }
        std::lock_guard lock(mutex_);
        copies_.push_back({id, std::move(path), std::move(completion)});
    }

    std::vector<std::string> texts() const {
        std::lock_guard lock(mutex_);
        std::vector<std::string> out;
        for (const auto& s : searches_)
            out.push_back(s.text);
        return out;
    }
    std::size_t searchCount() const {
        std::lock_guard lock(mutex_);
        return searches_.size();
    }
    /// Answers search `index` (0 = the first asked) with the engine's own generation.
    void answer(std::size_t index, SearchOutcome outcome) {
        Search search;
        {
            std::lock_guard lock(mutex_);
            search = searches_.at(index);
        }
        search.completion(std::move(outcome), search.generation);
    }
    void answerLast(SearchOutcome outcome) { answer(searchCount() - 1, std::move(outcome)); }

    std::vector<CopiesRequest> copiesRequests() const {
        std::lock_guard lock(mutex_);
        return copies_;
    }
    void answerCopies(std::size_t index, SearchOutcome outcome) {
        CopiesCompletion completion;
        {
            std::lock_guard lock(mutex_);
            completion = copies_.at(index).completion;
        }
        completion(std::move(outcome));
    }

private:
    mutable std::mutex mutex_;
    std::int64_t generation_ = 0;
    std::vector<Search> searches_;
    std::vector<CopiesRequest> copies_;
};

inline RankedRow row(std::uint32_t id, std::string path, RowOrigin origin = RowOrigin::mac()) {
    RankedRow r;
    r.id = id;
    r.path = std::move(path);
    const auto slash = r.path.rfind('/');
    r.name = slash == std::string::npos ? r.path : r.path.substr(slash + 1);
    r.origin = std::move(origin);
    return r;
}

inline RowOrigin offlineCatalog(std::string name = "Backup") {
    return RowOrigin::fromCatalog("cat-1", std::move(name), false);
}

inline SearchOutcome resultsOf(std::vector<RankedRow> rows, std::int64_t total = -1) {
    const auto count = total < 0 ? static_cast<std::int64_t>(rows.size()) : total;
    return SearchOutcome::results(std::move(rows), count, 0.01);
}

/// How often an observable notified.
template <class T>
struct NotificationCount {
    explicit NotificationCount(Observable<T>& observable)
        : subscription(observable.subscribe([this](const T&) { ++count; })) {}
    int count = 0;
    Subscription subscription;
};

struct OverlayFixture {
    std::shared_ptr<FakeSearchEngine> engine = std::make_shared<FakeSearchEngine>();
    std::shared_ptr<ManualMainQueue> mainQueue = std::make_shared<ManualMainQueue>();
    std::shared_ptr<ManualSettleScheduler> settle = std::make_shared<ManualSettleScheduler>();
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::shared_ptr<InMemorySettingsStore> settings = std::make_shared<InMemorySettingsStore>();
    std::shared_ptr<RecentsStore> recents = std::make_shared<RecentsStore>(
        settings, "app.ulmaro.recentSearches", "app.ulmaro.recentFiles");
    std::shared_ptr<RecordingResultActions> actions = std::make_shared<RecordingResultActions>();
    /// Every opener call and hook, in order.
    std::vector<std::string> events;
    std::shared_ptr<OverlayViewModel> model;
    RecentSearchEntry lastSearch;
    RecentFileEntry lastFile;

    explicit OverlayFixture(bool withEngine = true, bool withRecents = true) {
        model = OverlayViewModel::create(
            withEngine ? engine : nullptr,
            [this](const std::string& path) { events.push_back("open " + path); }, false,
            withRecents ? recents : nullptr, settle, 1.2, actions, mainQueue, clock);
        model->onOpenedPath = [this](const std::string& path) {
            events.push_back("frecency " + path);
        };
        model->dismissBeforeOpen = [this] { events.push_back("dismiss"); };
        model->onRevealInCatalog = [this](const RankedRow& r) {
            events.push_back("catalog " + r.path);
        };
        // Logs what each record put in front (a clear logs nothing).
        recents->onChange = [this] {
            const auto& searches = recents->recentSearches();
            const auto& files = recents->recentFiles();
            if (!searches.empty() && !(searches.front() == lastSearch)) {
                lastSearch = searches.front();
                events.push_back("search " + lastSearch.query + " " +
                                 std::to_string(lastSearch.resultCount));
            }
            if (!files.empty() && !(files.front() == lastFile)) {
                lastFile = files.front();
                events.push_back("file " + lastFile.path);
            }
        };
    }

    /// Types `text` and answers its search with `outcome`.
    void search(const std::string& text, SearchOutcome outcome) {
        model->updateQuery(text);
        engine->answerLast(std::move(outcome));
        mainQueue->drain();
    }
    void showRows(std::vector<RankedRow> rows, const std::string& text = "q",
                  std::int64_t total = -1) {
        search(text, resultsOf(std::move(rows), total));
    }
};

} // namespace ulmaro::test
