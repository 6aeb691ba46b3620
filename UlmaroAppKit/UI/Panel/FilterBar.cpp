#include "UlmaroAppKit/UI/Panel/FilterBar.h"

#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/Search/SortOrder.h"
#include "UlmaroAppKit/UI/Kit/Symbols.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"
#include "UlmaroAppKit/UI/Panel/CapsuleButton.h"

#include <QHBoxLayout>
#include <QMenu>

namespace ulmaro {
namespace {

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// An active chip, or an order other than the default, stands out in the accent colour.
void paintAsSelected(CapsuleButton::Look& look, bool selected) {
    look.fill = selected ? Theme::accent(0.85) : Theme::primaryTint(0.07);
    look.content = selected ? Theme::white(1) : Theme::text(Theme::Level::primary);
}

} // namespace

FilterBar::FilterBar(std::shared_ptr<OverlayViewModel> model, QWidget* parent)
    : QWidget(parent), model_(std::move(model)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    for (auto value : QuickFilter::allCases) {
        const QuickFilter filter(value);
        auto* chip = new CapsuleButton(this);
        chip->setObjectName(qs(filter.rawValue()));
        chip->setToolTip(qs(filter.explanation()));
        connect(chip, &QAbstractButton::clicked, this, [this, filter] {
            const auto active = model_->activeFilter.get();
            model_->activeFilter.set(active == filter ? std::nullopt
                                                      : std::optional<QuickFilter>(filter));
        });
        layout->addWidget(chip);
        chips_.push_back(chip);
    }
    layout->addStretch(1);

    star_ = new CapsuleButton(this);
    connect(star_, &QAbstractButton::clicked, this, [this] { model_->toggleSaveCurrentSearch(); });
    layout->addWidget(star_);

    sortButton_ = new CapsuleButton(this);
    sortMenu_ = new QMenu(this);
    for (SortOrder order : allSortOrders) {
        QAction* action = sortMenu_->addAction(qs(label(order)));
        connect(action, &QAction::triggered, this, [this, order] { model_->sortOrder.set(order); });
    }
    connect(sortButton_, &QAbstractButton::clicked, this, [this] {
        sortMenu_->popup(sortButton_->mapToGlobal(QPoint(0, sortButton_->height())));
    });
    layout->addWidget(sortButton_);

    subscriptions_.push_back(model_->activeFilter.subscribe([this](const auto&) {
        refreshChips();
        refreshStar();
    }));
    subscriptions_.push_back(model_->queryText.subscribe([this](const auto&) { refreshStar(); }));
    subscriptions_.push_back(model_->modelChanged.subscribe([this] { refreshStar(); }));
    subscriptions_.push_back(model_->sortOrder.subscribe([this](const auto&) { refreshSort(); }));
    refreshChips();
    refreshStar();
    refreshSort();
}

FilterBar::~FilterBar() = default;

CapsuleButton* FilterBar::chip(QuickFilter filter) const {
    return chips_[filter.value()];
}

void FilterBar::refreshChips() {
    const auto active = model_->activeFilter.get();
    for (auto value : QuickFilter::allCases) {
        const QuickFilter filter(value);
        CapsuleButton::Look look;
        look.symbol = std::string(filter.symbol());
        look.symbolSize = 10;
        look.label = qs(filter.label());
        look.font = Theme::font(11, Theme::Weight::medium);
        paintAsSelected(look, active == filter);
        chips_[value]->setLook(std::move(look));
    }
}

void FilterBar::refreshStar() {
    const bool savable = !model_->savableQuery().empty();
    star_->setVisible(savable);
    if (!savable) return;
    const bool saved = model_->currentQueryIsSaved();
    CapsuleButton::Look look;
    look.symbol = saved ? "star.fill" : "star";
    look.symbolSize = 11;
    look.font = Theme::font(11);
    look.fill = Theme::primaryTint(0.07);
    look.content = saved ? Theme::yellow() : Theme::text(Theme::Level::secondary);
    star_->setLook(std::move(look));
    star_->setToolTip(saved ? QStringLiteral("Remove from Saved Searches")
                            : QStringLiteral("Save this search"));
}

void FilterBar::refreshSort() {
    const SortOrder current = model_->sortOrder.get();
    CapsuleButton::Look look;
    look.symbol = "arrow.up.arrow.down";
    look.symbolSize = 10;
    look.label = qs(label(current));
    look.font = Theme::font(11, Theme::Weight::medium);
    look.paddingX = 9;
    look.spacing = 4;
    paintAsSelected(look, current != SortOrder::relevance);
    sortButton_->setLook(std::move(look));

    const auto actions = sortMenu_->actions();
    for (std::size_t i = 0; i < allSortOrders.size(); ++i)
        actions[qsizetype(i)]->setIcon(
            allSortOrders[i] == current
                ? Symbols::icon("checkmark", Theme::text(Theme::Level::primary))
                : QIcon());
}

} // namespace ulmaro
