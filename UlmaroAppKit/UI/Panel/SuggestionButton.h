#pragma once

#include "UlmaroAppKit/Search/RankedRow.h"

#include <QAbstractButton>

namespace ulmaro {

/// A suggested file drawn without button chrome: "folder" or "doc", then its path in
/// monospace, cut in the middle so that both ends stay. GUI thread only.
class SuggestionButton final : public QAbstractButton {
    Q_OBJECT
public:
    SuggestionButton(const RankedRow& row, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    const char* symbol() const { return symbol_; }
    /// The path as drawn at the button's width.
    QString shownPath() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static constexpr int symbolSize = 12;
    static constexpr int spacing = 8;
    const char* symbol_;
    QString path_;
};

} // namespace ulmaro
