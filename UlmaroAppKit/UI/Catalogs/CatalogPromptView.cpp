#include "UlmaroAppKit/UI/Catalogs/CatalogPromptView.h"

#include "UlmaroAppKit/UI/Kit/ClampedLabel.h"
#include "UlmaroAppKit/UI/Kit/PlainText.h"
#include "UlmaroAppKit/UI/Kit/StyledButton.h"
#include "UlmaroAppKit/UI/Kit/Symbols.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QShortcut>
#include <QVBoxLayout>

namespace ulmaro {

CatalogPromptView::CatalogPromptView(const QString& title, std::function<void()> onCatalog,
                                     std::function<void()> onDecline, QWidget* parent)
    : QWidget(parent) {
    setFixedWidth(width);
    auto* column = new QVBoxLayout(this);
    column->setSpacing(10);
    column->setContentsMargins(16, 16, 16, 16);

    auto* heading = new QHBoxLayout;
    heading->setSpacing(10);
    auto* symbol = new QLabel;
    symbol->setPixmap(Symbols::pixmap("externaldrive.badge.plus", 22,
                                      Theme::text(Theme::Level::secondary, palette()),
                                      devicePixelRatioF()));
    symbol->setFixedSize(22, 22);
    heading->addWidget(symbol, 0, Qt::AlignVCenter);
    title_ = new ClampedLabel(2);
    title_->setFont(Theme::font(14, Theme::Weight::semibold));
    title_->setText(title);
    title_->setColour(Theme::text(Theme::Level::primary, palette()));
    heading->addWidget(title_, 1, Qt::AlignVCenter);
    column->addLayout(heading);

    explanation_ = PlainText::label(QString::fromUtf8(explanation));
    explanation_->setFont(Theme::font(12));
    explanation_->setWordWrap(true);
    QPalette secondary = explanation_->palette();
    secondary.setColor(QPalette::WindowText, Theme::text(Theme::Level::secondary, palette()));
    explanation_->setPalette(secondary);
    column->addWidget(explanation_);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addStretch(1);
    decline_ = new StyledButton(Theme::ButtonLook::standard);
    PlainText::setText(*decline_, QStringLiteral("Not this drive"));
    catalog_ = new StyledButton(Theme::ButtonLook::prominent);
    PlainText::setText(*catalog_, QStringLiteral("Catalog"));
    buttons->addWidget(decline_);
    buttons->addWidget(catalog_);
    column->addLayout(buttons);

    connect(decline_, &QPushButton::clicked, this, [onDecline = std::move(onDecline)] {
        if (onDecline) onDecline();
    });
    connect(catalog_, &QPushButton::clicked, this, [onCatalog = std::move(onCatalog)] {
        if (onCatalog) onCatalog();
    });
    // The default answer: Return anywhere in the window, whichever button has focus.
    for (int key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, catalog_, &QPushButton::click);
    }
}

} // namespace ulmaro
