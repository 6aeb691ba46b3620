#pragma once

#include "UlmaroAppKit/Panel/CheatSheetLayout.h"

#include <QScrollArea>
#include <string>

namespace ulmaro {

/// The search-syntax help shown in place of the results: the groups in two balanced
/// columns, then the panel's keys beside the filter keys. `summonKey` is the shortcut that
/// summons the panel, as shown ("Alt+Space"). Its height follows the tables up to 540, then
/// it scrolls.
class CheatSheetView final : public QScrollArea {
    Q_OBJECT
public:
    explicit CheatSheetView(std::string summonKey, QWidget* parent = nullptr);

    const std::string& summonKey() const { return summonKey_; }

    /// The real help groups, split.
    static CheatSheetLayout::Columns columns();
    static int searchRowCount();
    /// The sheet's height for the real tables.
    static int sheetHeight();

    /// Width of the keys column: 62, or the widest key text when wider.
    int keyColumnWidth() const { return keyColumnWidth_; }

private:
    std::string summonKey_;
    int keyColumnWidth_ = 62;
};

} // namespace ulmaro
