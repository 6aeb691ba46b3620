#include "UlmaroAppKit/UI/Onboarding/OnboardingBodyZone.h"

#include <QEvent>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

namespace ulmaro {

OnboardingBodyZone::OnboardingBodyZone(QWidget* content, QWidget* parent)
    : QScrollArea(parent), frame_(new QWidget), content_(content) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    viewport()->setAutoFillBackground(false);

    // Stretches above and below centre short content; they shrink to nothing first, so tall
    // content starts at the top.
    frame_->setAutoFillBackground(false);
    auto* column = new QVBoxLayout(frame_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addStretch(1);
    column->addWidget(content_);
    column->addStretch(1);
    // Sized here rather than by the scroll area: wrapped text is measured at the width it
    // gets, not at the narrow width its own size hint assumes.
    setWidgetResizable(false);
    setWidget(frame_);
    frame_->installEventFilter(this);
}

void OnboardingBodyZone::fit() {
    // Decided on the zone's own size, so the answer never depends on whether the scroll
    // bar shows at the moment.
    const auto heightAt = [this](int width) {
        return frame_->hasHeightForWidth() ? frame_->heightForWidth(width)
                                           : frame_->sizeHint().height();
    };
    int frameWidth = width();
    int needed = heightAt(frameWidth);
    const bool scrolls = needed > height();
    if (scrolls) {
        frameWidth -= verticalScrollBar()->sizeHint().width();
        needed = heightAt(frameWidth);
    }
    setVerticalScrollBarPolicy(scrolls ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    frame_->resize(frameWidth, std::max(needed, height()));
}

void OnboardingBodyZone::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    fit();
}

bool OnboardingBodyZone::eventFilter(QObject* watched, QEvent* event) {
    if (watched == frame_ && event->type() == QEvent::LayoutRequest) fit();
    return QScrollArea::eventFilter(watched, event);
}

} // namespace ulmaro
