#include "UlmaroAppKit/UI/Qt/QtPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace ulmaro {

void QtPasteboard::setText(std::string_view text) {
    QGuiApplication::clipboard()->setText(
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

} // namespace ulmaro
