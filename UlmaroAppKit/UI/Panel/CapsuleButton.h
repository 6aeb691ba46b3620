#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <string>

namespace ulmaro {

/// A small painted button: a symbol and an optional label on a capsule, the filter bar's
/// chips, star and sort label. Its owner sets every look; the button keeps nothing else.
class CapsuleButton final : public QAbstractButton {
    Q_OBJECT
public:
    struct Look {
        /// A `Symbols` name; empty for none.
        std::string symbol;
        int symbolSize = 10;
        QString label;
        QFont font;
        QColor fill;
        QColor content;
        int paddingX = 7;
        int paddingY = 4;
        int spacing = 3;
        friend bool operator==(const Look&, const Look&) = default;
    };

    explicit CapsuleButton(QWidget* parent = nullptr);

    /// Repaints (and re-measures) only when the look differs.
    void setLook(Look look);
    const Look& look() const { return look_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Look look_;
};

} // namespace ulmaro
