#pragma once

#include "UlmaroAppKit/Catalogs/CatalogBrowserModel.h"
#include "UlmaroAppKit/Catalogs/CatalogWindowActions.h"
#include "UlmaroAppKit/Catalogs/CatalogWindowState.h"
#include "UlmaroAppKit/Platform/SettingsStore.h"
#include "UlmaroAppKit/Platform/Workspace.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogBrowserView.h"
#include "UlmaroAppKit/UI/Kit/KeptWindow.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace ulmaro {

class CatalogMessageAlert;
class CatalogQuestion;
class CatalogToolbar;
class CatalogView;

/// The one catalog window of the application: `show` selects what it is asked for, builds
/// the window the first time (a `KeptWindow` titled "Catalog", autosaved as "Catalog") and
/// brings it to the front; closing only hides it. The view follows the library, the
/// pipeline and the browser model (its own, over the library) while it lives. GUI thread only.
class CatalogWindowController {
public:
    struct Dependencies {
        CatalogCoordinator& coordinator;
        MainQueue& mainQueue;
        SettingsStore& settings;
        Workspace& workspace;
        FileChooser& chooser;
        CatalogTransferring& transfers;
        /// The browser model's texts; tests fix the dates so that renders compare.
        CatalogBrowserView::Texts texts = CatalogBrowserView::modelTexts();
    };

    static constexpr int minimumWidth = 760;
    static constexpr int minimumHeight = 460;
    static constexpr int initialWidth = 900;
    static constexpr int initialHeight = 560;

    explicit CatalogWindowController(Dependencies dependencies);
    ~CatalogWindowController();
    CatalogWindowController(const CatalogWindowController&) = delete;
    CatalogWindowController& operator=(const CatalogWindowController&) = delete;

    void show(const std::optional<std::string>& catalogID,
              const std::optional<std::string>& revealPath);

    CatalogWindowState& state() { return state_; }
    CatalogWindowActions& actions() { return actions_; }
    /// The browser model, over the coordinator's library.
    CatalogBrowsing& model() { return model_; }
    /// None until the first `show`.
    QWidget* window() const { return window_.window(); }
    CatalogView* view() const { return view_; }
    CatalogMessageAlert* alert() const { return alert_.get(); }
    CatalogToolbar* toolbar() const { return toolbar_; }
    CatalogQuestion* forgetQuestion() const { return forgetQuestion_.get(); }
    CatalogQuestion* importQuestion() const { return importQuestion_.get(); }

private:
    QWidget* build();
    void refresh();
    void refreshToolbar();
    void askQuestions();

    Dependencies deps_;
    CatalogBrowserModel model_;
    CatalogWindowState state_;
    CatalogWindowActions actions_;
    KeptWindow window_;
    CatalogView* view_ = nullptr;
    CatalogToolbar* toolbar_ = nullptr;
    CatalogBrowserView* browser_ = nullptr;
    std::unique_ptr<CatalogMessageAlert> alert_;
    std::unique_ptr<CatalogQuestion> forgetQuestion_;
    std::unique_ptr<CatalogQuestion> importQuestion_;
    std::vector<Subscription> subscriptions_;
};

} // namespace ulmaro
