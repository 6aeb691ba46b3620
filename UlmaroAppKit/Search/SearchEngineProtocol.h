#pragma once

#include "UlmaroAppKit/Search/SearchOutcome.h"

#include <cstdint>
#include <functional>
#include <string>

namespace ulmaro {

/// What the panel needs of a search engine, so that any engine can stand in for the real one.
class SearchEngineProtocol {
public:
    /// Receives the outcome and the generation `search` returned.
    using SearchCompletion = std::function<void(SearchOutcome, std::int64_t generation)>;
    using CopiesCompletion = std::function<void(SearchOutcome)>;

    virtual ~SearchEngineProtocol() = default;

    /// Starts a search and returns its generation at once. A search overtaken by a newer
    /// one before it starts may never complete.
    virtual std::int64_t search(std::string text, SearchCompletion completion) = 0;

    /// Other copies of the file shown by the row with this `id` and `path`; the path lets
    /// an engine refuse an ID that now names another file. By default: no matches, at
    /// once, on the caller's thread.
    virtual void findCopies(std::uint32_t id, std::string path, CopiesCompletion completion) {
        (void)id;
        (void)path;
        completion(SearchOutcome::noMatches());
    }
};

} // namespace ulmaro
