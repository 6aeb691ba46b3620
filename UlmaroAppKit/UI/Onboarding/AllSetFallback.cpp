#include "UlmaroAppKit/UI/Onboarding/AllSetFallback.h"

#include "UlmaroAppKit/Indexing/IndexHealth.h"
#include "UlmaroAppKit/Onboarding/OnboardingCopy.h"
#include "UlmaroAppKit/Onboarding/ShortcutCaps.h"
#include "UlmaroAppKit/UI/Kit/PlainText.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"
#include "UlmaroAppKit/UI/Onboarding/BrandMarkView.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <algorithm>

namespace ulmaro {

/// The big count on one line. Digits in the theme's family are tabular, so a count that
/// rises keeps its width per digit.
class AllSetFallback::CountLine final : public QWidget {
public:
    explicit CountLine(QWidget* parent) : QWidget(parent) {
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        setFixedHeight(QFontMetrics(fontAt(countPixels)).height());
    }
    void setText(QString text) {
        text_ = std::move(text);
        update();
    }
    const QString& text() const { return text_; }
    double pixelSize() const {
        const double full = QFontMetricsF(fontAt(countPixels)).horizontalAdvance(text_);
        if (full <= width()) return countPixels;
        return std::max(countPixels * smallestCountScale, countPixels * width() / full);
    }
    QSize sizeHint() const override {
        return {QFontMetrics(fontAt(countPixels)).horizontalAdvance(text_), height()};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(Theme::text(Theme::Level::primary, palette()));
        p.setFont(fontAt(pixelSize()));
        p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text_);
    }

private:
    static QFont fontAt(double pixels) {
        QFont font = Theme::font(countPixels, Theme::Weight::bold, Theme::Design::rounded);
        font.setPixelSize(std::max(1, int(pixels)));
        return font;
    }
    QString text_;
};

/// A key of the shortcut: a square cap for one or two characters, a padded one for names.
class AllSetFallback::Cap final : public QWidget {
public:
    Cap(QString text, bool wide, QWidget* parent)
        : QWidget(parent), text_(std::move(text)), wide_(wide) {
        setFont(Theme::font(wide ? 16 : 20, Theme::Weight::semibold));
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }
    const QString& text() const { return text_; }
    QSize sizeHint() const override {
        if (!wide_) return {40, 40};
        return {fontMetrics().horizontalAdvance(text_) + 2 * 14, 40};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), 9, 9);
        p.fillPath(shape, Theme::primaryTint(0.07, palette()));
        p.setPen(QPen(Theme::primaryTint(0.14, palette()), 1));
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8.5, 8.5);
        p.setPen(Theme::text(Theme::Level::primary, palette()));
        p.drawText(rect(), Qt::AlignCenter, text_);
    }

private:
    QString text_;
    bool wide_;
};

namespace {

QLabel* line(std::string_view text, double pixels, Theme::Level level, QWidget* parent) {
    return OnboardingText::label(text, {pixels, Theme::Weight::regular, level}, true, parent);
}

} // namespace

AllSetFallback::AllSetFallback(std::int64_t count, const HotKeyStatus& hotKey, QWidget* parent,
                               std::shared_ptr<TimerService> timers)
    : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    // 6 apart, not 12: with the desktop's fonts the five pieces then fit the step's body
    // without scrolling.
    column->setSpacing(6);
    column->addWidget(new BrandMarkView(64, false, this, std::move(timers)), 0, Qt::AlignHCenter);

    count_ = new CountLine(this);
    column->addWidget(count_);
    setCount(count);
    column->addWidget(line("files indexed and ready", 13, Theme::Level::secondary, this));

    if (!hotKey.isRegistered()) {
        column->addWidget(line(hotKey.noShortcutLine(), 13, Theme::Level::secondary, this));
        return;
    }
    auto* keys = new QHBoxLayout;
    keys->setContentsMargins(0, 2, 0, 0);
    keys->setSpacing(8);
    keys->addStretch(1);
    for (const auto& piece : ShortcutCaps::pieces(hotKey.combo.display())) {
        caps_.push_back(new Cap(PlainText::fromBytes(piece), ShortcutCaps::isWide(piece), this));
        keys->addWidget(caps_.back(), 0, Qt::AlignVCenter);
    }
    keys->addStretch(1);
    column->addLayout(keys);
    column->addWidget(line("from anywhere, over any app", 11, Theme::Level::tertiary, this));
}

void AllSetFallback::setCount(std::int64_t count) {
    count_->setText(QString::fromStdString(IndexHealth::count(count)));
}

QString AllSetFallback::countText() const {
    return count_->text();
}

double AllSetFallback::countPixelSize() const {
    return count_->pixelSize();
}

std::vector<QString> AllSetFallback::capTexts() const {
    std::vector<QString> texts;
    for (auto* cap : caps_)
        texts.push_back(cap->text());
    return texts;
}

std::vector<QWidget*> AllSetFallback::caps() const {
    return {caps_.begin(), caps_.end()};
}

} // namespace ulmaro
