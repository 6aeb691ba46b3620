#include "UlmaroAppKit/UI/Onboarding/DriveRow.h"

#include "UlmaroAppKit/Text/TextFormat.h"
#include "UlmaroAppKit/UI/Kit/ElidedLabel.h"
#include "UlmaroAppKit/UI/Kit/PlainText.h"
#include "UlmaroAppKit/UI/Kit/Symbols.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

namespace ulmaro {

std::optional<std::string> DriveRow::capacityText(std::optional<std::int64_t> totalBytes) {
    if (!totalBytes || *totalBytes < 1) return std::nullopt;
    return formatByteCount(std::uint64_t(*totalBytes), ByteUnits::gigabytes | ByteUnits::terabytes);
}

DriveRow::DriveRow(const MountedVolume& drive, QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 6, 12, 6);
    row->setSpacing(10);

    auto* symbol = new QLabel(this);
    symbol->setFixedWidth(20);
    symbol->setAlignment(Qt::AlignCenter);
    symbol->setPixmap(Symbols::pixmap("externaldrive", 14, Theme::text(Theme::Level::secondary),
                                      devicePixelRatioF()));
    row->addWidget(symbol);

    name_ = new ElidedLabel(PlainText::fromBytes(drive.name), Qt::ElideRight, this);
    name_->setFont(Theme::font(13, Theme::Weight::medium));
    name_->setColor(Theme::text(Theme::Level::primary));
    name_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    row->addWidget(name_, 1);
    row->addSpacing(8);

    if (const auto capacity = capacityText(drive.totalBytes)) {
        capacity_ = PlainText::label(QString::fromStdString(*capacity), this);
        capacity_->setFont(Theme::font(12, Theme::Weight::regular, Theme::Design::monospaced));
        OnboardingText::setLevel(*capacity_, Theme::Level::tertiary);
        row->addWidget(capacity_);
    }
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void DriveRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath background;
    background.addRoundedRect(QRectF(rect()), 8, 8);
    p.fillPath(background, Theme::primaryTint(0.05, palette()));
}

} // namespace ulmaro
