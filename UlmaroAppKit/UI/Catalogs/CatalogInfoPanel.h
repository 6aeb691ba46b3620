#pragma once

#include "UlmaroAppKit/Catalogs/CatalogBrowsing.h"

#include <QWidget>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QVBoxLayout;

namespace ulmaro {

/// The catalog's facts beside the browser's list: a section headed by its name with one
/// row per information line, label and value verbatim, and a second section with its last
/// scan error, in orange, only while there is one.
class CatalogInfoPanel final : public QWidget {
    Q_OBJECT
public:
    explicit CatalogInfoPanel(QWidget* parent = nullptr);

    void show(const std::string& name, const std::vector<CatalogBrowsing::InfoLine>& lines,
              const std::optional<std::string>& lastError);

    QLabel& header() const { return *header_; }
    /// The label and value texts shown, in order.
    std::vector<std::pair<QString, QString>> rows() const;
    /// The error text shown, none while its section is hidden.
    std::optional<QString> errorText() const;

private:
    QLabel* header_;
    QWidget* facts_;
    QWidget* errorSection_;
    QLabel* error_;
};

} // namespace ulmaro
