#pragma once

#include <QWidget>

namespace ulmaro {

/// One key of a shortcut drawn as a key cap: the symbol in 20-pixel medium text on a
/// faint cap with an outer and an inner ring (white on a dark palette, the text colour on
/// a light one); at least 52 square, at least 96 wide when `wide`. GUI thread only.
class KeyCap final : public QWidget {
    Q_OBJECT
public:
    static constexpr int minimumSide = 52;
    static constexpr int wideMinimumWidth = 96;
    static constexpr double radius = 12;

    KeyCap(QString symbol, bool wide, QWidget* parent = nullptr);
    const QString& symbol() const { return symbol_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString symbol_;
    bool wide_;
};

} // namespace ulmaro
