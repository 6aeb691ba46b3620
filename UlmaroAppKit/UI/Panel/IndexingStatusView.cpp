#include "UlmaroAppKit/UI/Panel/IndexingStatusView.h"

#include "UlmaroAppKit/Indexing/IndexHealth.h"
#include "UlmaroAppKit/Panel/IndexingSweep.h"
#include "UlmaroAppKit/UI/Kit/StyledLabel.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace ulmaro {
namespace {

QString countText(std::int64_t filesSoFar) {
    return QString::fromStdString("Finding your files — " + IndexHealth::count(filesSoFar) +
                                  " so far");
}

} // namespace

class IndexingStatusView::Track final : public QWidget {
public:
    explicit Track(const double& phase, QWidget* parent) : QWidget(parent), phase_(phase) {
        setFixedHeight(3);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF track(rect());
        const double radius = track.height() / 2;
        QPainterPath capsule;
        capsule.addRoundedRect(track, radius, radius);
        // The plain track; white at 8 % vanishes on a light window, so it takes the text
        // colour at that opacity.
        painter.fillPath(capsule, Theme::isDark() ? Theme::white(0.08) : Theme::primaryTint(0.08));
        const double width = track.width() * IndexingSweep::widthFraction;
        const QRectF sweep(track.left() + phase_ * track.width(), track.top(), width,
                           track.height());
        QLinearGradient gradient(sweep.topLeft(), sweep.topRight());
        QColor highlight = Theme::text(Theme::Level::secondary);
        highlight.setAlphaF(highlight.alphaF() * 0.5f);
        QColor clear = highlight;
        clear.setAlphaF(0);
        gradient.setColorAt(0, clear);
        gradient.setColorAt(0.5, highlight);
        gradient.setColorAt(1, clear);
        QPainterPath moving;
        moving.addRoundedRect(sweep, radius, radius);
        painter.setClipPath(capsule);
        painter.fillPath(moving, gradient);
    }

private:
    const double& phase_;
};

IndexingStatusView::IndexingStatusView(std::int64_t filesSoFar,
                                       std::function<void()> onContinueInBackground,
                                       QWidget* parent)
    : QWidget(parent), filesSoFar_(filesSoFar),
      onContinueInBackground_(std::move(onContinueInBackground)),
      phase_(IndexingSweep::startPhase) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 18, 16, 18);
    layout->setSpacing(10);
    label_ = styledLabel(countText(filesSoFar), Theme::font(13),
                         Theme::text(Theme::Level::secondary), this);
    layout->addWidget(label_);
    track_ = new Track(phase_, this);
    layout->addWidget(track_);

    ticks_.setInterval(16);
    connect(&ticks_, &QTimer::timeout, this, [this] {
        phase_ = IndexingSweep::phase(double(sinceStart_.nsecsElapsed()) / 1e9);
        track_->update();
    });
}

void IndexingStatusView::setFilesSoFar(std::int64_t filesSoFar) {
    filesSoFar_ = filesSoFar;
    label_->setText(countText(filesSoFar));
}

QString IndexingStatusView::text() const {
    return label_->text();
}

void IndexingStatusView::holdPhase(double phase) {
    held_ = true;
    ticks_.stop();
    phase_ = phase;
    track_->update();
}

void IndexingStatusView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (held_) return;
    phase_ = IndexingSweep::startPhase;
    sinceStart_.start();
    ticks_.start();
}

void IndexingStatusView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    ticks_.stop();
}

} // namespace ulmaro
