#include "UlmaroAppKit/UI/Catalogs/CatalogStatePage.h"

#include "UlmaroAppKit/UI/Kit/PlainText.h"
#include "UlmaroAppKit/UI/Kit/StyledButton.h"
#include "UlmaroAppKit/UI/Kit/Symbols.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"

#include <QLabel>
#include <QVBoxLayout>

namespace ulmaro {
namespace {

QLabel* centredLabel(const QFont& font, const QColor& colour) {
    QLabel* label = PlainText::label({});
    label->setFont(font);
    label->setAlignment(Qt::AlignHCenter);
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

} // namespace

CatalogStatePage::CatalogStatePage(Kind kind, QWidget* parent) : QWidget(parent), kind_(kind) {
    auto* stack = new QVBoxLayout(this);
    stack->setSpacing(12);
    stack->setContentsMargins(40, 40, 40, 40);
    stack->addStretch(1);

    const bool empty = kind == Kind::empty;
    auto* symbol = new QLabel;
    symbol->setPixmap(
        Symbols::pixmap(empty ? "externaldrive.badge.plus" : "exclamationmark.triangle", 36,
                        empty ? Theme::text(Theme::Level::secondary, palette()) : Theme::orange(),
                        devicePixelRatioF()));
    stack->addWidget(symbol, 0, Qt::AlignHCenter);

    title_ = centredLabel(Theme::font(15, Theme::Weight::semibold),
                          Theme::text(Theme::Level::primary, palette()));
    stack->addWidget(title_);
    body_ = centredLabel(Theme::font(12), Theme::text(Theme::Level::secondary, palette()));
    stack->addWidget(body_);

    if (empty) {
        PlainText::setText(*body_, QString::fromUtf8(emptyBody));
        addFolder_ = new StyledButton(Theme::ButtonLook::standard);
        PlainText::setText(*addFolder_, QStringLiteral("Add Folder\u2026"));
        connect(addFolder_, &QPushButton::clicked, this, [this] {
            if (onAddFolder) onAddFolder();
        });
        stack->addWidget(addFolder_, 0, Qt::AlignHCenter);
    } else {
        PlainText::setText(*title_, QStringLiteral("Damaged"));
        body_->setTextInteractionFlags(Qt::TextSelectableByMouse);
        hint_ = centredLabel(Theme::font(12), Theme::text(Theme::Level::tertiary, palette()));
        stack->addWidget(hint_);
    }
    stack->addStretch(1);
}

void CatalogStatePage::setTitle(const QString& title) {
    PlainText::setText(*title_, title);
}

void CatalogStatePage::setDamage(const QString& reason, const QString& hint) {
    PlainText::setText(*body_, reason);
    if (hint_) PlainText::setText(*hint_, hint);
}

} // namespace ulmaro
