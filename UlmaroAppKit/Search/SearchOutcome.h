#pragma once

#include "UlmaroAppKit/Search/RankedRow.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace ulmaro {

/// What one search hands back.
struct SearchOutcome {
    struct Results {
        /// In display order.
        std::vector<RankedRow> rows;
        /// Name matches before ranking and cutting; may exceed the rows.
        std::int64_t totalMatches = 0;
        /// Seconds the search took.
        double took = 0;

        friend bool operator==(const Results&, const Results&) = default;
    };
    /// Never produced by the search engine.
    struct Failed {
        std::string message;

        friend bool operator==(const Failed&, const Failed&) = default;
    };
    struct NoMatches {
        friend bool operator==(const NoMatches&, const NoMatches&) = default;
    };

    std::variant<NoMatches, Results, Failed> value;

    static SearchOutcome noMatches() { return {}; }
    static SearchOutcome results(std::vector<RankedRow> rows, std::int64_t totalMatches,
                                 double took) {
        return {Results{std::move(rows), totalMatches, took}};
    }
    static SearchOutcome failed(std::string message) { return {Failed{std::move(message)}}; }

    bool isNoMatches() const { return std::holds_alternative<NoMatches>(value); }
    const Results* resultsIfAny() const { return std::get_if<Results>(&value); }
    const Failed* failureIfAny() const { return std::get_if<Failed>(&value); }

    friend bool operator==(const SearchOutcome&, const SearchOutcome&) = default;
};

} // namespace ulmaro
