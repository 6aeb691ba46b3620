#include "UlmaroAppKit/UI/Kit/PlainText.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>

namespace ulmaro {

QString PlainText::fromBytes(std::string_view bytes) {
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

void PlainText::setText(QLabel& label, const QString& text) {
    label.setTextFormat(Qt::PlainText);
    label.setText(text);
}

QLabel* PlainText::label(const QString& text, QWidget* parent) {
    auto* label = new QLabel(parent);
    setText(*label, text);
    return label;
}

void PlainText::setText(QAbstractButton& button, const QString& text) {
    button.setText(buttonTitle(text));
}

QString PlainText::buttonTitle(const QString& text) {
    QString title = text;
    return title.replace(QLatin1Char('&'), QLatin1String("&&"));
}

void PlainText::setToolTip(QWidget& widget, const QString& text) {
    widget.setToolTip(toolTip(text));
}

QString PlainText::toolTip(const QString& text) {
    // Always rich text, escaped, so that Qt's guess never applies; pre-wrap keeps runs of
    // spaces and line breaks.
    if (text.isEmpty()) return {};
    return QLatin1String("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() +
           QLatin1String("</p>");
}

void PlainText::setPlain(QMessageBox& box) {
    box.setTextFormat(Qt::PlainText);
    for (auto* label : box.findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
}

} // namespace ulmaro
