#include "UlmaroAppKit/UI/Catalogs/CatalogSidebarView.h"

#include "UlmaroAppKit/UI/Catalogs/CatalogSidebarRow.h"
#include "UlmaroAppKit/UI/Kit/PlainText.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"

#include <QLabel>
#include <QListView>
#include <QMouseEvent>
#include <QStandardItemModel>
#include <QVBoxLayout>

namespace ulmaro {
namespace {

constexpr int idRole = CatalogSidebarRow::colourRole + 1;

} // namespace

CatalogSidebarView::CatalogSidebarView(QWidget* parent) : QWidget(parent) {
    setMinimumWidth(listMinimumWidth);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 8, 0, 0);
    column->setSpacing(4);
    QLabel* header = PlainText::label(QStringLiteral("Catalogs"));
    header->setFont(Theme::font(11, Theme::Weight::semibold));
    QPalette secondary = header->palette();
    secondary.setColor(QPalette::WindowText, Theme::text(Theme::Level::secondary, secondary));
    header->setPalette(secondary);
    header->setContentsMargins(CatalogSidebarRow::horizontalInset, 0, 0, 0);
    column->addWidget(header);

    model_ = new QStandardItemModel(this);
    list_ = new QListView;
    list_->setFrameShape(QFrame::NoFrame);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setItemDelegate(new CatalogSidebarRow(list_));
    list_->setModel(model_);
    list_->setAutoFillBackground(false);
    list_->viewport()->setAutoFillBackground(false);
    column->addWidget(list_, 1);
    list_->viewport()->installEventFilter(this);

    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (applying_ || !onSelect) return;
        const auto rows = list_->selectionModel()->selectedRows();
        onSelect(rows.isEmpty() ? std::nullopt : idAt(rows.front().row()));
    });
}

// A click on a catalog still being made changes nothing: it cannot be chosen, and the
// list would otherwise clear the selection.
bool CatalogSidebarView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_->viewport() && (event->type() == QEvent::MouseButtonPress ||
                                         event->type() == QEvent::MouseButtonDblClick ||
                                         event->type() == QEvent::MouseButtonRelease)) {
        const QModelIndex index =
            list_->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint());
        if (index.isValid() && !(index.flags() & Qt::ItemIsSelectable)) return true;
    }
    return QWidget::eventFilter(watched, event);
}

QSize CatalogSidebarView::sizeHint() const {
    return {listIdealWidth, QWidget::sizeHint().height()};
}

QColor CatalogSidebarView::colour(CatalogWindowRules::Colour role, const QPalette& palette) {
    switch (role) {
    case CatalogWindowRules::Colour::orange:
        return Theme::orange();
    case CatalogWindowRules::Colour::faded: {
        QColor faded = Theme::text(Theme::Level::secondary, palette);
        faded.setAlphaF(faded.alphaF() * 0.5f);
        return faded;
    }
    case CatalogWindowRules::Colour::green:
        return Theme::green();
    }
    return Theme::green();
}

void CatalogSidebarView::setRows(const std::vector<CatalogWindowRules::SidebarRow>& rows) {
    const auto selected = [&]() -> std::optional<std::string> {
        const auto current = list_->selectionModel()->selectedRows();
        return current.isEmpty() ? std::nullopt : idAt(current.front().row());
    }();
    applying_ = true;
    model_->clear();
    for (const auto& row : rows) {
        auto* item = new QStandardItem(PlainText::fromBytes(row.name));
        item->setData(PlainText::fromBytes(row.status), CatalogSidebarRow::statusRole);
        item->setData(colour(row.colour, palette()), CatalogSidebarRow::colourRole);
        item->setData(QByteArray::fromStdString(row.id), idRole);
        Qt::ItemFlags flags = Qt::ItemIsEnabled;
        if (row.selectable) flags |= Qt::ItemIsSelectable;
        item->setFlags(flags);
        model_->appendRow(item);
    }
    applying_ = false;
    setSelectedID(selected);
}

void CatalogSidebarView::setSelectedID(const std::optional<std::string>& id) {
    applying_ = true;
    list_->selectionModel()->clearSelection();
    if (id)
        for (int row = 0; row < model_->rowCount(); ++row) {
            QStandardItem* item = model_->item(row);
            if (item->isSelectable() && idAt(row) == id) {
                list_->selectionModel()->setCurrentIndex(item->index(),
                                                         QItemSelectionModel::ClearAndSelect);
                break;
            }
        }
    applying_ = false;
}

std::optional<std::string> CatalogSidebarView::idAt(int row) const {
    const QStandardItem* item = model_->item(row);
    if (!item) return std::nullopt;
    return item->data(idRole).toByteArray().toStdString();
}

} // namespace ulmaro
