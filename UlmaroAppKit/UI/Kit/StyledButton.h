#pragma once

#include "UlmaroAppKit/UI/Kit/Theme.h"

#include <QPushButton>
#include <string>

namespace ulmaro {

/// A push button drawn in one of the theme's looks and control sizes, the same under every
/// Qt style. Its title follows `QPushButton`'s rules ("&&" shows "&"; set titles from disk
/// with `PlainText::setText`); a symbol, when set, is drawn before the title, or alone.
class StyledButton final : public QPushButton {
    Q_OBJECT
public:
    explicit StyledButton(Theme::ButtonLook look = Theme::ButtonLook::standard,
                          Theme::ControlSize size = Theme::ControlSize::regular,
                          QWidget* parent = nullptr);

    Theme::ButtonLook look() const { return look_; }
    Theme::ControlSize controlSize() const { return size_; }
    void setLook(Theme::ButtonLook look);
    void setControlSize(Theme::ControlSize size);

    /// A symbol of `Symbols`, at `pixels`, in the text level `level` (borderless buttons)
    /// or the button's title colour; an empty name removes it.
    void setSymbol(std::string name, int pixels = 0, Theme::Level level = Theme::Level::primary);
    const std::string& symbol() const { return symbol_; }
    /// The title's font size in pixels, when it differs from the control size's.
    void setFontPixels(int pixels);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    QColor titleColour() const;
    QFont titleFont() const;
    int symbolPixels() const;

    Theme::ButtonLook look_;
    Theme::ControlSize size_;
    std::string symbol_;
    int symbolPixels_ = 0;
    Theme::Level symbolLevel_ = Theme::Level::primary;
    int fontPixels_ = 0;
};

} // namespace ulmaro
