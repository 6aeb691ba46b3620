#pragma once

#include "UlmaroAppKit/Search/RankedRow.h"

#include <QIcon>
#include <QWidget>

namespace ulmaro {

/// One result row: its icon, its name and the folder that holds it. The caller sets the
/// height (36, or 52 with a contents line) and the selection.
class ResultRowView final : public QWidget {
    Q_OBJECT
public:
    ResultRowView(RankedRow row, bool isSelected, QIcon icon, QWidget* parent = nullptr);

    const RankedRow& row() const { return row_; }
    bool isSelected() const { return isSelected_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    RankedRow row_;
    bool isSelected_;
    QIcon icon_;
};

} // namespace ulmaro
