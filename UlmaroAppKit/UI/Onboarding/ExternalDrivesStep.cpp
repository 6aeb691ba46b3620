#include "UlmaroAppKit/UI/Onboarding/ExternalDrivesStep.h"

#include "UlmaroAppKit/Onboarding/OnboardingCopy.h"
#include "UlmaroAppKit/Onboarding/OnboardingLayout.h"
#include "UlmaroAppKit/Onboarding/OnboardingViewModel.h"
#include "UlmaroAppKit/UI/Kit/PlainText.h"
#include "UlmaroAppKit/UI/Onboarding/DriveRow.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingButton.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingStepShell.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingText.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace ulmaro {
namespace {

using OnboardingText::Style;
using Level = Theme::Level;

/// A check box whose label is the drive's row: a click on the row is a click on the box.
class DriveToggle final : public QWidget {
public:
    DriveToggle(QCheckBox* box, DriveRow* drive) : box_(box) {
        auto* line = new QHBoxLayout(this);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(6);
        line->addWidget(box, 0, Qt::AlignVCenter);
        line->addWidget(drive, 1);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override { event->accept(); }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            box_->click();
    }

private:
    QCheckBox* box_;
};

QWidget* wrappedNote(std::string_view text, double pixels, Level level) {
    return OnboardingText::measured(
        OnboardingText::label(text, Style{pixels, Theme::Weight::regular, level}, true),
        int(OnboardingLayout::measure));
}

} // namespace

ExternalDrivesStep::ExternalDrivesStep(OnboardingViewModel& model, QWidget* parent)
    : QWidget(parent), model_(model) {
    auto* list = new QWidget;
    list->setFixedWidth(400);
    auto* column = new QVBoxLayout(list);
    column->setContentsMargins(0, 0, 0, 0);
    // Rows a little tighter than elsewhere (4 above and below, 3 apart), so that four
    // drives, the line of the rest and the note fit the step's body without scrolling.
    column->setSpacing(3);
    OnboardingViewModel* flow = &model_;
    for (const MountedVolume& drive : model_.shownDrives()) {
        auto* box = new QCheckBox;
        box->setAccessibleName(QString::fromStdString(drive.name));
        // The box's own new state is not used: the flow decides, and the boxes follow it.
        connect(box, &QCheckBox::clicked, this, [this, flow, uuid = drive.uuid] {
            flow->toggleDrive(uuid);
            redraw();
        });
        boxes_.push_back(box);
        auto* row = new DriveRow(drive);
        row->layout()->setContentsMargins(12, 4, 12, 4);
        column->addWidget(new DriveToggle(box, row));
    }
    const auto total = std::int64_t(model_.externalDrives().size());
    if (total > OnboardingCopy::maxDrivesShown) {
        more_ = OnboardingText::label(
            OnboardingCopy::moreDrives(total - OnboardingCopy::maxDrivesShown),
            Style{11, Theme::Weight::regular, Level::tertiary});
        column->addWidget(more_, 0, Qt::AlignHCenter);
    }

    auto* next =
        OnboardingButton::prominent(PlainText::fromBytes(OnboardingCopy::continueButton), true);
    connect(next, &QPushButton::clicked, next, [flow] { flow->advanceFromExternalDrives(); });
    shell_ = new OnboardingStepShell(
        PlainText::fromBytes(OnboardingCopy::drivesTitle),
        {wrappedNote(OnboardingCopy::drivesBody, 13, Level::secondary), list,
         wrappedNote(OnboardingCopy::drivesUnpluggedNote, 11, Level::tertiary)},
        {next});
    auto* fill = new QVBoxLayout(this);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(shell_);
    ticks_ = model_.drivesToCatalog.subscribe([this](const auto&) { redraw(); });
    redraw();
}

void ExternalDrivesStep::redraw() {
    const auto& ticked = model_.drivesToCatalog.get();
    const auto drives = model_.shownDrives();
    for (std::size_t i = 0; i < boxes_.size() && i < drives.size(); ++i)
        boxes_[i]->setChecked(ticked.contains(drives[i].uuid));
}

} // namespace ulmaro
