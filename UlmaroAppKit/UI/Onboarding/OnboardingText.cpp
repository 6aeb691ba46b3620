#include "UlmaroAppKit/UI/Onboarding/OnboardingText.h"

#include "UlmaroAppKit/UI/Kit/PlainText.h"

#include <QLabel>
#include <algorithm>

namespace ulmaro::OnboardingText {

QLabel* label(std::string_view text, Style style, bool wraps, QWidget* parent) {
    auto* label = PlainText::label(QString::fromUtf8(text.data(), qsizetype(text.size())), parent);
    label->setFont(Theme::font(style.pixels, style.weight, style.design));
    setLevel(*label, style.level);
    if (wraps) {
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    }
    return label;
}

void setLevel(QLabel& label, Theme::Level level) {
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, Theme::text(level, palette));
    label.setPalette(palette);
}

namespace {

/// Holds wrapped text at most `maxWidth` wide, centred, and says how tall it is at any
/// width, so that layouts never measure the text at a guessed width.
class Measured final : public QWidget {
public:
    Measured(QLabel* label, int maxWidth) : label_(label), maxWidth_(maxWidth) {
        label_->setParent(this);
        QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
    }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override {
        return label_->heightForWidth(std::min(width, maxWidth_));
    }
    QSize sizeHint() const override { return {maxWidth_, heightForWidth(maxWidth_)}; }
    QSize minimumSizeHint() const override { return {0, label_->fontMetrics().height()}; }

protected:
    void resizeEvent(QResizeEvent*) override {
        const int width = std::min(this->width(), maxWidth_);
        label_->setGeometry((this->width() - width) / 2, 0, width, height());
    }

private:
    QLabel* label_;
    int maxWidth_;
};

} // namespace

QWidget* measured(QLabel* label, int maxWidth) {
    return new Measured(label, maxWidth);
}

} // namespace ulmaro::OnboardingText
