#include "UlmaroAppKit/UI/Panel/ResultListView.h"

#include "UlmaroAppKit/Panel/IconResolver.h"
#include "UlmaroAppKit/Panel/OverlayLayout.h"
#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/Panel/PanelMenu.h"
#include "UlmaroAppKit/UI/Panel/PanelMenuPopup.h"
#include "UlmaroAppKit/UI/Panel/ResultListModel.h"
#include "UlmaroAppKit/UI/Panel/ResultRowView.h"

#include <QDrag>
#include <QMenu>
#include <QMouseEvent>
#include <QPropertyAnimation>
#include <QScrollBar>
#include <QVariantAnimation>

namespace ulmaro {
namespace {

constexpr int animationMs = 120;
constexpr double staleOpacity = 0.45;

} // namespace

ResultListView::ResultListView(std::shared_ptr<OverlayViewModel> model,
                               std::shared_ptr<IconResolver> icons, std::function<void()> onDismiss,
                               std::function<void()> preview, std::function<bool()> showsPaths,
                               QWidget* parent)
    : QListView(parent), model_(std::move(model)), icons_(std::move(icons)),
      onDismiss_(std::move(onDismiss)), preview_(std::move(preview)) {
    rows_ = new ResultListModel(this);
    setModel(rows_);
    setItemDelegate(new ResultRowView(model_, icons_, std::move(showsPaths), this));
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setContextMenuPolicy(Qt::CustomContextMenu);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, Qt::transparent);
    setPalette(colours);
    viewport()->setAutoFillBackground(false);

    scrolling_ = new QPropertyAnimation(verticalScrollBar(), "value", this);
    scrolling_->setDuration(animationMs);
    scrolling_->setEasingCurve(QEasingCurve::OutCubic);
    fading_ = new QVariantAnimation(this);
    fading_->setDuration(animationMs);
    fading_->setEasingCurve(QEasingCurve::OutCubic);
    connect(fading_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        opacity_ = value.toDouble();
        viewport()->update();
    });

    connect(this, &QListView::clicked, this, [this](const QModelIndex& index) {
        if (!index.isValid()) return;
        model_->selectedID.set(rows_->row(index.row()).id);
        if (model_->openSelected() && onDismiss_) onDismiss_();
    });
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const QModelIndex index = indexAt(at);
        if (!index.isValid()) return;
        QMenu* menu = menuFor(index.row());
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(viewport()->mapToGlobal(at));
    });
    subscriptions_.push_back(
        model_->selectedID.subscribe([this](const auto&) { selectionChanged(); }));
    subscriptions_.push_back(
        model_->extraSelectedIDs.subscribe([this](const auto&) { viewport()->update(); }));
    subscriptions_.push_back(
        model_->resultsAreStale.subscribe([this](const auto&) { staleChanged(); }));
}

ResultListView::~ResultListView() = default;

void ResultListView::mousePressEvent(QMouseEvent* event) {
    pressed_ = indexAt(event->position().toPoint());
    QListView::mousePressEvent(event);
}

void ResultListView::startDrag(Qt::DropActions) {
    if (!pressed_.isValid()) return;
    auto* drag = new QDrag(this);
    drag->setMimeData(rows_->mimeData({pressed_}));
    drag->exec(Qt::CopyAction);
}

void ResultListView::showRows(std::vector<RankedRow> rows) {
    int previews = 0;
    for (const RankedRow& row : rows) {
        previews += row.contentMatch.has_value();
        // An application's icon may be read from its desktop entry: here, not while painting.
        if (row.isApp) icons_->icon(row);
    }
    setFixedHeight(int(OverlayLayout::resultsHeight(int(rows.size()), previews)));
    scrolling_->stop();
    rows_->setRows(std::move(rows));
    selectionChanged();
}

QMenu* ResultListView::menuFor(int index) {
    return makePanelMenu(PanelMenu::forResult(model_, rows_->row(index), preview_), this);
}

double ResultListView::opacity() const {
    return opacity_;
}

bool ResultListView::isAnimating() const {
    return scrolling_->state() == QAbstractAnimation::Running ||
           fading_->state() == QAbstractAnimation::Running;
}

void ResultListView::selectionChanged() {
    viewport()->update();
    const auto& id = model_->selectedID.get();
    if (!id) return;
    const QModelIndex index = rows_->indexOf(*id);
    if (!index.isValid()) return;
    // The least scrolling that shows the whole item.
    const QRect item = visualRect(index);
    QScrollBar* bar = verticalScrollBar();
    int target = bar->value();
    if (item.top() < 0)
        target += item.top();
    else if (item.bottom() >= viewport()->height())
        target += item.bottom() + 1 - viewport()->height();
    target = std::clamp(target, bar->minimum(), bar->maximum());
    if (target == bar->value()) return;
    scrolling_->stop();
    if (!isVisible()) return bar->setValue(target);
    scrolling_->setStartValue(bar->value());
    scrolling_->setEndValue(target);
    scrolling_->start();
}

void ResultListView::staleChanged() {
    const double target = model_->resultsAreStale.get() ? staleOpacity : 1.0;
    fading_->stop();
    if (target == opacity_) return;
    if (!isVisible()) {
        opacity_ = target;
        return viewport()->update();
    }
    fading_->setStartValue(opacity_);
    fading_->setEndValue(target);
    fading_->start();
}

} // namespace ulmaro
