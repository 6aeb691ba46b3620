#include "UlmaroAppKit/UI/StatusLine.h"

#include "UlmaroAppKit/UI/StyledLabel.h"
#include "UlmaroAppKit/UI/Symbols.h"
#include "UlmaroAppKit/UI/Theme.h"

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
        detail_ = styledLabel(QString::fromStdString(*detail), Theme::font(11),
                              Theme::text(Theme::Level::tertiary), this);
        detail_->setToolTip(detail_->text());
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

} // namespace ulmaro
