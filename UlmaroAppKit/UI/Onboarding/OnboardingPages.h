#pragma once

#include <QWidget>
#include <functional>
#include <memory>

class QLabel;

namespace ulmaro {

class BrandMarkView;
class CountingLabel;
class OnboardingStepShell;
class OnboardingViewModel;
class TimerService;

/// The pages of the first-run panel that this file draws: welcome, access, indexing and
/// ready. Each is built from the model when its step comes on screen; `refresh()` puts
/// the model's current counts and texts in place. GUI thread only.
namespace OnboardingPages {

using Action = std::function<void()>;

struct Context {
    OnboardingViewModel& model;
    /// Whether asking for access can do anything; the coverage note offers it only then.
    bool canAskForAccess = false;
    std::shared_ptr<TimerService> timers;
};

/// Mark and name, the pitch and the privacy lockup, the question and its two answers:
/// the catalog-only answer calls the model itself, the other fires `onSearchEverything`.
class Welcome final : public QWidget {
    Q_OBJECT
public:
    Welcome(const Context& context, Action onSearchEverything, QWidget* parent = nullptr);
    QWidget& lockup() const { return *lockup_; }

private:
    QWidget* lockup_;
};

/// Why access matters, with "Allow Full Disk Access…" and "Not now".
class Permission final : public QWidget {
    Q_OBJECT
public:
    Permission(const Context& context, Action onGrant, Action onNotNow, QWidget* parent = nullptr);
};

/// The spinning mark, the count easing up, the caption and the percentage.
class Indexing final : public QWidget {
    Q_OBJECT
public:
    Indexing(const Context& context, Action onContinue, QWidget* parent = nullptr);
    void refresh();
    CountingLabel& count() const { return *count_; }
    QLabel& percent() const { return *percent_; }
    OnboardingStepShell& shell() const { return *shell_; }

private:
    OnboardingViewModel& model_;
    OnboardingStepShell* shell_;
    CountingLabel* count_;
    QLabel* caption_;
    QLabel* percent_;
};

/// The result: the count in the title, then the shortcut's caps and sentence or the
/// line without a shortcut, each with the coverage note; or, without access, the callout.
class Ready final : public QWidget {
    Q_OBJECT
public:
    Ready(const Context& context, Action onGrant, Action onContinue, QWidget* parent = nullptr);
    void refresh();
    OnboardingStepShell& shell() const { return *shell_; }
    /// Null when every folder was read, or without access.
    QLabel* coverageLine() const { return coverage_; }

private:
    OnboardingViewModel& model_;
    OnboardingStepShell* shell_;
    QLabel* coverage_ = nullptr;
};

} // namespace OnboardingPages
} // namespace ulmaro
