#include "UlmaroAppKit/UI/Panel/OverlayView.h"

#include "UlmaroAppKit/Onboarding/OnboardingState.h"
#include "UlmaroAppKit/Panel/IconResolver.h"
#include "UlmaroAppKit/Panel/OverlayLayout.h"
#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"
#include "UlmaroAppKit/UI/Panel/CheatSheetView.h"
#include "UlmaroAppKit/UI/Panel/FilterBar.h"
#include "UlmaroAppKit/UI/Panel/OverlayHeader.h"
#include "UlmaroAppKit/UI/Panel/OverlayNotices.h"
#include "UlmaroAppKit/UI/Panel/OverlayPanel.h"
#include "UlmaroAppKit/UI/Panel/PreparingView.h"
#include "UlmaroAppKit/UI/Panel/ResultArea.h"
#include "UlmaroAppKit/UI/Qt/QtIconSource.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace ulmaro {
namespace {

constexpr int panelWidth = int(OverlayLayout::panelWidth);

// A hairline in the primary colour at 0.15, full width.
class Divider final : public QWidget {
public:
    explicit Divider(QWidget* parent) : QWidget(parent) { setFixedHeight(1); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(rect(), Theme::primaryTint(0.15));
    }
};

QWidget* padded(QWidget* content, QMargins margins, QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(margins);
    content->setParent(box);
    layout->addWidget(content);
    return box;
}

QWidget* stepViewStandIn(QWidget* parent) {
    auto* label = new QLabel(QStringLiteral("Welcome to Ulmaro"), parent);
    label->setAlignment(Qt::AlignCenter);
    label->setFont(Theme::font(15, Theme::Weight::semibold, Theme::Design::rounded));
    label->setFixedHeight(320);
    return label;
}

} // namespace

OverlayView::OverlayView(std::shared_ptr<OverlayViewModel> model,
                         std::shared_ptr<OnboardingState> onboarding, Callbacks callbacks,
                         QWidget* parent)
    : QWidget(parent), model_(std::move(model)), onboarding_(std::move(onboarding)),
      callbacks_(std::move(callbacks)), stepViewFactory_(stepViewStandIn),
      icons_(std::make_shared<IconResolver>(std::make_shared<QtIconSource>())) {
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    for (int i = 0; i < int(Place::count); ++i) {
        auto* holder = new QWidget(this);
        auto* inner = new QVBoxLayout(holder);
        inner->setContentsMargins(0, 0, 0, 0);
        inner->setSpacing(0);
        holder->hide();
        layout_->addWidget(holder);
        holders_.push_back(holder);
    }
    header_ = new OverlayHeader(model_, icons_, callbacks_.onDismiss, holders_[int(Place::header)]);
    holders_[int(Place::header)]->layout()->addWidget(header_);
    holders_[int(Place::header)]->show();

    auto sectionsFollow = [this](const auto&) { refreshSections(); };
    subscriptions_.push_back(model_->queryText.subscribe(sectionsFollow));
    subscriptions_.push_back(model_->state.subscribe(sectionsFollow));
    subscriptions_.push_back(model_->activeFilter.subscribe(sectionsFollow));
    subscriptions_.push_back(model_->isFirstRun.subscribe(sectionsFollow));
    subscriptions_.push_back(model_->fdaPromptVisible.subscribe(sectionsFollow));
    subscriptions_.push_back(model_->fdaBannerVisible.subscribe(sectionsFollow));
    subscriptions_.push_back(model_->showingCheatSheet.subscribe(sectionsFollow));
    subscriptions_.push_back(model_->modelChanged.subscribe([this] { refreshSections(); }));
    subscriptions_.push_back(model_->firstRunCompletionMessage.subscribe([this](const auto&) {
        refreshSections();
        rebuild(Place::firstRunCompletion);
    }));
    subscriptions_.push_back(
        model_->hotkeyLine.subscribe([this](const auto&) { rebuild(Place::firstRunCompletion); }));
    subscriptions_.push_back(
        model_->suggestions.subscribe([this](const auto&) { rebuild(Place::firstRunCompletion); }));
    subscriptions_.push_back(
        model_->hotKeyDisplay.subscribe([this](const auto&) { rebuild(Place::cheatSheet); }));
    if (onboarding_)
        subscriptions_.push_back(
            onboarding_->subscribeShowing([this](bool) { refreshSections(); }));
    refreshSections(true);
    fitHeight();
}

OverlayView::~OverlayView() = default;

void OverlayView::setStepViewFactory(StepViewFactory factory) {
    stepViewFactory_ = std::move(factory);
    rebuild(Place::onboarding);
}

QWidget* OverlayView::placeWidget(Place place) const {
    QLayoutItem* item = holders_[int(place)]->layout()->itemAt(0);
    return item ? item->widget() : nullptr;
}

FilterBar* OverlayView::filterBar() const {
    QWidget* box = placeWidget(Place::filterBar);
    return box ? box->findChild<FilterBar*>() : nullptr;
}

ResultArea* OverlayView::resultArea() const {
    return qobject_cast<ResultArea*>(placeWidget(Place::results));
}

PreparingView* OverlayView::preparingView() const {
    return qobject_cast<PreparingView*>(placeWidget(Place::preparing));
}

QWidget* OverlayView::make(Place place, QWidget* parent) {
    switch (place) {
    case Place::firstRunIntro:
        return OverlayNotices::firstRunIntro(parent);
    case Place::filterBar:
        return padded(new FilterBar(model_), {16, 0, 16, 8}, parent);
    case Place::fdaPrompt:
        return OverlayNotices::fdaPrompt(callbacks_.onGrantFullDiskAccess,
                                         callbacks_.onDeferFullDiskAccess, parent);
    case Place::cheatSheet:
        return new CheatSheetView(model_->hotKeyDisplay.get(), parent);
    case Place::results:
        return new ResultArea(
            model_, icons_, callbacks_.onDismiss, [this] { togglePreview(); },
            callbacks_.showsPaths, parent);
    case Place::firstRunCompletion:
        return OverlayNotices::firstRunCompletion(model_, callbacks_.onDismiss, parent);
    case Place::fdaBanner:
        return OverlayNotices::fdaBanner(model_, callbacks_.onGrantFullDiskAccess, parent);
    case Place::onboarding:
        return stepViewFactory_(parent);
    case Place::preparing:
        return new PreparingView(model_, parent);
    case Place::header:
    case Place::divider:
    case Place::count:
        break;
    }
    return nullptr;
}

bool OverlayView::isShown(Place place) const {
    return holders_[int(place)]->isVisibleTo(this) && placeWidget(place);
}

void OverlayView::fill(Place place, bool wanted, const std::function<QWidget*(QWidget*)>& maker) {
    QWidget* holder = holders_[int(place)];
    QWidget* current = placeWidget(place);
    const bool madeOnce =
        place == Place::filterBar || place == Place::divider || place == Place::results;
    if (wanted) {
        if (!current) holder->layout()->addWidget(maker(holder));
        holder->show();
    } else if (current) {
        holder->hide();
        if (madeOnce) return;
        holder->layout()->removeWidget(current);
        current->hide();
        current->deleteLater();
    }
}

void OverlayView::rebuild(Place place) {
    QWidget* current = placeWidget(place);
    if (!current) return;
    holders_[int(place)]->layout()->removeWidget(current);
    current->hide();
    current->deleteLater();
    fill(place, true, [this, place](QWidget* parent) { return make(place, parent); });
}

void OverlayView::refreshSections(bool force) {
    const OverlaySections now = OverlaySections::of(*model_, onboarding_.get());
    if (now == sections_ && !force) return;
    sections_ = now;
    using Body = OverlaySections::Body;
    const bool search = now.body == Body::search;
    auto place = [this](Place p, bool wanted) {
        fill(p, wanted, [this, p](QWidget* parent) { return make(p, parent); });
    };
    place(Place::onboarding, now.body == Body::onboarding);
    place(Place::preparing, now.body == Body::preparing);
    place(Place::firstRunIntro, now.firstRunIntro);
    place(Place::filterBar, now.filterBar);
    fill(Place::divider, search, [](QWidget* parent) { return new Divider(parent); });
    place(Place::fdaPrompt, now.fdaPrompt);
    place(Place::cheatSheet, search && now.cheatSheet);
    place(Place::results, search && !now.cheatSheet);
    place(Place::firstRunCompletion, now.firstRunCompletion);
    place(Place::fdaBanner, now.fdaBanner);

    // Collapsed, the header keeps the field in the tree but takes neither room nor clicks.
    QWidget* headerHolder = holders_[int(Place::header)];
    if (now.headerCollapsed())
        headerHolder->setFixedHeight(0);
    else
        headerHolder->setFixedHeight(QWIDGETSIZE_MAX), headerHolder->setMinimumHeight(0);
    headerHolder->setAttribute(Qt::WA_TransparentForMouseEvents, now.headerCollapsed());
}

void OverlayView::togglePreview() {
    if (auto* panel = qobject_cast<OverlayPanel*>(window())) panel->quickLookSelected();
}

void OverlayView::fitHeight() {
    layout_->activate();
    const int height = layout_->hasHeightForWidth() ? layout_->heightForWidth(panelWidth)
                                                    : layout_->sizeHint().height();
    if (size() != QSize(panelWidth, height)) setFixedSize(panelWidth, height);
}

bool OverlayView::event(QEvent* event) {
    if (event->type() == QEvent::LayoutRequest) {
        const bool handled = QWidget::event(event);
        fitHeight();
        return handled;
    }
    return QWidget::event(event);
}

void OverlayView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double radius = OverlayLayout::cornerRadius;
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), radius, radius);
    painter.fillPath(shape, Theme::material());
    // The stroke lies inside the border: half a pixel in from the edge.
    painter.setPen(QPen(Theme::white(0.08), 1));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5,
                            radius - 0.5);
}

void OverlayView::mousePressEvent(QMouseEvent* event) {
    // The header's empty space belongs to the window, which moves with the drag.
    if (holders_[int(Place::header)]->geometry().contains(event->position().toPoint()))
        event->ignore();
    else
        event->accept();
}

} // namespace ulmaro
