#include "UlmaroAppKit/Panel/PanelKeyRules.h"

namespace ulmaro::PanelKeyRules {

Decision classify(const PanelKeyPress& key, const Context& context) {
    using Kind = Decision::Kind;
    if (key.text == " " && !key.modifiers.ctrl && context.browsingResults && context.hasPreviewPath)
        return {Kind::toggleQuickLook};
    if (!key.ctrlOnly()) return {};
    if (context.handlesFilterDigits && !key.text.empty() && key.text[0] >= '0' &&
        key.text[0] <= '9')
        return {Kind::filterDigit, key.text[0]};
    if (context.handlesReveal &&
        (key.key == PanelKeyPress::Key::returnKey || key.key == PanelKeyPress::Key::keypadEnter))
        return {Kind::reveal};
    return {};
}

bool fieldSelectionIsDeliberate(int length, bool completionShowing) {
    return length >= 1 && !completionShowing;
}

CopyOutcome copy(const std::function<bool()>& fieldHasSelectedText,
                 const std::function<bool()>& copyPath) {
    if (fieldHasSelectedText && fieldHasSelectedText()) return CopyOutcome::fieldCopy;
    if (copyPath && copyPath()) return CopyOutcome::pathCopied;
    return CopyOutcome::fieldCopy;
}

} // namespace ulmaro::PanelKeyRules
