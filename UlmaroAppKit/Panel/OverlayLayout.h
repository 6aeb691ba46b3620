#pragma once

#include <algorithm>

namespace ulmaro {

/// The panel's sizes in logical pixels. The result list and the cheat sheet take their
/// heights from here; the panel then grows or shrinks downwards from its top edge.
namespace OverlayLayout {

inline constexpr double cornerRadius = 14;
inline constexpr double resultRowHeight = 36;
inline constexpr double resultRowHeightWithPreview = 52;
inline constexpr double resultRowSpacing = 2;
inline constexpr double resultListPadding = 8;
inline constexpr double resultsMaxHeight = 460;
inline constexpr double cheatSheetChrome = 118;
inline constexpr double cheatSheetSearchRowHeight = 23;
inline constexpr double cheatSheetKeyRowHeight = 19;
inline constexpr double cheatSheetMaxHeight = 540;

/// The panel's size when it is made.
inline constexpr double panelWidth = 680;
inline constexpr double panelHeight = 480;

constexpr double rowHeight(bool hasPreview) {
    return hasPreview ? resultRowHeightWithPreview : resultRowHeight;
}

/// The first `previewCount` rows show a preview line; the rest are plain.
constexpr double resultsHeight(int rowCount, int previewCount) {
    if (rowCount < 1) return 0;
    const int withPreview = std::clamp(previewCount, 0, rowCount);
    const double rows =
        withPreview * resultRowHeightWithPreview + (rowCount - withPreview) * resultRowHeight;
    return std::min(resultsMaxHeight,
                    rows + (rowCount - 1) * resultRowSpacing + 2 * resultListPadding);
}

constexpr double cheatSheetHeight(int searchRows, int shortcutRows) {
    return std::min(cheatSheetMaxHeight, cheatSheetChrome + cheatSheetSearchRowHeight * searchRows +
                                             cheatSheetKeyRowHeight * shortcutRows);
}

} // namespace OverlayLayout
} // namespace ulmaro
