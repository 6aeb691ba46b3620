#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>

namespace ulmaro {

/// A label in the given font and text colour (usually a `Theme` level).
inline QLabel* styledLabel(const QString& text, const QFont& font, const QColor& colour,
                           QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    QPalette colours = label->palette();
    colours.setColor(QPalette::WindowText, colour);
    label->setPalette(colours);
    return label;
}

} // namespace ulmaro
