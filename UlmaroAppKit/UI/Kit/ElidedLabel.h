#pragma once

#include <QWidget>

namespace ulmaro {

/// One line of plain text, cut with an ellipsis to the width it is given (at the end, in
/// the middle, …). It asks for its full width but accepts any. GUI thread only.
class ElidedLabel final : public QWidget {
    Q_OBJECT
public:
    ElidedLabel(QString text, Qt::TextElideMode mode, QWidget* parent = nullptr);

    void setText(const QString& text);
    const QString& text() const { return text_; }
    void setColor(const QColor& color);
    /// The text as it is drawn now.
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    Qt::TextElideMode mode_;
    QColor color_;
};

} // namespace ulmaro
