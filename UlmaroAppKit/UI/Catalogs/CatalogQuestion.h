#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <functional>

namespace ulmaro {

/// A yes-or-no question modal to the catalog window: a title, a line of explanation, a
/// destructive button and a cancel button. Escape and closing mean cancel; asking again
/// while it is open only retitles it. Texts are shown verbatim. GUI thread only.
class CatalogQuestion final : public QObject {
    Q_OBJECT
public:
    CatalogQuestion(QWidget* window, QString explanation, QString confirm, QString cancel);
    ~CatalogQuestion() override;

    std::function<void()> onConfirm;
    std::function<void()> onCancel;

    void ask(const QString& title);
    /// Takes the question away without an answer.
    void withdraw();
    /// The box on screen now, none when nothing is asked.
    QMessageBox* box() const { return box_; }
    QAbstractButton* confirmButton() const;

private:
    QPointer<QWidget> window_;
    QString explanation_;
    QString confirm_;
    QString cancel_;
    QPointer<QMessageBox> box_;
    QAbstractButton* confirmButton_ = nullptr;
};

} // namespace ulmaro
