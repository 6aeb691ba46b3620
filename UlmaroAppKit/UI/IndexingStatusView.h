#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>

namespace ulmaro {

/// Stands in the result area while the first index is built: how many files were found so
/// far. `onContinueInBackground` hides the panel while the build goes on.
class IndexingStatusView final : public QWidget {
    Q_OBJECT
public:
    IndexingStatusView(std::int64_t filesSoFar, std::function<void()> onContinueInBackground,
                       QWidget* parent = nullptr);

    std::int64_t filesSoFar() const { return filesSoFar_; }

private:
    std::int64_t filesSoFar_;
    std::function<void()> onContinueInBackground_;
};

} // namespace ulmaro
