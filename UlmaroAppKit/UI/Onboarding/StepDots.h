#pragma once

#include <QWidget>

namespace ulmaro {

/// One 6-pixel dot per step, 6 apart; the current one darker. A current step outside 1 to
/// `total` leaves every dot light. GUI thread only.
class StepDots final : public QWidget {
    Q_OBJECT
public:
    static constexpr int dot = 6;
    static constexpr int spacing = 6;

    StepDots(int current, int total, QWidget* parent = nullptr);
    void setSteps(int current, int total);
    int current() const { return current_; }
    int total() const { return total_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int current_;
    int total_;
};

} // namespace ulmaro
