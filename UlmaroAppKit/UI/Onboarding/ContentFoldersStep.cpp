#include "UlmaroAppKit/UI/Onboarding/ContentFoldersStep.h"

#include "UlmaroAppKit/Onboarding/OnboardingCopy.h"
#include "UlmaroAppKit/Onboarding/OnboardingLayout.h"
#include "UlmaroAppKit/Onboarding/OnboardingViewModel.h"
#include "UlmaroAppKit/UI/Kit/PlainText.h"
#include "UlmaroAppKit/UI/Kit/StyledButton.h"
#include "UlmaroAppKit/UI/Kit/Symbols.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingButton.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingStepShell.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingText.h"
#include "UlmaroAppKit/UI/Onboarding/TintedBacking.h"
#include "UlmaroAppKit/UI/Qt/QtFileChooser.h"
#include "UlmaroKit/Platform/Utf8.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

namespace ulmaro {
namespace {

using OnboardingText::Style;
using Level = Theme::Level;

QWidget* centred(QWidget* child) {
    auto* holder = new QWidget;
    auto* line = new QHBoxLayout(holder);
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(child, 0, Qt::AlignHCenter);
    return holder;
}

} // namespace

ContentFoldersStep::ContentFoldersStep(OnboardingViewModel& model,
                                       std::vector<std::string>& folders, FileChooser* chooser,
                                       QWidget* parent)
    : QWidget(parent), model_(model), folders_(folders), chooser_(chooser) {
    list_ = new QScrollArea;
    list_->setFrameShape(QFrame::NoFrame);
    list_->setWidgetResizable(true);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list_->viewport()->setAutoFillBackground(false);
    // As wide as the text above it, so the list reads as part of the page.
    list_->setFixedWidth(int(OnboardingLayout::measure));

    add_ = new StyledButton(Theme::ButtonLook::borderless, Theme::ControlSize::regular);
    PlainText::setText(*add_, PlainText::fromBytes(OnboardingCopy::contentAddButton));
    add_->setSymbol("plus", 12);
    add_->setFontPixels(12);
    // Drawn in the accent, symbol and title alike.
    QPalette accent = add_->palette();
    accent.setColor(QPalette::WindowText, accent.color(QPalette::Highlight));
    add_->setPalette(accent);
    connect(add_, &QPushButton::clicked, this, [this] { addFolders(); });
    auto* addHolder = new QWidget;
    auto* addColumn = new QVBoxLayout(addHolder);
    addColumn->setContentsMargins(0, 2, 0, 0);
    addColumn->addWidget(add_, 0, Qt::AlignHCenter);
    message_ = OnboardingText::label({}, Style{11, Theme::Weight::regular, Level::secondary}, true);
    message_->hide();
    addColumn->addWidget(message_);
    addHolder->setMaximumWidth(380);

    auto* next =
        OnboardingButton::prominent(PlainText::fromBytes(OnboardingCopy::continueButton), true);
    OnboardingViewModel* flow = &model_;
    connect(next, &QPushButton::clicked, next, [flow] { flow->advanceFromContentFolders(); });

    shell_ = new OnboardingStepShell(
        PlainText::fromBytes(OnboardingCopy::contentTitle),
        {OnboardingText::measured(
             OnboardingText::label(OnboardingCopy::contentBody,
                                   Style{13, Theme::Weight::regular, Level::secondary}, true),
             int(OnboardingLayout::measure)),
         centred(list_), addHolder},
        {next});
    auto* fill = new QVBoxLayout(this);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(shell_);
    reload();
}

QString ContentFoldersStep::rowTitle(const std::string& path) {
    std::string_view rest = path;
    while (rest.size() > 1 && rest.back() == '/')
        rest.remove_suffix(1);
    const auto slash = rest.rfind('/');
    if (slash != std::string_view::npos && slash + 1 < rest.size()) rest.remove_prefix(slash + 1);
    return PlainText::fromBytes(rest);
}

void ContentFoldersStep::reload() {
    folders_ = model_.preferences().contentIndexFolders();
    auto* column = new QWidget;
    column->setAutoFillBackground(false);
    auto* rows = new QVBoxLayout(column);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(int(OnboardingLayout::contentFolderRowSpacing));
    if (folders_.empty()) {
        auto* none = OnboardingText::label(OnboardingCopy::contentNoneSelected,
                                           Style{11, Theme::Weight::regular, Level::tertiary});
        none->setContentsMargins(0, 6, 0, 6);
        rows->addWidget(none, 0, Qt::AlignHCenter);
    }
    for (const auto& path : folders_)
        rows->addWidget(row(path));
    rows->addStretch(1);
    // The old column may hold the remove button being clicked: it goes afterwards.
    if (QWidget* old = list_->takeWidget()) old->deleteLater();
    list_->setWidget(column);
    const int shown = std::max<int>(1, int(folders_.size()));
    list_->setFixedHeight(int(OnboardingLayout::contentFolderListHeight(shown)));
}

QWidget* ContentFoldersStep::row(const std::string& path) {
    auto* row = new TintedBacking(6, 0.05);
    row->setFixedHeight(int(OnboardingLayout::contentFolderRowHeight));
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(10, 5, 10, 5);
    line->setSpacing(8);
    auto* icon = new QLabel;
    icon->setPixmap(Symbols::pixmap("folder", 11, Theme::text(Level::secondary, palette()),
                                    devicePixelRatioF()));
    line->addWidget(icon, 0, Qt::AlignVCenter);
    auto* name = PlainText::label(rowTitle(path));
    name->setFont(Theme::font(12));
    OnboardingText::setLevel(*name, Level::primary);
    name->setProperty(OnboardingStepShell::ownAlignment, true);
    line->addWidget(name, 0, Qt::AlignVCenter);
    line->addStretch(1);
    auto* remove = new StyledButton(Theme::ButtonLook::borderless, Theme::ControlSize::small);
    remove->setSymbol("minus.circle.fill", 12, Level::secondary);
    remove->setFixedSize(16, 16);
    PlainText::setToolTip(*remove, QStringLiteral("Do not read contents in this folder"));
    // The stored path, unchanged, whatever the row shows.
    connect(remove, &QPushButton::clicked, this, [this, path] { this->remove(path); });
    line->addWidget(remove, 0, Qt::AlignVCenter);
    return row;
}

void ContentFoldersStep::remove(const std::string& path) {
    model_.preferences().removeContentFolder(path);
    reload();
}

void ContentFoldersStep::addFolders() {
    QtFileChooser fallback(window());
    FileChooser& chooser = chooser_ ? *chooser_ : fallback;
    const QPointer<ContentFoldersStep> alive(this);
    const auto chosen = chooser.chooseFolders(std::nullopt, false);
    // The flow may have ended while the chooser was up.
    if (!alive) return;
    // The chooser was modal to the panel; the keyboard goes back to it.
    if (QWidget* panel = window(); panel->isVisible()) panel->activateWindow();
    if (!chosen) return;
    // A folder whose path the settings cannot hold is said so, never dropped in silence.
    const auto refused = Preferences::unstorableFolders(*chosen);
    message_->setText(refused ? PlainText::fromBytes(*refused) : QString());
    message_->setVisible(refused.has_value());
    auto& preferences = model_.preferences();
    for (const auto& path : *chosen) {
        if (!isValidUtf8(path)) continue;
        auto stored = preferences.contentIndexFolders();
        stored.push_back(path);
        preferences.setContentIndexFolders(stored);
    }
    reload();
}

} // namespace ulmaro
