#include "UlmaroAppKit/UI/Catalogs/CatalogBrowserView.h"

#include "UlmaroAppKit/Catalogs/CatalogBrowserModel.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogBreadcrumbBar.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogInfoPanel.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogItemListModel.h"
#include "UlmaroAppKit/UI/Kit/PlainText.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"

#include <QFrame>
#include <QListView>
#include <QMenu>
#include <QScrollArea>
#include <QVBoxLayout>

namespace ulmaro {

CatalogBrowserView::Texts CatalogBrowserView::modelTexts() {
    return {&CatalogBrowserModel::sizeText, &CatalogBrowserModel::dateText,
            &CatalogBrowserModel::infoLines};
}

CatalogBrowserView::CatalogBrowserView(CatalogBrowsing& model, Workspace& workspace, Texts texts,
                                       QWidget* parent)
    : QSplitter(Qt::Horizontal, parent), model_(model), actions_(model, workspace),
      texts_(std::move(texts)) {
    setChildrenCollapsible(false);

    auto* folderPane = new QWidget;
    folderPane->setMinimumWidth(folderPaneMinimumWidth);
    auto* column = new QVBoxLayout(folderPane);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    breadcrumb_ = new CatalogBreadcrumbBar(model_);
    column->addWidget(breadcrumb_);
    auto* divider = new QWidget;
    divider->setFixedHeight(1);
    divider->setAutoFillBackground(true);
    QPalette line = divider->palette();
    line.setColor(QPalette::Window, palette().color(QPalette::Mid));
    divider->setPalette(line);
    column->addWidget(divider);

    list_ = new QListView;
    list_->setFrameShape(QFrame::NoFrame);
    list_->setUniformItemSizes(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    listModel_ = new CatalogItemListModel(model_, list_);
    rows_ = new CatalogItemRow(texts_.sizeText, texts_.dateText, list_);
    list_->setItemDelegate(rows_);
    list_->setModel(listModel_);
    column->addWidget(list_, 1);
    addWidget(folderPane);

    info_ = new CatalogInfoPanel;
    auto* infoScroll = new QScrollArea;
    infoScroll->setWidget(info_);
    infoScroll->setWidgetResizable(true);
    infoScroll->setFrameShape(QFrame::NoFrame);
    infoScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    infoScroll->setMinimumWidth(infoPaneMinimumWidth);
    infoScroll->setMaximumWidth(infoPaneMaximumWidth);
    addWidget(infoScroll);
    setStretchFactor(0, 1);
    setStretchFactor(1, 0);

    connect(listModel_, &QAbstractItemModel::modelReset, this, [this] {
        rows_->forgetTexts();
        showHighlighted();
        refreshInfo();
    });
    connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (applyingHighlight_) return;
                const CatalogBrowsing::Item* item = listModel_->itemAt(current.row());
                model_.highlighted.set(item ? std::optional(item->id) : std::nullopt);
            });
    connect(list_, &QListView::doubleClicked, this,
            [this](const QModelIndex& index) { activateRow(index.row()); });
    connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& position) {
        if (QMenu* menu = menuAt(position)) {
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->popup(list_->viewport()->mapToGlobal(position));
        }
    });
    highlighted_ = model_.highlighted.subscribe([this](const auto&) { showHighlighted(); });
    refreshInfo();
    showHighlighted();
}

CatalogBrowserView::~CatalogBrowserView() = default;

void CatalogBrowserView::resizeEvent(QResizeEvent* event) {
    QSplitter::resizeEvent(event);
    // The information pane starts at its ideal width; later the user's divider stays.
    if (infoPanePlaced_ || width() < folderPaneMinimumWidth + infoPaneWidth) return;
    infoPanePlaced_ = true;
    setSizes({width() - handleWidth() - infoPaneWidth, infoPaneWidth});
}

void CatalogBrowserView::showHighlighted() {
    applyingHighlight_ = true;
    const auto id = model_.highlighted.get();
    const auto row = id ? listModel_->rowOf(*id) : std::nullopt;
    if (row) {
        const QModelIndex index = listModel_->index(*row);
        list_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        list_->scrollTo(index);
    } else {
        list_->selectionModel()->clear();
    }
    applyingHighlight_ = false;
}

void CatalogBrowserView::setLastError(std::optional<std::string> error) {
    lastError_ = std::move(error);
    refreshInfo();
}

void CatalogBrowserView::refreshInfo() {
    const CatalogEntry* entry = model_.selectedEntry();
    if (!entry) {
        info_->show({}, {}, std::nullopt);
        return;
    }
    info_->show(entry->info.name,
                texts_.infoLines ? texts_.infoLines(*entry)
                                 : std::vector<CatalogBrowsing::InfoLine>{},
                lastError_);
}

void CatalogBrowserView::report(const std::optional<std::string>& message) {
    if (message && onMessage) onMessage(*message);
}

void CatalogBrowserView::activateRow(int row) {
    const CatalogBrowsing::Item* listed = listModel_->itemAt(row);
    if (!listed) return;
    // Activating may replace the listing, so the item is copied first.
    if (auto item = actions_.item({listed->id})) report(actions_.activate(*item));
}

QMenu* CatalogBrowserView::menuAt(const QPoint& position) {
    const QModelIndex index = list_->indexAt(position);
    if (!index.isValid()) return nullptr;
    const CatalogBrowsing::Item* listed = listModel_->itemAt(index.row());
    const auto item = listed ? actions_.item({listed->id}) : std::nullopt;
    const auto entries = actions_.menu(item);
    if (entries.empty()) return nullptr;
    auto* menu = new QMenu(list_);
    for (const auto& entry : entries) {
        QAction* action =
            menu->addAction(PlainText::buttonTitle(PlainText::fromBytes(entry.title)));
        connect(action, &QAction::triggered, this,
                [this, entry, item = *item] { report(actions_.perform(entry, item)); });
    }
    return menu;
}

} // namespace ulmaro
