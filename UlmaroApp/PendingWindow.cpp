#include "UlmaroApp/PendingWindow.h"

#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

namespace ulmaro {

PendingWindow::PendingWindow(QString title) : title_(std::move(title)) {}

PendingWindow::~PendingWindow() = default;

void PendingWindow::show() {
    if (!window_) {
        window_ = std::make_unique<QWidget>();
        window_->setWindowTitle(title_);
        auto* layout = new QVBoxLayout(window_.get());
        layout->setContentsMargins(24, 20, 24, 20);
        auto* line = new QLabel(
            QStringLiteral("The %1 window is not available in this version of Ulmaro.").arg(title_),
            window_.get());
        line->setWordWrap(true);
        layout->addWidget(line);
        window_->resize(380, 100);
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

} // namespace ulmaro
