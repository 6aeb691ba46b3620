#pragma once

#include <functional>
#include <string>

namespace ulmaro {

/// Shows and hides the offer to catalog a drive. The application's presenter is the Qt
/// `CatalogPromptPanel`; the shell takes any other in its place. Main thread only.
class CatalogPromptPresenting {
public:
    virtual ~CatalogPromptPresenting() = default;

    /// Shows an offer headed `title`, replacing one already on screen; the callbacks run
    /// when the user picks "Catalog" or "Not this drive".
    virtual void present(const std::string& title, std::function<void()> onCatalog,
                         std::function<void()> onDecline) = 0;
    /// Takes the offer off the screen; nothing when none is shown.
    virtual void dismiss() = 0;
};

} // namespace ulmaro
