#include "UlmaroAppKit/UI/CheatSheetView.h"

#include "UlmaroAppKit/Panel/SearchSyntax.h"
#include "UlmaroAppKit/UI/Theme.h"

#include <QGridLayout>
#include <QLabel>

namespace ulmaro {

CheatSheetView::CheatSheetView(std::string summonKey, QWidget* parent)
    : QWidget(parent), summonKey_(std::move(summonKey)) {
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->setHorizontalSpacing(8);
    layout->setVerticalSpacing(4);
    auto* title = new QLabel(QStringLiteral("Searching"), this);
    title->setFont(Theme::font(12, Theme::Weight::semibold, Theme::Design::rounded));
    layout->addWidget(title, 0, 0, 1, 2);
    int line = 1;
    for (const auto& shortcut : SearchSyntax::shortcuts(summonKey_)) {
        auto* keys = new QLabel(QString::fromStdString(shortcut.keys), this);
        keys->setFont(Theme::font(11, Theme::Weight::medium));
        auto* action = new QLabel(QString::fromStdString(shortcut.action), this);
        action->setFont(Theme::font(11));
        layout->addWidget(keys, line, 0);
        layout->addWidget(action, line, 1);
        ++line;
    }
    layout->setColumnStretch(1, 1);
}

} // namespace ulmaro
