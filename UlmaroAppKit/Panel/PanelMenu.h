#pragma once

#include "UlmaroAppKit/Panel/RecentFileEntry.h"
#include "UlmaroAppKit/Search/RankedRow.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ulmaro {

class OverlayViewModel;

/// One entry of a context menu: a title with its action, or a divider (no title). The
/// toolkit only shows them.
struct PanelMenuItem {
    std::string title;
    std::function<void()> action;

    static PanelMenuItem divider() { return {}; }
    bool isDivider() const { return title.empty(); }
};

/// The panel's context menus, without shortcuts. Every item first makes its row the
/// selection, so the operation acts on the row whose menu was used.
namespace PanelMenu {

/// "Open", "Reveal in File Manager", "Preview", "Other Copies" | "Copy Path", "Copy Name" |
/// "Move to Trash". "Open" leaves the panel to the model's own hook; `preview` toggles the
/// preview as Ctrl+Y does.
std::vector<PanelMenuItem> forResult(std::shared_ptr<OverlayViewModel> model, RankedRow row,
                                     std::function<void()> preview);

/// "Open", "Reveal in File Manager", "Preview", "Open Terminal Here" | "Copy Path",
/// "Copy Name". "Open" takes the recent-file road and then `onDismiss`.
std::vector<PanelMenuItem> forRecentFile(std::shared_ptr<OverlayViewModel> model,
                                         RecentFileEntry entry, std::function<void()> preview,
                                         std::function<void()> onDismiss);

} // namespace PanelMenu
} // namespace ulmaro
