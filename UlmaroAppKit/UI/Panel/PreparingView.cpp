#include "UlmaroAppKit/UI/Panel/PreparingView.h"

#include "UlmaroAppKit/Indexing/IndexHealth.h"
#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/UI/Kit/StyledLabel.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <algorithm>
#include <cmath>

namespace ulmaro {
namespace {

QLabel* line(const QString& text, const QFont& font, const QColor& colour, QWidget* parent) {
    QLabel* label = styledLabel(text, font, colour, parent);
    label->setAlignment(Qt::AlignHCenter);
    return label;
}

} // namespace

PreparingView::PreparingView(std::shared_ptr<OverlayViewModel> model, QWidget* parent)
    : QWidget(parent), model_(std::move(model)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 28, 24, 28);
    layout->setSpacing(16);

    auto* icon = new QLabel(this);
    icon->setFixedSize(40, 40);
    // The icon at 0.9, baked into its pixmap.
    const QPixmap source = QApplication::windowIcon().pixmap(QSize(40, 40), devicePixelRatioF());
    if (!source.isNull()) {
        QPixmap faded(source.size());
        faded.setDevicePixelRatio(source.devicePixelRatio());
        faded.fill(Qt::transparent);
        {
            QPainter painter(&faded);
            painter.setOpacity(0.9);
            painter.drawPixmap(0, 0, source);
        }
        icon->setPixmap(faded);
    }
    layout->addWidget(icon, 0, Qt::AlignHCenter);

    layout->addWidget(line(QStringLiteral("Getting Ulmaro ready"),
                           Theme::font(15, Theme::Weight::semibold, Theme::Design::rounded),
                           Theme::text(Theme::Level::primary), this));
    count_ = line({}, Theme::font(12), Theme::text(Theme::Level::secondary), this);
    layout->addWidget(count_);
    auto* note =
        line(QStringLiteral("You can search as soon as this finishes. It only happens once."),
             Theme::font(11), Theme::text(Theme::Level::tertiary), this);
    note->setWordWrap(true);
    // At most 300 wide, as high as its lines.
    note->setFixedWidth(std::min(300, note->sizeHint().width()));
    note->setFixedHeight(note->heightForWidth(note->width()));
    layout->addWidget(note, 0, Qt::AlignHCenter);

    counting_ = new QVariantAnimation(this);
    counting_->setDuration(350);
    counting_->setEasingCurve(QEasingCurve::OutCubic);
    connect(counting_, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { showCount(std::llround(value.toDouble())); });

    subscription_ =
        model_->state.subscribe([this](const auto&) { countTo(model_->indexingFilesSoFar()); });
    countTo(model_->indexingFilesSoFar());
}

PreparingView::~PreparingView() = default;

QString PreparingView::countText() const {
    return count_->text();
}

bool PreparingView::isCounting() const {
    return counting_->state() == QAbstractAnimation::Running;
}

void PreparingView::countTo(std::int64_t target) {
    counting_->stop();
    // Off screen there is nothing to watch: the figure is simply set.
    if (!isVisible() || shown_ < 0 || shown_ == target) return showCount(target);
    counting_->setStartValue(double(shown_));
    counting_->setEndValue(double(target));
    counting_->start();
}

void PreparingView::showCount(std::int64_t count) {
    if (count == shown_) return;
    shown_ = count;
    count_->setText(QString::fromStdString(IndexHealth::count(count) + " files found so far"));
}

} // namespace ulmaro
