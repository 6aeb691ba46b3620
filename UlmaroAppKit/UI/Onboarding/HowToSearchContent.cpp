#include "UlmaroAppKit/UI/Onboarding/HowToSearchContent.h"

#include "UlmaroAppKit/Onboarding/ExampleHighlight.h"
#include "UlmaroAppKit/Onboarding/OnboardingCopy.h"
#include "UlmaroAppKit/Onboarding/OnboardingLayout.h"
#include "UlmaroAppKit/UI/Kit/ElidedLabel.h"
#include "UlmaroAppKit/UI/Kit/PlainText.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingStepShell.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingText.h"
#include "UlmaroAppKit/UI/Onboarding/TintedBacking.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace ulmaro {
namespace {

using OnboardingText::Style;
using Level = Theme::Level;
using Weight = Theme::Weight;
using Design = Theme::Design;

/// An example in the monospaced chip, its runs drawn one after another in their own
/// colour and weight: text formats, never markup, so "<b>" shows as typed.
class ExampleChip final : public QWidget {
public:
    explicit ExampleChip(std::vector<ExampleHighlight::Run> runs) : runs_(std::move(runs)) {
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override {
        int width = 0;
        for (const auto& run : runs_)
            width += QFontMetrics(font(run)).horizontalAdvance(text(run));
        return {width + 2 * padX, QFontMetrics(font(ExampleHighlight::Run{})).height() + 2 * padY};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        Theme::drawRoundedRect(p, QRectF(rect()), 5, Theme::primaryTint(0.07, palette()));
        int x = padX;
        for (const auto& run : runs_) {
            const QFont f = font(run);
            p.setFont(f);
            p.setPen(run.accent ? palette().color(QPalette::Highlight)
                                : Theme::text(Level::primary, palette()));
            const int advance = QFontMetrics(f).horizontalAdvance(text(run));
            p.drawText(QRect(x, 0, advance, height()), Qt::AlignLeft | Qt::AlignVCenter, text(run));
            x += advance;
        }
    }

private:
    static constexpr int padX = 6;
    static constexpr int padY = 2;
    static QFont font(const ExampleHighlight::Run& run) {
        return Theme::font(11, run.accent ? Weight::semibold : Weight::regular, Design::monospaced);
    }
    static QString text(const ExampleHighlight::Run& run) { return PlainText::fromBytes(run.text); }

    std::vector<ExampleHighlight::Run> runs_;
};

/// The cheat sheet's key, "Ctrl+/", on a small cap.
QWidget* cheatSheetCap() {
    auto* cap = new TintedBacking(6, 0.08, 0.12);
    auto* inside = new QHBoxLayout(cap);
    inside->setContentsMargins(8, 3, 8, 3);
    inside->addWidget(OnboardingText::label(
        "Ctrl+/", Style{12, Weight::semibold, Level::primary, Design::rounded}));
    cap->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return cap;
}

} // namespace

HowToSearchContent::HowToSearchContent(const std::vector<SearchSyntax::Group>& groups,
                                       QWidget* parent)
    : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(16);
    column->addWidget(OnboardingText::measured(
        OnboardingText::label(OnboardingCopy::searchLead,
                              Style{13, Weight::regular, Level::secondary}, true),
        int(OnboardingLayout::measure)));

    auto* grid = new QWidget;
    // 460 wide, the two cards of a row sharing it equally whatever their texts.
    grid->setFixedWidth(460);
    auto* rows = new QVBoxLayout(grid);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(6);
    for (std::size_t start = 0; start < groups.size(); start += 2) {
        auto* line = new QHBoxLayout;
        line->setSpacing(8);
        for (std::size_t i = start; i < std::min(start + 2, groups.size()); ++i) {
            QWidget* card = searchCard(groups[i]);
            cards_.push_back(card);
            line->addWidget(card, 1, Qt::AlignTop);
        }
        rows->addLayout(line);
    }
    column->addWidget(grid, 0, Qt::AlignHCenter);

    auto* hint = new QWidget;
    auto* hintLine = new QHBoxLayout(hint);
    hintLine->setContentsMargins(0, 0, 0, 0);
    hintLine->setSpacing(7);
    hintLine->addWidget(cheatSheetCap(), 0, Qt::AlignVCenter);
    hintLine->addWidget(OnboardingText::label(OnboardingCopy::searchCheatSheetLine,
                                              Style{13, Weight::regular, Level::secondary}),
                        0, Qt::AlignVCenter);
    column->addWidget(hint, 0, Qt::AlignHCenter);
}

QWidget* HowToSearchContent::searchCard(const SearchSyntax::Group& group) {
    auto* card = new TintedBacking(9, 0.04, 0.07);
    card->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* column = new QVBoxLayout(card);
    column->setContentsMargins(11, 5, 11, 5);
    column->setSpacing(2);
    auto* title = OnboardingText::label(
        group.title, Style{12, Weight::semibold, Level::primary, Design::rounded}, true);
    // Cards read from the leading edge; the shell centres everything else.
    title->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    title->setProperty(OnboardingStepShell::ownAlignment, true);
    column->addWidget(title);
    auto* summary = new ElidedLabel(PlainText::fromBytes(group.summary), Qt::ElideRight);
    summary->setFont(Theme::font(11));
    summary->setColor(Theme::text(Level::secondary, palette()));
    column->addWidget(summary);
    if (!group.entries.empty()) {
        auto* chip = new ExampleChip(ExampleHighlight::highlighted(group.entries.front().example));
        column->addSpacing(1);
        column->addWidget(chip, 0, Qt::AlignLeft);
    }
    column->addStretch(1);
    return card;
}

} // namespace ulmaro
