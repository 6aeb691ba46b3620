#pragma once

#include <QVariantAnimation>
#include <QWidget>
#include <cstdint>

namespace ulmaro {

/// A big count on one line that eases up to each new value over 0.35 s, grouped
/// "1,234,567" whatever the locale. The theme family's digits are tabular, so the line
/// keeps its width per digit while it counts. Only the label repaints. GUI thread only.
class CountingLabel final : public QWidget {
    Q_OBJECT
public:
    static constexpr int easingMilliseconds = 350;

    CountingLabel(std::int64_t value, const QFont& font, QWidget* parent = nullptr);

    /// Eases from what is shown now to `value`; a lower value is shown at once.
    void setValue(std::int64_t value);
    std::int64_t value() const { return target_; }
    std::int64_t shownValue() const { return shown_; }
    QString shownText() const;
    /// Ends a count under way at its value.
    void finishTransition();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void display(std::int64_t value);

    std::int64_t target_;
    std::int64_t shown_;
    std::int64_t from_ = 0;
    QVariantAnimation transition_;
};

} // namespace ulmaro
