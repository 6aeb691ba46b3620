#include "UlmaroAppKit/UI/Panel/OverlayHeader.h"

#include "UlmaroAppKit/Panel/IconResolver.h"
#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/Panel/OverlayViewText.h"
#include "UlmaroAppKit/UI/Kit/StyledLabel.h"
#include "UlmaroAppKit/UI/Kit/Symbols.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"
#include "UlmaroAppKit/UI/Panel/SearchField.h"
#include "UlmaroAppKit/UI/Qt/QtIconSource.h"

#include <QHBoxLayout>
#include <QLabel>

namespace ulmaro {
namespace {

void showText(QLabel* label, const std::string& text) {
    label->setVisible(!text.empty());
    label->setText(QString::fromStdString(text));
}

} // namespace

OverlayHeader::OverlayHeader(std::shared_ptr<OverlayViewModel> model,
                             std::shared_ptr<IconResolver> icons, std::function<void()> onDismiss,
                             QWidget* parent)
    : QWidget(parent), model_(std::move(model)), icons_(std::move(icons)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 10, 16, 10);
    layout->setSpacing(10);

    auto* glass = new QLabel(this);
    glass->setPixmap(Symbols::pixmap("magnifyingglass", 18, Theme::text(Theme::Level::secondary),
                                     devicePixelRatioF()));
    layout->addWidget(glass);
    field_ = new SearchField(model_, std::move(onDismiss), this);
    layout->addWidget(field_, 1);

    hint_ = styledLabel({}, Theme::font(13, Theme::Weight::medium),
                        Theme::text(Theme::Level::secondary), this);
    layout->addWidget(hint_);
    hintIcon_ = new QLabel(this);
    hintIcon_->setFixedSize(22, 22);
    layout->addWidget(hintIcon_);
    scan_ = styledLabel({}, Theme::font(10, Theme::Weight::medium),
                        Theme::text(Theme::Level::tertiary), this);
    scan_->setToolTip(QString::fromUtf8(OverlayViewText::backgroundScanHelp));
    layout->addWidget(scan_);
    pill_ = styledLabel({}, Theme::font(11, Theme::Weight::medium, Theme::Design::monospaced),
                        Theme::text(Theme::Level::secondary), this);
    layout->addWidget(pill_);

    subscriptions_.push_back(
        model_->inlineCompletion.subscribe([this](const auto&) { refresh(); }));
    subscriptions_.push_back(
        model_->backgroundScanFiles.subscribe([this](const auto&) { refresh(); }));
    subscriptions_.push_back(model_->resultsAreStale.subscribe([this](const auto&) { refresh(); }));
    subscriptions_.push_back(model_->state.subscribe([this](const auto&) { refresh(); }));
    refresh();
}

OverlayHeader::~OverlayHeader() = default;

void OverlayHeader::refresh() {
    const auto& completion = model_->inlineCompletion.get();
    showText(hint_, completion ? "— Open" : "");
    hintIcon_->setVisible(completion.has_value());
    if (completion) {
        RankedRow row;
        row.path = completion->rowPath;
        row.name = completion->rowName;
        row.isApp = completion->isApp;
        row.isDirectory = completion->isDirectory;
        hintIcon_->setPixmap(
            QtIconSource::qIcon(icons_->icon(row)).pixmap(QSize(22, 22), devicePixelRatioF()));
        showText(scan_, "");
        showText(pill_, "");
        return;
    }
    const auto& scanning = model_->backgroundScanFiles.get();
    showText(scan_, scanning ? OverlayViewText::backgroundScanText(*scanning) : "");
    std::optional<OverlayViewText::ResultsTiming> timing;
    if (const auto* results = model_->state.get().resultsIfAny())
        timing = OverlayViewText::ResultsTiming{results->totalMatches, results->took};
    showText(pill_, OverlayViewText::timingPill(model_->resultsAreStale.get(), timing));
}

QString OverlayHeader::hintText() const {
    return hint_->isVisibleTo(this) ? hint_->text() : QString();
}

QString OverlayHeader::backgroundScanText() const {
    return scan_->isVisibleTo(this) ? scan_->text() : QString();
}

QString OverlayHeader::pillText() const {
    return pill_->isVisibleTo(this) ? pill_->text() : QString();
}

} // namespace ulmaro
