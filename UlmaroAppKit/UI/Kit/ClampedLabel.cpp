#include "UlmaroAppKit/UI/Kit/ClampedLabel.h"

#include <QEvent>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>

namespace ulmaro {

ClampedLabel::ClampedLabel(int maxLines, QWidget* parent)
    : QWidget(parent), maxLines_(std::max(1, maxLines)) {
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void ClampedLabel::setText(const QString& text) {
    text_ = text;
    updateGeometry();
    update();
}

void ClampedLabel::setColour(const QColor& colour) {
    colour_ = colour;
    update();
}

void ClampedLabel::setAlignment(Qt::Alignment alignment) {
    alignment_ = alignment & Qt::AlignHorizontal_Mask;
    update();
}

QStringList ClampedLabel::linesForWidth(int width) const {
    if (text_.isEmpty() || width <= 0) return {};
    const QFontMetrics metrics(font());
    // Line breaks in a name cannot show in a heading; they wrap like spaces.
    QString shown = text_;
    for (QChar& c : shown)
        if (c == u'\n' || c == u'\r' || c == u'\t') c = u' ';
    QTextLayout layout(shown, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QStringList lines;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (int(lines.size()) == maxLines_ - 1) {
            // The last line allowed takes the rest of the text, elided.
            QString rest = shown.mid(line.textStart()).trimmed();
            lines.push_back(metrics.elidedText(rest, Qt::ElideRight, width));
            break;
        }
        lines.push_back(shown.mid(line.textStart(), line.textLength()).trimmed());
    }
    layout.endLayout();
    return lines;
}

int ClampedLabel::heightForWidth(int width) const {
    const QMargins m = contentsMargins();
    const int lines = std::max<int>(1, int(linesForWidth(width - m.left() - m.right()).size()));
    return lines * QFontMetrics(font()).lineSpacing() + m.top() + m.bottom();
}

QSize ClampedLabel::sizeHint() const {
    const QFontMetrics metrics(font());
    const int natural = metrics.horizontalAdvance(text_);
    const QMargins m = contentsMargins();
    const int width = std::min(natural, 40 * metrics.averageCharWidth()) + m.left() + m.right();
    return {width, heightForWidth(std::max(1, width))};
}

QSize ClampedLabel::minimumSizeHint() const {
    return {QFontMetrics(font()).averageCharWidth() * 4, QFontMetrics(font()).lineSpacing()};
}

void ClampedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(colour_.isValid() ? colour_ : palette().color(QPalette::WindowText));
    const QFontMetrics metrics(font());
    const QRect area = contentsRect();
    int y = area.top();
    for (const QString& line : linesForWidth(area.width())) {
        painter.drawText(QRect(area.left(), y, area.width(), metrics.lineSpacing()),
                         alignment_ | Qt::AlignVCenter | Qt::TextSingleLine, line);
        y += metrics.lineSpacing();
    }
}

void ClampedLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) updateGeometry();
    QWidget::changeEvent(event);
}

} // namespace ulmaro
