#pragma once

#include <QWidget>
#include <optional>
#include <string>

class QLabel;

namespace ulmaro {

class ElidedLabel;

/// The panel's one-line status message: a symbol, a text and an optional detail line, cut
/// at its tail with the whole detail as tooltip.
class StatusLine final : public QWidget {
    Q_OBJECT
public:
    StatusLine(std::string text, std::string systemImage, std::optional<std::string> detail,
               int verticalPadding, QWidget* parent = nullptr);

    QString text() const;
    const std::string& systemImage() const { return systemImage_; }
    /// None when the line has no detail.
    std::optional<QString> detail() const;
    /// The detail as drawn at the line's width.
    std::optional<QString> shownDetail() const;

private:
    std::string systemImage_;
    QLabel* text_;
    ElidedLabel* detail_ = nullptr;
};

} // namespace ulmaro
