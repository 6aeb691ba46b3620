#pragma once

#include "UlmaroAppKit/Platform/Observable.h"

#include <QWidget>
#include <cstdint>
#include <memory>

class QLabel;
class QVariantAnimation;

namespace ulmaro {

class OverlayViewModel;

/// What the panel shows while no index can be searched yet: the application's icon, a
/// title, how many files the first build found so far (counting up to each new figure over
/// 0.35 s while on screen) and a line on how long that takes.
class PreparingView final : public QWidget {
    Q_OBJECT
public:
    explicit PreparingView(std::shared_ptr<OverlayViewModel> model, QWidget* parent = nullptr);
    ~PreparingView() override;

    /// The count line as it reads now.
    QString countText() const;
    /// Whether the count is still moving towards the model's figure.
    bool isCounting() const;

private:
    void countTo(std::int64_t target);
    void showCount(std::int64_t count);

    std::shared_ptr<OverlayViewModel> model_;
    QLabel* count_;
    QVariantAnimation* counting_;
    std::int64_t shown_ = -1;
    Subscription subscription_;
};

} // namespace ulmaro
