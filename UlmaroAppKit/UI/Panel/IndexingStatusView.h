#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>

class QLabel;

namespace ulmaro {

/// Stands in the result area while the first index is built: how many files were found so
/// far, over a thin track that a highlight sweeps endlessly (no percentage is known). The
/// sweep starts at −1.0 when the view is shown and runs only while it is visible.
/// `onContinueInBackground` hides the panel while the build goes on.
class IndexingStatusView final : public QWidget {
    Q_OBJECT
public:
    IndexingStatusView(std::int64_t filesSoFar, std::function<void()> onContinueInBackground,
                       QWidget* parent = nullptr);

    std::int64_t filesSoFar() const { return filesSoFar_; }
    /// A newer count of the same build: the text changes, the sweep runs on.
    void setFilesSoFar(std::int64_t filesSoFar);
    QString text() const;

    double shimmerPhase() const { return phase_; }
    bool isSweeping() const { return ticks_.isActive(); }
    /// Stops the sweep at `phase`, for still pictures.
    void holdPhase(double phase);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    class Track;

    std::int64_t filesSoFar_;
    std::function<void()> onContinueInBackground_;
    QLabel* label_;
    Track* track_;
    QTimer ticks_;
    QElapsedTimer sinceStart_;
    double phase_;
    bool held_ = false;
};

} // namespace ulmaro
