#pragma once

#include "UlmaroAppKit/Panel/PanelKeyPress.h"

#include <functional>

namespace ulmaro {

/// The panel's own keys, applied before the search field sees a key.
namespace PanelKeyRules {

/// What the panel knows when a key arrives.
struct Context {
    /// The user has moved into the result list rather than typing.
    bool browsingResults = false;
    /// The selection has a path to preview.
    bool hasPreviewPath = false;
    /// A handler for Ctrl+digit is installed.
    bool handlesFilterDigits = false;
    /// A handler for Ctrl+Return is installed.
    bool handlesReveal = false;
};

struct Decision {
    enum class Kind {
        /// The key goes on to the field and the window's shortcuts.
        passOn,
        toggleQuickLook,
        /// `digit` ("0" to "9") goes to the filter handler; the key is swallowed whether
        /// or not a filter has that digit.
        filterDigit,
        reveal,
    };
    Kind kind = Kind::passOn;
    char digit = 0;
    friend bool operator==(const Decision&, const Decision&) = default;
};

/// Space without Ctrl while browsing a selection with a path toggles the preview; Ctrl
/// alone with a digit (the keypad's too) is a filter key; Ctrl alone with Return or the
/// keypad's Enter reveals.
Decision classify(const PanelKeyPress& key, const Context& context);

/// A selection in the field is the user's own when it holds at least one character and
/// is not the inline completion's suggested tail.
bool fieldSelectionIsDeliberate(int length, bool completionShowing);

enum class CopyOutcome {
    /// The field's own copy runs (the selected query text, or whatever it does).
    fieldCopy,
    /// The selected result's path is on the clipboard.
    pathCopied,
};

/// Ctrl+C: the user's selection in the field wins, then the selected result's path, then
/// the field's ordinary copy. Unset closures count as false.
CopyOutcome copy(const std::function<bool()>& fieldHasSelectedText,
                 const std::function<bool()>& copyPath);

} // namespace PanelKeyRules
} // namespace ulmaro
