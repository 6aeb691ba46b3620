#pragma once

#include <QWidget>
#include <optional>
#include <string>

class QLabel;

namespace ulmaro {

/// The panel's one-line status message: a symbol, a text and an optional detail line.
class StatusLine final : public QWidget {
    Q_OBJECT
public:
    StatusLine(std::string text, std::string systemImage, std::optional<std::string> detail,
               int verticalPadding, QWidget* parent = nullptr);

    QString text() const;
    const std::string& systemImage() const { return systemImage_; }
    /// None when the line has no detail.
    std::optional<QString> detail() const;

private:
    std::string systemImage_;
    QLabel* text_;
    QLabel* detail_ = nullptr;
};

} // namespace ulmaro
