#include "UlmaroKit/Search/Query.h"

#include <algorithm>

namespace ulmaro {

namespace {

template <typename Pred>
bool anyTerm(const Query& q, Pred pred) {
    auto deep = [&](const Term& t) {
        const Term* p = &t;
        while (p->isNot())
            p = &p->inner();
        return pred(*p);
    };
    if (std::any_of(q.andTerms.begin(), q.andTerms.end(), deep)) return true;
    return std::any_of(q.orGroups.begin(), q.orGroups.end(), [&](const auto& group) {
        return std::any_of(group.begin(), group.end(), deep);
    });
}

void moveNeedles(const std::vector<Term>& terms, std::vector<Term>& kept,
                 std::vector<std::string>& needles) {
    for (const Term& t : terms) {
        if (t.kind() == Term::Kind::contains)
            needles.push_back(t.text());
        else
            kept.push_back(t);
    }
}

} // namespace

bool Query::requiresAttributes() const {
    return anyTerm(*this, [](const Term& t) {
        return t.kind() == Term::Kind::size || t.kind() == Term::Kind::dateModified;
    });
}

bool Query::requiresContentScan() const {
    return anyTerm(*this, [](const Term& t) { return t.kind() == Term::Kind::contains; });
}

Query::ContentSplit Query::splittingContentTerms() const {
    ContentSplit split;
    split.nameQuery.raw = raw;
    moveNeedles(andTerms, split.nameQuery.andTerms, split.contentNeedles);
    for (const auto& group : orGroups) {
        std::vector<Term> kept;
        moveNeedles(group, kept, split.contentNeedles);
        if (!kept.empty()) split.nameQuery.orGroups.push_back(std::move(kept));
    }
    return split;
}

std::ostream& operator<<(std::ostream& os, const Query& q) {
    auto list = [&](const std::vector<Term>& terms) {
        os << "[";
        for (std::size_t i = 0; i < terms.size(); ++i)
            os << (i ? ", " : "") << terms[i];
        os << "]";
    };
    os << "Query{AND ";
    list(q.andTerms);
    os << " OR [";
    for (std::size_t i = 0; i < q.orGroups.size(); ++i) {
        if (i) os << ", ";
        list(q.orGroups[i]);
    }
    return os << "] raw \"" << q.raw << "\"}";
}

} // namespace ulmaro
