#include "UlmaroAppKit/UI/Catalogs/CatalogMessageAlert.h"

#include "UlmaroAppKit/UI/Kit/PlainText.h"

#include <QMessageBox>
#include <QPushButton>

namespace ulmaro {

CatalogMessageAlert::CatalogMessageAlert(QWidget* window) : window_(window) {}

CatalogMessageAlert::~CatalogMessageAlert() {
    if (box_) {
        box_->disconnect(this);
        delete box_.data();
    }
}

void CatalogMessageAlert::show(const QString& message) {
    if (!box_) {
        box_ = new QMessageBox(window_);
        box_->setAttribute(Qt::WA_DeleteOnClose);
        box_->setIcon(QMessageBox::NoIcon);
        QPushButton* ok = box_->addButton(QMessageBox::Ok);
        PlainText::setText(*ok, QStringLiteral("OK"));
        box_->setEscapeButton(ok);
        connect(box_, &QDialog::finished, this, [this] {
            if (onDismissed) onDismissed();
        });
    }
    box_->setText(message);
    PlainText::setPlain(*box_);
    box_->open();
}

} // namespace ulmaro
