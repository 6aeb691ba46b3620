#pragma once

#include <QWidget>

namespace ulmaro {

/// The last widget of a panel in the view benchmarks: its paint ends the window's paint.
class PaintProbe final : public QWidget {
public:
    using QWidget::QWidget;
    bool painted = false;

protected:
    void paintEvent(QPaintEvent*) override { painted = true; }
};

} // namespace ulmaro
