#include "UlmaroAppKit/UI/Catalogs/CatalogToolbar.h"

#include "UlmaroAppKit/UI/Kit/Symbols.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"

#include <QAction>
#include <QHBoxLayout>
#include <QProgressBar>

namespace ulmaro {

CatalogToolbar::CatalogToolbar(QWidget* parent) : QToolBar(parent) {
    setMovable(false);
    setFloatable(false);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setIconSize(QSize(16, 16));
    const QColor ink = Theme::text(Theme::Level::primary, palette());
    auto action = [&](const char* symbol, const QString& text, std::function<void()>* slot) {
        QAction* made = addAction(Symbols::icon(symbol, ink), text);
        connect(made, &QAction::triggered, this, [slot] {
            if (*slot) (*slot)();
        });
        return made;
    };
    add_ = action("plus", QString::fromUtf8("Add Folder\u2026"), &onAddFolder);
    rescan_ = action("arrow.clockwise", QStringLiteral("Rescan"), &onRescan);
    auto* holder = new QWidget(this);
    holder->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    auto* row = new QHBoxLayout(holder);
    row->setContentsMargins(8, 0, 8, 0);
    auto* busy = new QProgressBar(holder);
    busy->setRange(0, 0); // indeterminate
    busy->setTextVisible(false);
    busy->setFixedSize(48, 8);
    row->addWidget(busy);
    busy_ = addWidget(holder);
    export_ = action("square.and.arrow.up", QString::fromUtf8("Export\u2026"), &onExport);
    import_ = action("square.and.arrow.down", QString::fromUtf8("Import\u2026"), &onImport);
    forget_ = action("trash", QStringLiteral("Forget"), &onForget);
    show(State{});
}

void CatalogToolbar::show(const State& state) {
    rescan_->setEnabled(state.canRescan);
    busy_->setVisible(state.transferring);
    export_->setEnabled(state.canExport);
    import_->setEnabled(state.canImport);
    forget_->setEnabled(state.canForget);
}

bool CatalogToolbar::isBusyShown() const {
    return busy_->isVisible();
}

} // namespace ulmaro
