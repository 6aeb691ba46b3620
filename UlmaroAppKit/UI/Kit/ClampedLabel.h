#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

namespace ulmaro {

/// Plain text wrapped to its width over at most `maxLines` lines, the last one elided at
/// its end; its height follows its width. Words longer than a line break anywhere.
class ClampedLabel final : public QWidget {
    Q_OBJECT
public:
    explicit ClampedLabel(int maxLines, QWidget* parent = nullptr);

    void setText(const QString& text);
    const QString& text() const { return text_; }
    void setColour(const QColor& colour);
    /// Horizontal placement of each line (leading by default).
    void setAlignment(Qt::Alignment alignment);

    /// The lines drawn at `width`, elision included.
    QStringList linesForWidth(int width) const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int maxLines_;
    QString text_;
    QColor colour_;
    Qt::Alignment alignment_ = Qt::AlignLeft;
};

} // namespace ulmaro
