#include "UlmaroAppKit/Panel/PanelMenu.h"

#include "UlmaroAppKit/Panel/OverlayViewModel.h"

namespace ulmaro::PanelMenu {

std::vector<PanelMenuItem> forResult(std::shared_ptr<OverlayViewModel> model, RankedRow row,
                                     std::function<void()> preview) {
    // Items hold the model weakly: a menu may outlive the panel's content.
    std::weak_ptr<OverlayViewModel> weak = model;
    auto on = [weak, row](auto operation) {
        return [weak, row, operation] {
            if (auto m = weak.lock()) operation(*m, row);
        };
    };
    return {
        {"Open", on([](OverlayViewModel& m, const RankedRow& r) { m.open(r); })},
        {"Reveal in File Manager",
         on([](OverlayViewModel& m, const RankedRow& r) { m.reveal(r); })},
        {"Preview", on([preview](OverlayViewModel& m, const RankedRow& r) {
             m.select(r);
             if (preview) preview();
         })},
        {"Other Copies", on([](OverlayViewModel& m, const RankedRow& r) { m.findCopies(r); })},
        PanelMenuItem::divider(),
        {"Copy Path", on([](OverlayViewModel& m, const RankedRow& r) { m.copyPath(r); })},
        {"Copy Name", on([](OverlayViewModel& m, const RankedRow& r) { m.copyName(r); })},
        PanelMenuItem::divider(),
        {"Move to Trash", on([](OverlayViewModel& m, const RankedRow& r) { m.trash(r); })},
    };
}

std::vector<PanelMenuItem> forRecentFile(std::shared_ptr<OverlayViewModel> model,
                                         RecentFileEntry entry, std::function<void()> preview,
                                         std::function<void()> onDismiss) {
    std::weak_ptr<OverlayViewModel> weak = model;
    auto on = [weak, entry](auto operation) {
        return [weak, entry, operation] {
            if (auto m = weak.lock()) operation(*m, entry);
        };
    };
    return {
        {"Open", on([onDismiss](OverlayViewModel& m, const RecentFileEntry& e) {
             m.selectRecentFile(e);
             if (onDismiss) onDismiss();
         })},
        {"Reveal in File Manager",
         on([](OverlayViewModel& m, const RecentFileEntry& e) { m.reveal(e); })},
        {"Preview", on([preview](OverlayViewModel& m, const RecentFileEntry& e) {
             m.select(e);
             if (preview) preview();
         })},
        {"Open Terminal Here",
         on([](OverlayViewModel& m, const RecentFileEntry& e) { m.openTerminal(e); })},
        PanelMenuItem::divider(),
        {"Copy Path", on([](OverlayViewModel& m, const RecentFileEntry& e) { m.copyPath(e); })},
        {"Copy Name", on([](OverlayViewModel& m, const RecentFileEntry& e) { m.copyName(e); })},
    };
}

} // namespace ulmaro::PanelMenu
