#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <functional>
class QWidget;

namespace ulmaro {

/// The catalog window's one message box: shows a message with "OK"; a newer message
/// replaces the text of the box still open; any way of dismissing it reports back, so the
/// window can clear its message. Texts are shown verbatim. GUI thread only.
class CatalogMessageAlert final : public QObject {
    Q_OBJECT
public:
    explicit CatalogMessageAlert(QWidget* window);
    ~CatalogMessageAlert() override;

    std::function<void()> onDismissed;

    void show(const QString& message);
    /// The box on screen now, none when no message is shown.
    QMessageBox* box() const { return box_; }

private:
    QPointer<QWidget> window_;
    QPointer<QMessageBox> box_;
};

} // namespace ulmaro
