#pragma once

#include "UlmaroKit/Search/Term.h"

#include <ostream>
#include <string>
#include <vector>

namespace ulmaro {

/// A parsed query: either terms that must all hold, or alternative groups of such terms.
/// The parser never fills both; an OR group is never empty.
struct Query {
    std::vector<Term> andTerms;
    std::vector<std::vector<Term>> orGroups;
    std::string raw; // the text exactly as handed to the parser

    struct ContentSplit;

    bool isEmpty() const { return andTerms.empty() && orGroups.empty(); }
    /// Some term, also under `not_`, is a size or date term.
    bool requiresAttributes() const;
    /// Some term, also under `not_`, is a contains term.
    bool requiresContentScan() const;
    /// Moves the top-level contains terms out as needles, keeping their case; groups left
    /// empty are dropped. A contains term under `not_` stays in the name query.
    ContentSplit splittingContentTerms() const;

    friend bool operator==(const Query&, const Query&) = default;
};

struct Query::ContentSplit {
    Query nameQuery;
    std::vector<std::string> contentNeedles;
};

std::ostream& operator<<(std::ostream& os, const Query& q);

} // namespace ulmaro
