#pragma once

#include "UlmaroKit/Scanning/MountedVolume.h"

#include <QWidget>
#include <optional>
#include <string>

class QLabel;

namespace ulmaro {

class ElidedLabel;

/// One external drive as the drive step lists it: its symbol, its name on one line and,
/// when known and not zero, its capacity in GB or TB. GUI thread only.
class DriveRow final : public QWidget {
    Q_OBJECT
public:
    explicit DriveRow(const MountedVolume& drive, QWidget* parent = nullptr);

    /// "500.11 GB", "2 TB"; none without a capacity of 1 byte or more.
    static std::optional<std::string> capacityText(std::optional<std::int64_t> totalBytes);

    const ElidedLabel& nameLabel() const { return *name_; }
    /// Null without a capacity.
    const QLabel* capacityLabel() const { return capacity_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ElidedLabel* name_;
    QLabel* capacity_ = nullptr;
};

} // namespace ulmaro
