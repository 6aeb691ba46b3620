#include "UlmaroAppKit/UI/Panel/ResultArea.h"

#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/Panel/PanelMenu.h"
#include "UlmaroAppKit/Panel/ResultAreaRules.h"
#include "UlmaroAppKit/UI/Kit/StyledLabel.h"
#include "UlmaroAppKit/UI/Kit/Symbols.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"
#include "UlmaroAppKit/UI/Panel/CapsuleButton.h"
#include "UlmaroAppKit/UI/Panel/IndexingStatusView.h"
#include "UlmaroAppKit/UI/Panel/OverlayNotices.h"
#include "UlmaroAppKit/UI/Panel/PanelMenuPopup.h"
#include "UlmaroAppKit/UI/Panel/RecentRowViews.h"
#include "UlmaroAppKit/UI/Panel/ResultListView.h"
#include "UlmaroAppKit/UI/Panel/StatusLine.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QVBoxLayout>

namespace ulmaro {
namespace {

// A banner over the results, on the quaternary fill from edge to edge.
class Banner final : public QWidget {
public:
    Banner(std::string_view symbol, const std::string& text, const QString& trailing,
           QWidget* parent)
        : QWidget(parent) {
        const QColor secondary = Theme::text(Theme::Level::secondary);
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(14, 7, 14, 7);
        row->setSpacing(8);
        auto* icon = new QLabel(this);
        icon->setPixmap(Symbols::pixmap(symbol, 11, secondary, devicePixelRatioF()));
        row->addWidget(icon);
        row->addWidget(styledLabel(QString::fromStdString(text),
                                   Theme::font(12, Theme::Weight::medium), secondary, this));
        row->addStretch(1);
        if (!trailing.isEmpty())
            row->addWidget(
                styledLabel(trailing, Theme::font(11), Theme::text(Theme::Level::tertiary), this));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(rect(), Theme::text(Theme::Level::quaternary));
    }
};

StatusLine* statusLine(const ResultAreaRules::StatusLineContent& line, QWidget* parent) {
    return new StatusLine(line.text, line.symbol, line.detail, line.verticalPadding, parent);
}

QWidget* sectionHeader(const char* text, QWidget* parent) {
    QLabel* label = styledLabel(QString::fromUtf8(text), Theme::font(10, Theme::Weight::semibold),
                                Theme::text(Theme::Level::tertiary), parent);
    label->setContentsMargins(8, 0, 8, 0);
    return label;
}

// Puts `with` in `slot`'s place at `at` (-1: the end), dropping what stood there.
void replace(QVBoxLayout* layout, int at, QWidget*& slot, QWidget* with) {
    if (slot) {
        layout->removeWidget(slot);
        slot->hide();
        slot->deleteLater(); // it may be the sender of what replaced it
    }
    slot = with;
    if (slot) layout->insertWidget(at, slot);
}

} // namespace

ResultArea::ResultArea(std::shared_ptr<OverlayViewModel> model, std::shared_ptr<IconResolver> icons,
                       std::function<void()> onDismiss, std::function<void()> preview,
                       std::function<bool()> showsPaths, QWidget* parent)
    : QWidget(parent), model_(std::move(model)), icons_(std::move(icons)),
      onDismiss_(std::move(onDismiss)), preview_(std::move(preview)),
      showsPaths_(std::move(showsPaths)) {
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    list_ = new ResultListView(model_, icons_, onDismiss_, preview_, showsPaths_, this);
    list_->hide();
    layout_->addWidget(list_);

    auto on = [this](auto& observable, auto action) {
        subscriptions_.push_back(
            observable.subscribe([this, action](const auto&) { (this->*action)(); }));
    };
    on(model_->state, &ResultArea::stateChanged);
    on(model_->copiesContext, &ResultArea::rebuildBanners);
    on(model_->offlineNotice, &ResultArea::rebuildBanners);
    // The notice follows the query as the user types; the idle and no-match views follow
    // what they show.
    on(model_->attributeDataIncomplete, &ResultArea::refreshListNotice);
    on(model_->queryText, &ResultArea::refreshListNotice);
    on(model_->activeFilter, &ResultArea::refreshListNotice);
    on(model_->emptySelection, &ResultArea::rebuildStateView);
    on(model_->totalIndexedCount, &ResultArea::rebuildStateView);
    on(model_->isFirstRun, &ResultArea::rebuildStateView);
    on(model_->attributeDataIncomplete, &ResultArea::rebuildStateView);
    on(model_->indexGapFolders, &ResultArea::rebuildStateView);
    // The no-match block's title and offers read the query, the filter and whether there is
    // a content index: a link that no longer applies goes at once.
    on(model_->queryText, &ResultArea::rebuildNoMatches);
    on(model_->activeFilter, &ResultArea::rebuildNoMatches);
    on(model_->hasContentIndex, &ResultArea::rebuildNoMatches);
    rebuildBanners();
    stateChanged();
}

ResultArea::~ResultArea() = default;

void ResultArea::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (model_->state.get().isIdle()) rebuildStateView();
}

void ResultArea::stateChanged() {
    if (const auto* results = model_->state.get().resultsIfAny()) {
        replace(layout_, -1, stateView_, nullptr);
        list_->showRows(results->rows);
        list_->show();
        refreshListNotice();
        return;
    }
    list_->hide();
    list_->showRows({});
    refreshListNotice();
    rebuildStateView();
}

void ResultArea::rebuildStateView() {
    if (model_->state.get().resultsIfAny()) return;
    // A newer count of the same build keeps the view, so that its sweep runs on.
    if (const auto* indexing = model_->state.get().indexingIfAny())
        if (auto* status = qobject_cast<IndexingStatusView*>(stateView_))
            return status->setFilesSoFar(indexing->filesSoFar);
    replace(layout_, -1, stateView_, makeStateView());
}

void ResultArea::rebuildNoMatches() {
    if (model_->state.get().isNoMatches()) rebuildStateView();
}

void ResultArea::rebuildBanners() {
    const auto& copies = model_->copiesContext.get();
    replace(layout_, 0, copiesBanner_,
            copies ? new Banner("doc.on.doc", *copies, QStringLiteral("type to search again"), this)
                   : nullptr);
    const auto& offline = model_->offlineNotice.get();
    replace(layout_, copiesBanner_ ? 1 : 0, offlineBanner_,
            offline ? new Banner("externaldrive.badge.xmark", *offline, {}, this) : nullptr);
}

void ResultArea::refreshListNotice() {
    const bool wanted =
        model_->state.get().resultsIfAny() && ResultAreaRules::showsAttributeNotice(*model_);
    if (wanted == (listNotice_ != nullptr)) return;
    replace(layout_, layout_->indexOf(list_) + 1, listNotice_,
            wanted ? OverlayNotices::attributeHealNotice(this) : nullptr);
}

QWidget* ResultArea::makeStateView() {
    const auto& state = model_->state.get();
    if (const auto* indexing = state.indexingIfAny())
        return new IndexingStatusView(indexing->filesSoFar, onDismiss_, this);
    if (state.failureIfAny())
        return statusLine(ResultAreaRules::statusLines(*model_).front(), this);
    if (state.isNoMatches()) return makeNoMatches();
    return makeEmptyState();
}

QWidget* ResultArea::makeNoMatches() {
    auto* block = new QWidget(this);
    auto* layout = new QVBoxLayout(block);
    // The last link keeps room below it: it never sits on the panel's bottom edge.
    layout->setContentsMargins(0, 0, 0, 12);
    layout->setSpacing(8);
    for (const auto& line : ResultAreaRules::statusLines(*model_))
        layout->addWidget(statusLine(line, block));
    const auto rescues = model_->rescues();
    for (const auto rescue : rescues) {
        auto* button = new CapsuleButton(block);
        CapsuleButton::Look look;
        look.symbol = std::string(ResultAreaRules::rescueSymbol(rescue));
        look.symbolSize = 12;
        look.label =
            QString::fromStdString(ResultAreaRules::rescueTitle(rescue, model_->queryText.get()));
        look.font = Theme::font(12, Theme::Weight::medium);
        look.fill = Qt::transparent;
        look.content = Theme::accent();
        look.paddingX = 0;
        look.paddingY = 2;
        look.spacing = 5;
        button->setLook(std::move(look));
        connect(button, &QAbstractButton::clicked, block,
                [this, rescue] { model_->applyRescue(rescue); });
        layout->addWidget(button, 0, Qt::AlignHCenter);
    }
    if (ResultAreaRules::showsAttributeNotice(*model_))
        layout->addWidget(OverlayNotices::attributeHealNotice(block));
    return block;
}

QWidget* ResultArea::makeEmptyState() {
    using EmptyState = ResultAreaRules::EmptyState;
    switch (ResultAreaRules::emptyState(*model_)) {
    case EmptyState::nothing: {
        auto* nothing = new QWidget(this);
        nothing->setFixedHeight(0);
        return nothing;
    }
    case EmptyState::hint:
        return statusLine(ResultAreaRules::statusLines(*model_).front(), this);
    case EmptyState::recents:
        break;
    }
    auto* lists = new QWidget(this);
    auto* layout = new QVBoxLayout(lists);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(10);
    const auto& highlighted = model_->emptySelection.get();
    auto section = [&](const char* title) {
        auto* box = new QVBoxLayout;
        box->setSpacing(2);
        box->addWidget(sectionHeader(title, lists));
        layout->addLayout(box);
        return box;
    };
    if (const auto searches = model_->recentSearches(); !searches.empty()) {
        QVBoxLayout* box = section("RECENT SEARCHES");
        for (const auto& entry : searches) {
            const bool selected =
                highlighted == OverlayViewModel::EmptySelection::search(entry.query);
            box->addWidget(new RecentSearchRowView(
                entry, selected, [this, query = entry.query] { model_->selectRecentSearch(query); },
                lists));
        }
    }
    if (const auto files = model_->recentFiles(); !files.empty()) {
        QVBoxLayout* box = section("RECENTLY OPENED");
        for (const auto& entry : files) {
            const bool selected = highlighted == OverlayViewModel::EmptySelection::file(entry.path);
            const auto menu = PanelMenu::forRecentFile(model_, entry, preview_, onDismiss_);
            auto* row = new RecentFileRowView(entry, selected, icons_, menu.front().action, lists);
            row->setShowsFolder(!showsPaths_ || showsPaths_());
            row->setContextMenuPolicy(Qt::CustomContextMenu);
            connect(row, &QWidget::customContextMenuRequested, row, [row, menu](const QPoint& at) {
                QMenu* popup = makePanelMenu(menu, row);
                popup->setAttribute(Qt::WA_DeleteOnClose);
                popup->popup(row->mapToGlobal(at));
            });
            box->addWidget(row);
        }
    }
    return lists;
}

} // namespace ulmaro
