#include "UlmaroAppKit/UI/Catalogs/CatalogQuestion.h"

#include "UlmaroAppKit/UI/Kit/PlainText.h"

#include <QLabel>
#include <QPushButton>

namespace ulmaro {
namespace {

constexpr int textWidth = 300;

} // namespace

CatalogQuestion::CatalogQuestion(QWidget* window, QString explanation, QString confirm,
                                 QString cancel)
    : window_(window), explanation_(std::move(explanation)), confirm_(std::move(confirm)),
      cancel_(std::move(cancel)) {}

CatalogQuestion::~CatalogQuestion() {
    withdraw();
}

QAbstractButton* CatalogQuestion::confirmButton() const {
    return box_ ? confirmButton_ : nullptr;
}

void CatalogQuestion::ask(const QString& title) {
    if (!box_) {
        box_ = new QMessageBox(window_);
        box_->setAttribute(Qt::WA_DeleteOnClose);
        box_->setIcon(QMessageBox::Warning);
        box_->setWindowModality(Qt::WindowModal);
        box_->setInformativeText(explanation_);
        // Qt wraps the explanation to the width of a short title, four lines for "Forget
        // “Disk”?"; a readable measure keeps it to a line or two.
        if (auto* label = box_->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
            label->setMinimumWidth(textWidth);
        auto* confirm = box_->addButton(QString(), QMessageBox::DestructiveRole);
        PlainText::setText(*confirm, confirm_);
        auto* cancel = box_->addButton(QString(), QMessageBox::RejectRole);
        PlainText::setText(*cancel, cancel_);
        box_->setDefaultButton(cancel);
        box_->setEscapeButton(cancel);
        confirmButton_ = confirm;
        QMessageBox* box = box_;
        connect(box_, &QDialog::finished, this, [this, box, confirm] {
            const bool confirmed = box->clickedButton() == confirm;
            box_ = nullptr;
            if (confirmed) {
                if (onConfirm) onConfirm();
            } else if (onCancel) {
                onCancel();
            }
        });
    }
    box_->setText(title);
    PlainText::setPlain(*box_);
    box_->open();
}

void CatalogQuestion::withdraw() {
    if (!box_) return;
    QMessageBox* box = box_;
    box_ = nullptr;
    box->disconnect(this);
    box->close();
}

} // namespace ulmaro
