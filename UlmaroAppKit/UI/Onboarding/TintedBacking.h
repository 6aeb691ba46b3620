#pragma once

#include <QWidget>

namespace ulmaro {

/// A rounded rectangle filled with the text colour at `fill` and, when `border` is above
/// zero, a 1-pixel border inside its edge at that opacity; children lie on top. GUI thread
/// only.
class TintedBacking final : public QWidget {
public:
    TintedBacking(double radius, double fill, double border = 0, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double radius_;
    double fill_;
    double border_;
};

} // namespace ulmaro
