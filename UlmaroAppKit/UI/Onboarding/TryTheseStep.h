#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QLabel;

namespace ulmaro {

class AllSetFallback;
class IconResolver;
class OnboardingStepShell;
class OnboardingViewModel;
class Subscription;
class TimerService;

/// The flow's last step, read from the model: up to three suggested files with the count
/// searched, or the all-set fallback, and "Done". The rows follow the model's suggestions
/// and shortcut; counts change in place. GUI thread only.
class TryTheseStep final : public QWidget {
    Q_OBJECT
public:
    static constexpr std::size_t rowsShown = 3;

    /// `onDone` is "Done"'s callback (the panel routes it to the model's `complete()`).
    /// `icons` may be null.
    TryTheseStep(OnboardingViewModel& model, IconResolver* icons, std::function<void()> onDone,
                 QWidget* parent = nullptr, std::shared_ptr<TimerService> timers = nullptr);
    ~TryTheseStep() override;

    OnboardingStepShell& shell() const { return *shell_; }
    /// The footer under the rows; null while the fallback shows.
    QLabel* footer() const { return footer_; }
    /// Null while rows show.
    AllSetFallback* fallback() const { return fallback_; }

private:
    void rebuild();
    void updateCounts();

    OnboardingViewModel& model_;
    IconResolver* icons_;
    std::function<void()> onDone_;
    std::shared_ptr<TimerService> timers_;
    OnboardingStepShell* shell_ = nullptr;
    QLabel* footer_ = nullptr;
    AllSetFallback* fallback_ = nullptr;
    std::vector<Subscription> subscriptions_;
};

} // namespace ulmaro
