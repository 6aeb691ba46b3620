#pragma once

#include "UlmaroAppKit/Search/RankedRow.h"

#include <QWidget>

namespace ulmaro {

class ElidedLabel;
class IconResolver;

/// A suggested file, shown only: its 22-pixel icon, its name cut at the end and its path
/// cut in the middle, each on one line. GUI thread only.
class SuggestionRow final : public QWidget {
    Q_OBJECT
public:
    static constexpr int iconSide = 22;

    /// `icons` may be null: the row then shows no icon.
    SuggestionRow(const RankedRow& row, IconResolver* icons, QWidget* parent = nullptr);

    const ElidedLabel& nameLabel() const { return *name_; }
    const ElidedLabel& pathLabel() const { return *path_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ElidedLabel* name_;
    ElidedLabel* path_;
};

} // namespace ulmaro
