#pragma once

#include "UlmaroAppKit/Search/SearchOutcome.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace ulmaro {

/// What the panel's result area shows.
struct OverlayResultState {
    /// Nothing asked: the query is empty.
    struct Idle {
        friend bool operator==(const Idle&, const Idle&) = default;
    };
    /// The first index build runs and has found this many files.
    struct Indexing {
        std::int64_t filesSoFar = 0;
        friend bool operator==(const Indexing&, const Indexing&) = default;
    };
    /// Rows to show as the engine reported them, a message shown instead of results, and
    /// a search that found nothing: the engine's own forms.
    using Results = SearchOutcome::Results;
    using Failed = SearchOutcome::Failed;
    using NoMatches = SearchOutcome::NoMatches;

    std::variant<Idle, Indexing, Results, Failed, NoMatches> value;

    static OverlayResultState idle() { return {}; }
    static OverlayResultState indexing(std::int64_t filesSoFar) { return {Indexing{filesSoFar}}; }
    static OverlayResultState results(std::vector<RankedRow> rows, std::int64_t totalMatches,
                                      double took) {
        return {Results{std::move(rows), totalMatches, took}};
    }
    static OverlayResultState failed(std::string message) { return {Failed{std::move(message)}}; }
    static OverlayResultState noMatches() { return {NoMatches{}}; }

    bool isIdle() const { return std::holds_alternative<Idle>(value); }
    bool isIndexing() const { return std::holds_alternative<Indexing>(value); }
    bool isFailed() const { return std::holds_alternative<Failed>(value); }
    bool isNoMatches() const { return std::holds_alternative<NoMatches>(value); }
    const Results* resultsIfAny() const { return std::get_if<Results>(&value); }
    const Indexing* indexingIfAny() const { return std::get_if<Indexing>(&value); }
    const Failed* failureIfAny() const { return std::get_if<Failed>(&value); }

    friend bool operator==(const OverlayResultState&, const OverlayResultState&) = default;
};

} // namespace ulmaro
