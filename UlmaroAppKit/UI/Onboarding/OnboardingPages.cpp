#include "UlmaroAppKit/UI/Onboarding/OnboardingPages.h"

#include "UlmaroAppKit/Onboarding/OnboardingCopy.h"
#include "UlmaroAppKit/Onboarding/OnboardingLayout.h"
#include "UlmaroAppKit/Onboarding/OnboardingPage.h"
#include "UlmaroAppKit/Onboarding/OnboardingViewModel.h"
#include "UlmaroAppKit/Onboarding/ShortcutCaps.h"
#include "UlmaroAppKit/UI/Kit/PlainText.h"
#include "UlmaroAppKit/UI/Kit/Symbols.h"
#include "UlmaroAppKit/UI/Onboarding/BrandMarkView.h"
#include "UlmaroAppKit/UI/Onboarding/CountingLabel.h"
#include "UlmaroAppKit/UI/Onboarding/KeyCap.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingBodyZone.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingButton.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingStepShell.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace ulmaro::OnboardingPages {
namespace {

using Level = Theme::Level;
using Weight = Theme::Weight;
using Design = Theme::Design;
using OnboardingText::Style;

QString qt(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QPushButton* wired(QPushButton* button, Action action) {
    QObject::connect(button, &QPushButton::clicked, button, [action = std::move(action)] {
        if (action) action();
    });
    return button;
}

QWidget* row(std::vector<QWidget*> children, int spacing) {
    auto* holder = new QWidget;
    auto* line = new QHBoxLayout(holder);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(spacing);
    for (auto* child : children)
        line->addWidget(child, 0, Qt::AlignVCenter);
    return holder;
}

void fillPage(QWidget& page, QWidget* content) {
    auto* layout = new QVBoxLayout(&page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
}

/// The green capsule behind the privacy line; a rounded box when it holds two.
class Capsule final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        const double radius = std::min(height() / 2.0, 14.0);
        shape.addRoundedRect(QRectF(rect()), radius, radius);
        p.fillPath(shape, Theme::green(0.1));
    }
};

/// The lock, "Everything stays on this computer" and what it means, on one line at its
/// natural size. Where the desktop's font makes that line wider than the page (the words
/// for this computer are longer than the original's), the meaning goes under the headline
/// rather than being cut off.
QWidget* privacyLockup(int maxWidth) {
    auto* lock = new QLabel;
    lock->setPixmap(Symbols::pixmap("lock.fill", 11, Theme::green(), lock->devicePixelRatioF()));
    auto* headline =
        OnboardingText::label(OnboardingCopy::privacyHeadline,
                              Style{13, Weight::semibold, Level::primary, Design::rounded});
    auto* meaning = OnboardingText::label("— " + std::string(OnboardingCopy::privacyNamesOnly),
                                          Style{12, Weight::regular, Level::secondary});

    auto* capsule = new Capsule;
    auto* line = new QHBoxLayout;
    line->setSpacing(6);
    line->addWidget(lock, 0, Qt::AlignVCenter);
    line->addWidget(headline, 0, Qt::AlignVCenter);
    const int oneLine = lock->sizeHint().width() + headline->sizeHint().width() +
                        meaning->sizeHint().width() + 2 * 6 + 2 * 12;
    if (oneLine <= maxWidth) {
        line->setContentsMargins(12, 7, 12, 7);
        line->addWidget(meaning, 0, Qt::AlignVCenter);
        capsule->setLayout(line);
    } else {
        auto* lines = new QVBoxLayout(capsule);
        lines->setContentsMargins(12, 7, 12, 7);
        lines->setSpacing(2);
        line->setContentsMargins(0, 0, 0, 0);
        lines->addLayout(line);
        lines->setAlignment(line, Qt::AlignHCenter);
        lines->addWidget(meaning, 0, Qt::AlignHCenter);
    }
    // Held at its natural size: never squeezed or stretched.
    capsule->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return capsule;
}

/// What the ready step shows without access: why, and the way to allow it.
QWidget* accessCallout(Action onGrant) {
    auto* holder = new QWidget;
    holder->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* column = new QVBoxLayout(holder);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    column->addWidget(OnboardingText::measured(
        OnboardingText::label(OnboardingPage::calloutBody,
                              Style{13, Weight::regular, Level::secondary}, true),
        420));
    column->addWidget(wired(OnboardingButton::bordered(OnboardingPage::allowAccessButton, true),
                            std::move(onGrant)),
                      0, Qt::AlignHCenter);
    column->addWidget(OnboardingText::label(OnboardingPage::calloutNote,
                                            Style{11, Weight::regular, Level::tertiary}),
                      0, Qt::AlignHCenter);
    return holder;
}

} // namespace

Welcome::Welcome(const Context& context, Action onSearchEverything, QWidget* parent)
    : QWidget(parent) {
    auto* zones = new QVBoxLayout(this);
    zones->setContentsMargins(0, 0, 0, 0);
    zones->setSpacing(0);

    auto* title = new QWidget(this);
    title->setFixedHeight(int(OnboardingLayout::logoSize));
    auto* titleRow = new QHBoxLayout(title);
    titleRow->setContentsMargins(0, 0, 0, 0);
    titleRow->setSpacing(14);
    titleRow->addStretch(1);
    titleRow->addWidget(new BrandMarkView(46, true, title, context.timers), 0, Qt::AlignVCenter);
    titleRow->addWidget(
        OnboardingText::label(OnboardingCopy::welcomeTitle,
                              Style{30, Weight::semibold, Level::primary, Design::rounded}),
        0, Qt::AlignVCenter);
    titleRow->addStretch(1);
    zones->addWidget(title);

    auto* body = new QWidget;
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    column->addWidget(
        OnboardingText::label(OnboardingCopy::welcomeTagline,
                              Style{17, Weight::medium, Level::primary, Design::rounded}),
        0, Qt::AlignHCenter);
    column->addWidget(OnboardingText::measured(
        OnboardingText::label(OnboardingCopy::welcomeBody,
                              Style{13, Weight::regular, Level::secondary}, true),
        400));
    lockup_ = privacyLockup(int(OnboardingLayout::contentWidth));
    column->addWidget(lockup_, 0, Qt::AlignHCenter);
    column->addWidget(OnboardingText::measured(
        OnboardingText::label(OnboardingCopy::privacyNoIndex,
                              Style{12, Weight::regular, Level::tertiary}, true),
        400));
    zones->addWidget(new OnboardingBodyZone(body, this), 1);

    auto* action = new QWidget(this);
    action->setFixedHeight(int(OnboardingLayout::actionZoneHeight));
    auto* actions = new QVBoxLayout(action);
    actions->setContentsMargins(0, 0, 0, 0);
    actions->setSpacing(8);
    actions->addWidget(OnboardingText::label(OnboardingCopy::welcomeQuestion,
                                             Style{13, Weight::medium, Level::secondary}),
                       0, Qt::AlignHCenter);
    OnboardingViewModel* model = &context.model;
    auto* catalogOnly =
        wired(OnboardingButton::bordered(qt(OnboardingCopy::welcomeCatalogOnlyButton), true),
              [model] { model->chooseCatalogOnly(); });
    auto* everything = wired(OnboardingButton::prominent(qt(OnboardingCopy::welcomeButton), true),
                             std::move(onSearchEverything));
    actions->addWidget(row({catalogOnly, everything}, 10), 0, Qt::AlignHCenter);
    zones->addWidget(action);
}

Permission::Permission(const Context&, Action onGrant, Action onNotNow, QWidget* parent)
    : QWidget(parent) {
    auto text = [](const char* words, double pixels, Level level) {
        return OnboardingText::measured(
            OnboardingText::label(words, Style{pixels, Weight::regular, level}, true), 420);
    };
    auto* grant = wired(OnboardingButton::prominent(OnboardingPage::allowAccessButton, true),
                        std::move(onGrant));
    auto* notNow =
        wired(OnboardingButton::bordered(OnboardingPage::notNowButton, true), std::move(onNotNow));
    fillPage(*this, new OnboardingStepShell(
                        OnboardingPage::permissionTitle,
                        {text(OnboardingPage::permissionBody, 13, Level::secondary),
                         text(OnboardingPage::permissionRelaunch, 11, Level::secondary),
                         text(OnboardingPage::permissionNamesOnly, 11, Level::tertiary)},
                        {row({grant, notNow}, 10)}));
}

Indexing::Indexing(const Context& context, Action onContinue, QWidget* parent)
    : QWidget(parent), model_(context.model) {
    auto* mark = new BrandMarkView(52, true, nullptr, context.timers);
    count_ = new CountingLabel(model_.filesSoFar.get(),
                               Theme::font(40, Weight::semibold, Design::rounded));
    caption_ = OnboardingText::label({}, Style{11, Weight::regular, Level::secondary});
    percent_ = OnboardingText::label({}, Style{13, Weight::medium, Level::secondary});
    // The lines that change take the full width and centre their text, so a new value
    // never waits on a new layout.
    for (QWidget* changing : std::initializer_list<QWidget*>{count_, caption_, percent_})
        changing->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    caption_->setAlignment(Qt::AlignCenter);
    percent_->setAlignment(Qt::AlignCenter);
    auto* next = wired(OnboardingButton::prominent(qt(OnboardingCopy::continueButton), true),
                       std::move(onContinue));
    shell_ = new OnboardingStepShell(QString(), {mark, count_, caption_, percent_}, {next});
    fillPage(*this, shell_);
    refresh();
}

void Indexing::refresh() {
    PlainText::setText(shell_->titleLabel(), QString::fromStdString(model_.progressTitle()));
    count_->setValue(model_.filesSoFar.get());
    PlainText::setText(*caption_, QString::fromStdString(model_.progressCaption()));
    const auto percent = OnboardingPage::percentLine(model_);
    PlainText::setText(*percent_, QString::fromStdString(percent.value_or(std::string())));
    // Without a percentage the line takes no room.
    percent_->setVisible(percent.has_value());
}

Ready::Ready(const Context& context, Action onGrant, Action onContinue, QWidget* parent)
    : QWidget(parent), model_(context.model) {
    std::vector<QWidget*> body;
    const auto kind = OnboardingPage::readyBody(model_);
    if (kind == OnboardingPage::ReadyBody::accessCallout) {
        body.push_back(accessCallout(onGrant));
    } else {
        if (kind == OnboardingPage::ReadyBody::shortcut) {
            std::vector<QWidget*> keys;
            for (const auto& piece : ShortcutCaps::pieces(model_.hotKeyDisplay())) {
                if (!keys.empty())
                    keys.push_back(
                        OnboardingText::label("+", Style{18, Weight::light, Level::secondary}));
                keys.push_back(
                    new KeyCap(PlainText::fromBytes(piece), ShortcutCaps::isWide(piece)));
            }
            body.push_back(row(std::move(keys), 8));
            body.push_back(OnboardingText::measured(
                OnboardingText::label(OnboardingCopy::readyHotkeyLineFor(model_.hotKeyDisplay()),
                                      Style{15, Weight::medium, Level::primary}, true),
                430));
        } else {
            body.push_back(OnboardingText::measured(
                OnboardingText::label(model_.hotKey.get().noShortcutLine(),
                                      Style{13, Weight::medium, Level::primary}, true),
                430));
        }
        if (const auto gap = model_.coverageGapText()) {
            auto* note = new QWidget;
            auto* column = new QVBoxLayout(note);
            column->setContentsMargins(0, 0, 0, 0);
            column->setSpacing(6);
            coverage_ = OnboardingText::label(*gap, Style{11, Weight::regular, Level::primary});
            QPalette palette = coverage_->palette();
            palette.setColor(QPalette::WindowText, Theme::orange());
            coverage_->setPalette(palette);
            column->addWidget(coverage_, 0, Qt::AlignHCenter);
            // Asking only where it can do something: on Linux nothing grants a folder that
            // another user owns, so the button would do nothing.
            if (context.canAskForAccess)
                column->addWidget(
                    wired(OnboardingButton::bordered(OnboardingPage::allowAccessButton, false),
                          onGrant),
                    0, Qt::AlignHCenter);
            body.push_back(note);
        }
    }
    auto* next = wired(OnboardingButton::prominent(qt(OnboardingCopy::continueButton), true),
                       std::move(onContinue));
    shell_ = new OnboardingStepShell(QString(), std::move(body), {next});
    fillPage(*this, shell_);
    refresh();
}

void Ready::refresh() {
    PlainText::setText(shell_->titleLabel(),
                       QString::fromStdString(OnboardingPage::readyTitle(model_)));
    if (coverage_)
        if (const auto gap = model_.coverageGapText())
            PlainText::setText(*coverage_, QString::fromStdString(*gap));
}

} // namespace ulmaro::OnboardingPages
