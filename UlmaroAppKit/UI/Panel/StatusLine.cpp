#include "UlmaroAppKit/UI/Panel/StatusLine.h"

#include "UlmaroAppKit/UI/Kit/ElidedLabel.h"
#include "UlmaroAppKit/UI/Kit/StyledLabel.h"
#include "UlmaroAppKit/UI/Kit/Symbols.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace ulmaro {

StatusLine::StatusLine(std::string text, std::string systemImage, std::optional<std::string> detail,
                       int verticalPadding, QWidget* parent)
    : QWidget(parent), systemImage_(std::move(systemImage)) {
    const QColor secondary = Theme::text(Theme::Level::secondary);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, verticalPadding, 16, verticalPadding);
    row->setSpacing(8);
    // The symbol sits on the first line, centred on it.
    auto* symbol = new QLabel(this);
    symbol->setPixmap(Symbols::pixmap(systemImage_, 14, secondary, devicePixelRatioF()));
    symbol->setAlignment(Qt::AlignCenter);
    symbol->setFixedHeight(QFontMetrics(Theme::font(13)).height());
    row->addWidget(symbol, 0, Qt::AlignTop);

    auto* lines = new QVBoxLayout;
    lines->setSpacing(3);
    text_ = styledLabel(QString::fromStdString(text), Theme::font(13), secondary, this);
    lines->addWidget(text_);
    if (detail) {
        // One line cut at the tail; hovering shows it whole. An empty detail still takes
        // its (blank) line.
        detail_ = new ElidedLabel(QString::fromStdString(*detail), Qt::ElideRight, this);
        detail_->setFont(Theme::font(11));
        detail_->setColor(Theme::text(Theme::Level::tertiary));
        detail_->setToolTip(detail_->text());
        detail_->setMinimumHeight(QFontMetrics(detail_->font()).height());
        lines->addWidget(detail_);
    }
    row->addLayout(lines, 1);
}

QString StatusLine::text() const {
    return text_->text();
}

std::optional<QString> StatusLine::detail() const {
    if (!detail_) return std::nullopt;
    return detail_->text();
}

std::optional<QString> StatusLine::shownDetail() const {
    if (!detail_) return std::nullopt;
    return detail_->shownText();
}

} // namespace ulmaro
