#pragma once

#include "UlmaroAppKit/Panel/SearchSyntax.h"

#include <QWidget>
#include <vector>

namespace ulmaro {

/// The body of the how-to-search step: the lead sentence, one card per kind of search in
/// rows of two (a last card alone takes the row) with its example's operator or extension
/// in the accent, and the hint row with the cheat sheet's key. Static. GUI thread only.
class HowToSearchContent final : public QWidget {
    Q_OBJECT
public:
    explicit HowToSearchContent(
        const std::vector<SearchSyntax::Group>& groups = SearchSyntax::onboardingGroups(),
        QWidget* parent = nullptr);

    /// The cards, in group order.
    const std::vector<QWidget*>& cards() const { return cards_; }

private:
    QWidget* searchCard(const SearchSyntax::Group& group);

    std::vector<QWidget*> cards_;
};

} // namespace ulmaro
