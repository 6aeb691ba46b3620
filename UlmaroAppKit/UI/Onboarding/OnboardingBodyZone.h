#pragma once

#include <QScrollArea>

namespace ulmaro {

/// The body of a first-run step: takes the height it is given, centres content that is
/// shorter both ways, and starts taller content at the top with a vertical scroll bar.
/// Content always takes the zone's full width. GUI thread only.
class OnboardingBodyZone final : public QScrollArea {
    Q_OBJECT
public:
    /// Takes `content`.
    explicit OnboardingBodyZone(QWidget* content, QWidget* parent = nullptr);
    QWidget* content() const { return content_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// The frame as wide as the view and as tall as its content at that width, at least.
    void fit();

    QWidget* frame_;
    QWidget* content_;
};

} // namespace ulmaro
