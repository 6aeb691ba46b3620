#include "UlmaroAppKit/UI/Kit/StyledButton.h"

#include "UlmaroAppKit/UI/Kit/Symbols.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

namespace ulmaro {
namespace {

constexpr int symbolGap = 4;
/// Space around a borderless button's content: it has no border to keep it off the title.
constexpr int borderlessPadding = 4;

} // namespace

StyledButton::StyledButton(Theme::ButtonLook look, Theme::ControlSize size, QWidget* parent)
    : QPushButton(parent), look_(look), size_(size) {
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void StyledButton::setLook(Theme::ButtonLook look) {
    look_ = look;
    updateGeometry();
    update();
}

void StyledButton::setControlSize(Theme::ControlSize size) {
    size_ = size;
    updateGeometry();
    update();
}

void StyledButton::setSymbol(std::string name, int pixels, Theme::Level level) {
    symbol_ = std::move(name);
    symbolPixels_ = pixels;
    symbolLevel_ = level;
    updateGeometry();
    update();
}

void StyledButton::setFontPixels(int pixels) {
    fontPixels_ = pixels;
    updateGeometry();
    update();
}

QFont StyledButton::titleFont() const {
    const int pixels = fontPixels_ > 0 ? fontPixels_ : Theme::controlMetrics(size_).fontPixels;
    return Theme::font(pixels, look_ == Theme::ButtonLook::prominent ? Theme::Weight::medium
                                                                     : Theme::Weight::regular);
}

int StyledButton::symbolPixels() const {
    if (symbol_.empty()) return 0;
    return symbolPixels_ > 0 ? symbolPixels_ : QFontMetrics(titleFont()).height();
}

QSize StyledButton::sizeHint() const {
    const auto metrics = Theme::controlMetrics(size_);
    const QFontMetrics fm(titleFont());
    const QString title = text();
    int width = title.isEmpty() ? 0 : fm.size(Qt::TextShowMnemonic, title).width();
    const int symbol = symbolPixels();
    if (symbol > 0) width += symbol + (title.isEmpty() ? 0 : symbolGap);
    if (look_ == Theme::ButtonLook::borderless) {
        const int content = title.isEmpty() ? symbol : std::max(fm.height(), symbol);
        return {width + 2 * borderlessPadding, content + 2 * borderlessPadding};
    }
    return {std::max(width + 2 * metrics.padding, metrics.height), metrics.height};
}

QColor StyledButton::titleColour() const {
    if (look_ == Theme::ButtonLook::prominent) return palette().color(QPalette::HighlightedText);
    return Theme::text(Theme::Level::primary, palette());
}

bool StyledButton::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverLeave:
        update();
        break;
    default:
        break;
    }
    return QPushButton::event(event);
}

void StyledButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled()) painter.setOpacity(0.4);
    const auto metrics = Theme::controlMetrics(size_);
    const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const bool down = isDown();

    switch (look_) {
    case Theme::ButtonLook::standard: {
        QColor fill = palette().color(QPalette::Button);
        if (down) fill = fill.darker(112);
        Theme::drawRoundedRect(painter, area, metrics.cornerRadius, fill,
                               Theme::primaryTint(0.22, palette()));
        break;
    }
    case Theme::ButtonLook::prominent: {
        QColor fill = palette().color(QPalette::Highlight);
        if (down) fill = fill.darker(118);
        Theme::drawRoundedRect(painter, area, metrics.cornerRadius, fill);
        break;
    }
    case Theme::ButtonLook::borderless:
        if (down)
            Theme::drawRoundedRect(painter, area, metrics.cornerRadius,
                                   Theme::primaryTint(0.1, palette()));
        break;
    }
    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(Theme::roundedRect(area.adjusted(1, 1, -1, -1), metrics.cornerRadius));
    }

    // Symbol and title, centred together.
    const QFont font = titleFont();
    const QFontMetrics fm(font);
    const QString title = text();
    const int titleWidth = title.isEmpty() ? 0 : fm.size(Qt::TextShowMnemonic, title).width();
    const int symbol = symbolPixels();
    const int gap = symbol > 0 && !title.isEmpty() ? symbolGap : 0;
    int x = (width() - (symbol + gap + titleWidth)) / 2;
    if (symbol > 0) {
        const QColor colour = look_ == Theme::ButtonLook::borderless
                                  ? Theme::text(symbolLevel_, palette())
                                  : titleColour();
        painter.drawPixmap(x, (height() - symbol) / 2,
                           Symbols::pixmap(symbol_, symbol, colour, devicePixelRatioF()));
        x += symbol + gap;
    }
    if (!title.isEmpty()) {
        painter.setFont(font);
        painter.setPen(titleColour());
        painter.drawText(QRect(x, 0, titleWidth, height()),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextHideMnemonic, title);
    }
}

} // namespace ulmaro
