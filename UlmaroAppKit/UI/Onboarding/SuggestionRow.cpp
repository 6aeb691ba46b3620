#include "UlmaroAppKit/UI/Onboarding/SuggestionRow.h"

#include "UlmaroAppKit/Panel/IconResolver.h"
#include "UlmaroAppKit/UI/Kit/ElidedLabel.h"
#include "UlmaroAppKit/UI/Kit/PlainText.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"
#include "UlmaroAppKit/UI/Qt/QtIconSource.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace ulmaro {

SuggestionRow::SuggestionRow(const RankedRow& row, IconResolver* icons, QWidget* parent)
    : QWidget(parent) {
    auto* line = new QHBoxLayout(this);
    line->setContentsMargins(10, 6, 10, 6);
    line->setSpacing(10);

    auto* icon = new QLabel(this);
    icon->setFixedSize(iconSide, iconSide);
    if (icons) {
        const QIcon image = QtIconSource::qIcon(icons->icon(row));
        icon->setPixmap(image.pixmap(QSize(iconSide, iconSide), devicePixelRatioF()));
        icon->setScaledContents(true);
    }
    line->addWidget(icon, 0, Qt::AlignVCenter);

    auto* text = new QVBoxLayout;
    text->setSpacing(1);
    name_ = new ElidedLabel(PlainText::fromBytes(row.name), Qt::ElideRight, this);
    name_->setFont(Theme::font(13, Theme::Weight::medium));
    name_->setColor(Theme::text(Theme::Level::primary));
    path_ = new ElidedLabel(PlainText::fromBytes(row.path), Qt::ElideMiddle, this);
    path_->setFont(Theme::font(11));
    path_->setColor(Theme::text(Theme::Level::tertiary));
    for (auto* label : {name_, path_}) {
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        text->addWidget(label);
    }
    line->addLayout(text, 1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void SuggestionRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath background;
    background.addRoundedRect(QRectF(rect()), 7, 7);
    p.fillPath(background, Theme::primaryTint(0.05, palette()));
}

} // namespace ulmaro
