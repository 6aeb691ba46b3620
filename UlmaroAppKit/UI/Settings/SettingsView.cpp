#include "UlmaroAppKit/UI/Settings/SettingsView.h"

#include "UlmaroAppKit/UI/Kit/ElidedLabel.h"
#include "UlmaroAppKit/UI/Kit/PlainText.h"
#include "UlmaroAppKit/UI/Kit/Symbols.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"
#include "UlmaroAppKit/UI/Settings/ShortcutRow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

namespace ulmaro {
namespace {

QLabel* secondaryLabel(const QString& text, double pixels, QWidget* parent) {
    QLabel* label = PlainText::label(text, parent);
    label->setFont(Theme::font(pixels));
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Theme::text(Theme::Level::secondary, palette));
    label->setPalette(palette);
    return label;
}

/// A grouped section: its header above a framed box, its footer below.
QVBoxLayout* section(QVBoxLayout& page, QWidget* parent, const QString& header,
                     const QString& footer) {
    if (!header.isEmpty()) {
        QLabel* title = PlainText::label(header, parent);
        title->setFont(Theme::font(13, Theme::Weight::semibold));
        page.addWidget(title);
    }
    auto* box = new QFrame(parent);
    box->setFrameShape(QFrame::StyledPanel);
    auto* content = new QVBoxLayout(box);
    content->setContentsMargins(10, 8, 10, 8);
    content->setSpacing(6);
    page.addWidget(box);
    if (!footer.isEmpty()) page.addWidget(secondaryLabel(footer, 11, parent));
    page.addSpacing(10);
    return content;
}

void clear(QVBoxLayout& layout) {
    while (QLayoutItem* item = layout.takeAt(0)) {
        // Later: a row's own button may be what asked for the rebuild.
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
}

/// A path with its remove button; `leadingSymbol` only for skipped folders.
QWidget* pathRow(const std::string& path, const char* leadingSymbol, const QString& removeTip,
                 std::function<void()> remove, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    const QColor secondary = Theme::text(Theme::Level::secondary);
    if (leadingSymbol) {
        auto* icon = new QLabel(row);
        icon->setPixmap(Symbols::pixmap(leadingSymbol, 16, secondary, row->devicePixelRatioF()));
        layout->addWidget(icon);
    }
    const QString shown = PlainText::fromBytes(path);
    auto* label = new ElidedLabel(shown, Qt::ElideMiddle, row);
    label->setFont(Theme::font(12, Theme::Weight::regular, Theme::Design::monospaced));
    PlainText::setToolTip(*label, shown);
    layout->addWidget(label, 1);
    auto* button = new QToolButton(row);
    button->setAutoRaise(true);
    button->setIcon(Symbols::icon("xmark.circle.fill", secondary));
    PlainText::setToolTip(*button, removeTip);
    QObject::connect(button, &QToolButton::clicked, row, std::move(remove));
    layout->addWidget(button);
    return row;
}

} // namespace

SettingsView::SettingsView(std::shared_ptr<SettingsForm> form, QWidget* parent)
    : QWidget(parent), form_(std::move(form)) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    outer->addWidget(scroll);
    auto* page = new QWidget(scroll);
    scroll->setWidget(page);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(20, 16, 20, 16);
    column->setSpacing(4);

    QVBoxLayout* first =
        section(*column, page, {},
                QStringLiteral("When this is off, Ulmaro searches only the drives and folders "
                               "in your Catalog."));
    searchThisComputer_ = new QCheckBox(QStringLiteral("Search this computer"), page);
    first->addWidget(searchThisComputer_);
    connect(searchThisComputer_, &QCheckBox::toggled, this,
            [this](bool on) { form_->setSearchThisMac(on); });

    QVBoxLayout* skip = section(*column, page, QStringLiteral("Folders to skip"),
                                QStringLiteral("Ulmaro won’t index anything inside these. "
                                               "Changes apply at the next refresh."));
    exclusionRows_ = new QVBoxLayout;
    skip->addLayout(exclusionRows_);
    auto* addSkipped = new QPushButton(QStringLiteral("Add Folder…"), page);
    connect(addSkipped, &QPushButton::clicked, this, [this] { form_->addExclusions(); });
    skip->addWidget(addSkipped, 0, Qt::AlignLeft);

    QVBoxLayout* contents = section(
        *column, page, QStringLiteral("Search inside documents"),
        QStringLiteral("Ulmaro reads the text inside PDFs and Office documents in these "
                       "folders, so you can search by what is in a file. Everything else is "
                       "still searched by name."));
    contentRows_ = new QVBoxLayout;
    contents->addLayout(contentRows_);
    auto* addContent = new QPushButton(QStringLiteral("Add Folder…"), page);
    connect(addContent, &QPushButton::clicked, this, [this] { form_->addContentFolders(); });
    contents->addWidget(addContent, 0, Qt::AlignLeft);

    QVBoxLayout* shortcut =
        section(*column, page, QStringLiteral("Shortcut"),
                QStringLiteral("One modifier plus one key — like Alt+Space or Alt+S."));
    shortcutRow_ = new ShortcutRow(form_->shortcutModel(), form_->sharedPreferences(), page);
    shortcut->addWidget(shortcutRow_);

    QVBoxLayout* results = section(*column, page, QStringLiteral("Results"), {});
    showPaths_ = new QCheckBox(QStringLiteral("Show file paths under results"), page);
    results->addWidget(showPaths_);
    connect(showPaths_, &QCheckBox::toggled, this, [this](bool on) { form_->setShowPaths(on); });
    auto* limitRow = new QHBoxLayout;
    limitRow->addWidget(PlainText::label(QStringLiteral("Results shown per search"), page));
    limitRow->addStretch(1);
    resultLimit_ = new QComboBox(page);
    for (const auto choice : SettingsForm::resultLimitChoices)
        resultLimit_->addItem(QString::number(choice), QVariant::fromValue<qint64>(choice));
    connect(resultLimit_, &QComboBox::activated, this, [this](int index) {
        form_->chooseResultLimit(resultLimit_->itemData(index).toLongLong());
    });
    limitRow->addWidget(resultLimit_);
    results->addLayout(limitRow);
    column->addStretch(1);

    preferenceChanges_ = form_->preferences().changed.subscribe([this] {
        refreshControls();
        form_->reloadLists();
    });
    listChanges_ = form_->listsChanged.subscribe([this] { rebuildLists(); });
    refreshControls();
    rebuildLists();
}

void SettingsView::showEvent(QShowEvent* event) {
    form_->reloadLists();
    refreshControls();
    QWidget::showEvent(event);
}

void SettingsView::refreshControls() {
    const QSignalBlocker a(searchThisComputer_), b(showPaths_), c(resultLimit_);
    searchThisComputer_->setChecked(form_->searchThisMac());
    showPaths_->setChecked(form_->showPaths());
    const auto selected = form_->selectedResultLimit();
    resultLimit_->setCurrentIndex(selected ? int(*selected) : -1);
}

void SettingsView::rebuildLists() {
    QWidget* page = exclusionRows_->parentWidget();
    clear(*exclusionRows_);
    if (form_->exclusions().empty())
        exclusionRows_->addWidget(secondaryLabel(
            QStringLiteral("Nothing excluded — the whole computer is searchable."), 12, page));
    for (const auto& path : form_->exclusions())
        exclusionRows_->addWidget(pathRow(
            path, "folder.badge.minus", QStringLiteral("Stop skipping this folder"),
            [this, path] { form_->removeExclusion(path); }, page));
    if (const auto& message = form_->exclusionsMessage())
        exclusionRows_->addWidget(secondaryLabel(PlainText::fromBytes(*message), 11, page));

    clear(*contentRows_);
    if (form_->contentFolders().empty())
        contentRows_->addWidget(secondaryLabel(
            QStringLiteral("Contents are not read anywhere. Ulmaro searches names only."), 12,
            page));
    for (const auto& path : form_->contentFolders())
        contentRows_->addWidget(pathRow(
            path, nullptr, QStringLiteral("Stop reading contents in this folder"),
            [this, path] { form_->removeContentFolder(path); }, page));
    for (const auto& folder : form_->cloudSuggestions()) {
        auto* row = new QWidget(page);
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(secondaryLabel(PlainText::fromBytes(folder.name), 13, row), 1);
        auto* add = new QPushButton(QStringLiteral("Add"), row);
        connect(add, &QPushButton::clicked, this,
                [this, folder] { form_->addCloudFolder(folder); });
        layout->addWidget(add);
        contentRows_->addWidget(row);
    }
    if (const auto& message = form_->contentMessage())
        contentRows_->addWidget(secondaryLabel(PlainText::fromBytes(*message), 11, page));
}

} // namespace ulmaro
