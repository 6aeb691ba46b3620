#include "UlmaroAppKit/UI/Panel/PanelKeyCallbacks.h"

#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/Panel/PanelKeyRules.h"
#include "UlmaroAppKit/Panel/QuickFilter.h"
#include "UlmaroAppKit/Shell/AppCoordinator.h"
#include "UlmaroAppKit/UI/Panel/OverlayPanel.h"

#include <QLineEdit>
#include <QPointer>

namespace ulmaro::PanelKeyCallbacks {

void install(OverlayPanel& panel, const std::shared_ptr<AppCoordinator>& coordinator) {
    const std::weak_ptr<AppCoordinator> weak = coordinator;
    auto model = [weak]() -> OverlayViewModel* {
        auto app = weak.lock();
        return app ? &app->overlayViewModel() : nullptr;
    };
    panel.previewURLProvider = [model]() -> std::optional<std::string> {
        auto* m = model();
        return m ? m->selectedPath() : std::nullopt;
    };
    panel.onQuickLookMove = [model](int step) {
        if (auto* m = model()) m->moveSelection(step);
    };
    panel.isBrowsingResults = [model] {
        auto* m = model();
        return m && m->isBrowsingResults.get();
    };
    panel.onFilterDigit = [model](char digit) {
        auto* m = model();
        if (!m) return;
        const auto filter = QuickFilter::forDigit(std::string_view(&digit, 1));
        if (!filter) return;
        if (m->activeFilter.get() == filter)
            m->activeFilter.set(std::nullopt);
        else
            m->activeFilter.set(filter);
    };
    panel.onFindCopies = [model] {
        if (auto* m = model()) m->findCopiesOfSelected();
    };
    panel.onCopyPath = [model] {
        auto* m = model();
        return m && m->copySelectedPath();
    };
    panel.onToggleCheatSheet = [model] {
        if (auto* m = model()) m->toggleCheatSheet();
    };
    panel.onOpenTerminal = [model] {
        if (auto* m = model()) m->openTerminalAtSelected();
    };
    panel.fieldHasSelectedText = [model, window = QPointer<OverlayPanel>(&panel)] {
        auto* m = model();
        if (!m || !window) return false;
        const QLineEdit* field = OverlayPanel::firstTextField(window);
        if (!field) return false;
        return PanelKeyRules::fieldSelectionIsDeliberate(int(field->selectedText().size()),
                                                         m->inlineCompletion.get().has_value());
    };
    panel.onReveal = [weak] {
        auto app = weak.lock();
        if (app && app->overlayViewModel().revealSelected()) app->dismissOverlay();
    };
}

} // namespace ulmaro::PanelKeyCallbacks
