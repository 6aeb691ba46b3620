#pragma once

#include <QWidget>
#include <string>

namespace ulmaro {

/// The search-syntax help shown in place of the results; `summonKey` is the shortcut that
/// summons the panel, as shown ("Alt+Space").
class CheatSheetView final : public QWidget {
    Q_OBJECT
public:
    explicit CheatSheetView(std::string summonKey, QWidget* parent = nullptr);

    const std::string& summonKey() const { return summonKey_; }

private:
    std::string summonKey_;
};

} // namespace ulmaro
