#include "UlmaroAppKit/UI/Panel/OverlayNotices.h"

#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/UI/Kit/StyledLabel.h"
#include "UlmaroAppKit/UI/Kit/Symbols.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"
#include "UlmaroAppKit/UI/Panel/CapsuleButton.h"
#include "UlmaroAppKit/UI/Panel/SuggestionButton.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace ulmaro::OverlayNotices {
namespace {

constexpr int panelWidth = 680;

QLabel* wrapped(const QString& text, const QFont& font, Theme::Level level, QWidget* parent) {
    QLabel* label = styledLabel(text, font, Theme::text(level), parent);
    label->setWordWrap(true);
    return label;
}

QVBoxLayout* stack(QWidget* box, QMargins margins, int spacing) {
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(margins);
    layout->setSpacing(spacing);
    return layout;
}

/// A button drawn as its title alone, in the accent (or `colour`).
CapsuleButton* linkButton(const QString& title, const QFont& font, const QColor& colour,
                          std::function<void()> action, QWidget* parent) {
    auto* button = new CapsuleButton(parent);
    CapsuleButton::Look look;
    look.label = title;
    look.font = font;
    look.fill = Qt::transparent;
    look.content = colour;
    look.paddingX = 0;
    look.paddingY = 0;
    button->setLook(std::move(look));
    button->setCursor(Qt::PointingHandCursor);
    QObject::connect(button, &QAbstractButton::clicked, parent,
                     [action = std::move(action)] { action(); });
    return button;
}

/// A widget that fills itself with one colour, behind its children.
class Filled final : public QWidget {
public:
    Filled(QColor fill, double radius, QWidget* parent)
        : QWidget(parent), fill_(std::move(fill)), radius_(radius) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(Theme::roundedRect(QRectF(rect()), radius_), fill_);
    }

private:
    QColor fill_;
    double radius_;
};

} // namespace

QWidget* firstRunIntro(QWidget* parent) {
    auto* box = new QWidget(parent);
    QVBoxLayout* layout = stack(box, {16, 14, 16, 0}, 4);
    layout->addWidget(styledLabel(QStringLiteral("Ulmaro"),
                                  Theme::font(15, Theme::Weight::semibold, Theme::Design::rounded),
                                  Theme::text(Theme::Level::primary), box));
    layout->addWidget(
        styledLabel(QStringLiteral("Every file on your computer, as fast as you type."),
                    Theme::font(12), Theme::text(Theme::Level::secondary), box));
    return box;
}

QWidget* firstRunCompletion(const std::shared_ptr<OverlayViewModel>& model,
                            std::function<void()> onDismiss, QWidget* parent) {
    auto* box = new QWidget(parent);
    QVBoxLayout* layout = stack(box, {16, 12, 16, 12}, 14);
    layout->addWidget(
        wrapped(QString::fromStdString(model->firstRunCompletionMessage.get().value_or("")),
                Theme::font(12, Theme::Weight::medium), Theme::Level::secondary, box));
    if (const auto& suggestions = model->suggestions.get(); !suggestions.empty()) {
        auto* tries = new QVBoxLayout;
        tries->setSpacing(6);
        tries->addWidget(styledLabel(QStringLiteral("TRY ONE OF THESE"),
                                     Theme::font(10, Theme::Weight::semibold),
                                     Theme::text(Theme::Level::tertiary), box));
        std::weak_ptr<OverlayViewModel> weak = model;
        for (const RankedRow& row : suggestions) {
            auto* button = new SuggestionButton(row, box);
            QObject::connect(button, &QAbstractButton::clicked, box, [weak, row, onDismiss] {
                if (auto strong = weak.lock()) strong->openSuggestion(row);
                if (onDismiss) onDismiss();
            });
            tries->addWidget(button);
        }
        layout->addLayout(tries);
    }
    layout->addWidget(wrapped(QString::fromStdString(model->hotkeyLine.get()), Theme::font(11),
                              Theme::Level::secondary, box));
    return box;
}

QWidget* fdaPrompt(std::function<void()> onGrant, std::function<void()> onDefer, QWidget* parent) {
    auto* box = new Filled(Theme::black(0.12), 0, parent);
    QVBoxLayout* layout = stack(box, {16, 12, 16, 12}, 6);
    layout->addWidget(styledLabel(QStringLiteral("Search your whole computer"),
                                  Theme::font(12, Theme::Weight::semibold),
                                  Theme::text(Theme::Level::primary), box));
    layout->addWidget(wrapped(
        QStringLiteral("Without Full Disk Access, Desktop, Documents, Downloads, Pictures, Music, "
                       "cloud drives, Mail, Messages and a few other protected folders can't be "
                       "indexed — exactly the places people search for most."),
        Theme::font(11), Theme::Level::secondary, box));
    layout->addWidget(wrapped(
        QStringLiteral("The system will offer to Quit & Reopen Ulmaro — it won't restart on its "
                       "own."),
        Theme::font(10), Theme::Level::tertiary, box));
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 2, 0, 0);
    buttons->setSpacing(10);
    buttons->addWidget(linkButton(QStringLiteral("Open Settings"), Theme::font(12), Theme::accent(),
                                  std::move(onGrant), box));
    buttons->addWidget(linkButton(QStringLiteral("Skip for now"), Theme::font(12),
                                  Theme::text(Theme::Level::secondary), std::move(onDefer), box));
    buttons->addStretch(1);
    layout->addLayout(buttons);
    return box;
}

QWidget* fdaBanner(const std::shared_ptr<OverlayViewModel>& model, std::function<void()> onGrant,
                   QWidget* parent) {
    auto* box = new Filled(Theme::black(0.08), 0, parent);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(16, 8, 16, 8);
    row->setSpacing(6);
    const QColor secondary = Theme::text(Theme::Level::secondary);
    auto* symbol = new QLabel(box);
    symbol->setPixmap(Symbols::pixmap("lock.shield", 13, secondary, box->devicePixelRatioF()));
    row->addWidget(symbol, 0, Qt::AlignVCenter);
    row->addWidget(wrapped(QStringLiteral("Desktop, Documents, Downloads, Pictures, Music, cloud "
                                          "drives and a few other protected folders aren't "
                                          "indexed."),
                           Theme::font(11), Theme::Level::secondary, box),
                   1);
    row->addWidget(linkButton(QStringLiteral("Grant\u2026"), Theme::font(11), Theme::accent(),
                              std::move(onGrant), box),
                   0, Qt::AlignVCenter);
    auto* close = new CapsuleButton(box);
    CapsuleButton::Look look;
    look.symbol = "xmark";
    look.symbolSize = 9;
    look.fill = Qt::transparent;
    look.content = secondary;
    look.paddingX = 3;
    look.paddingY = 3;
    close->setLook(std::move(look));
    close->setObjectName(QStringLiteral("closeBanner"));
    std::weak_ptr<OverlayViewModel> weak = model;
    QObject::connect(close, &QAbstractButton::clicked, box, [weak] {
        if (auto strong = weak.lock()) strong->fdaBannerVisible.set(false);
    });
    row->addWidget(close, 0, Qt::AlignVCenter);
    return box;
}

QWidget* attributeHealNotice(QWidget* parent) {
    auto* outer = new QWidget(parent);
    auto* outerLayout = new QVBoxLayout(outer);
    outerLayout->setContentsMargins(16, 0, 16, 8);
    auto* card = new Filled(Theme::orange(0.16), 7, outer);
    auto* row = new QHBoxLayout(card);
    row->setContentsMargins(10, 6, 10, 6);
    row->setSpacing(6);
    auto* symbol = new QLabel(card);
    symbol->setPixmap(
        Symbols::pixmap("clock.arrow.circlehalf", 11, Theme::orange(), card->devicePixelRatioF()));
    row->addWidget(symbol, 0, Qt::AlignVCenter);
    QLabel* text = styledLabel(
        QStringLiteral("Still learning file dates and sizes — size: and dm: results are "
                       "incomplete until that finishes (a few minutes, once)."),
        Theme::font(11, Theme::Weight::medium), Theme::text(Theme::Level::primary), card);
    text->setWordWrap(true);
    // Wrapped for the panel's width less both paddings, the symbol and the gap.
    const int width = panelWidth - 2 * 16 - 2 * 10 - 11 - 6;
    text->setFixedSize(width, text->heightForWidth(width));
    row->addWidget(text, 1);
    outerLayout->addWidget(card);
    return outer;
}

} // namespace ulmaro::OverlayNotices
