#pragma once

#include "UlmaroAppKit/Settings/HotKeyStatus.h"

#include <QWidget>
#include <cstdint>
#include <memory>

class QLabel;

namespace ulmaro {

class BrandMarkView;
class TimerService;

/// The last step when no file was found to suggest: the still mark at 64, the big count
/// (one line, shrinking to 60 % before it would wrap), "files indexed and ready", then one
/// cap per key of the summon shortcut and "from anywhere, over any app" — or, with no
/// shortcut registered, the line that says how to open Ulmaro instead. GUI thread only.
class AllSetFallback final : public QWidget {
    Q_OBJECT
public:
    static constexpr double countPixels = 40;
    static constexpr double smallestCountScale = 0.6;

    AllSetFallback(std::int64_t count, const HotKeyStatus& hotKey, QWidget* parent = nullptr,
                   std::shared_ptr<TimerService> timers = nullptr);

    void setCount(std::int64_t count);
    /// The count's text and the pixel size it is drawn at now.
    QString countText() const;
    double countPixelSize() const;
    /// The caps' texts, in order; none without a registered shortcut.
    std::vector<QString> capTexts() const;
    /// The caps themselves, in order.
    std::vector<QWidget*> caps() const;

private:
    class CountLine;
    class Cap;
    CountLine* count_;
    std::vector<Cap*> caps_;
};

} // namespace ulmaro
