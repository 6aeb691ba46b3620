#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace ulmaro {

class OverlayViewModel;

/// The search field's logic without a widget: what an edit tells the view model, what the
/// field's keys do, and how the field follows the model. Main thread only.
class SearchFieldCoordinator {
public:
    /// The field's commands, whichever keys make them.
    enum class Command {
        moveDown,
        moveUp,
        /// Return and keypad Enter: open.
        insertNewline,
        /// Alt+Return: reveal.
        insertLineBreak,
        /// Escape.
        cancelOperation,
        /// Ctrl+Backspace: trash the selected row, or delete the text before the caret.
        deleteToBeginningOfLine,
    };

    /// How the field is to look after `update`.
    struct Update {
        /// The text to put in the field; none leaves it.
        std::optional<std::string> text;
        /// Select from `selectionStart` to `selectionEnd`, in UTF-16 units (a completion's
        /// added part).
        std::optional<int> selectionStart;
        std::optional<int> selectionEnd;
        bool enabled = true;
        std::string placeholder;
        /// While the user moves through the results the caret is hidden.
        bool caretHidden = false;
    };

    /// `onDismiss` hides the panel.
    SearchFieldCoordinator(std::shared_ptr<OverlayViewModel> model,
                           std::function<void()> onDismiss);

    /// The user changed the text to `text`: it is deleting when it has fewer characters
    /// (grapheme clusters) than the field last held.
    void edited(const std::string& text);
    /// Performs a command; false when it is not handled and the field does its own thing
    /// (Ctrl+Backspace without a row it could trash).
    bool perform(Command command);
    /// Brings the field in line with the model, given what it shows now. A completion made
    /// for what the user last typed is shown with its added part selected; otherwise the
    /// field takes the model's query (and remembers it as its text).
    Update update(const std::string& fieldText);
    /// What the empty field says: searching, the first build on its way, or no index.
    std::string placeholder() const;

    const std::string& lastTypedText() const { return lastTypedText_; }
    const std::string& lastFieldText() const { return lastFieldText_; }

    /// The number of UTF-16 units of UTF-8 text.
    static int utf16Length(const std::string& text);

private:
    std::shared_ptr<OverlayViewModel> model_;
    std::function<void()> onDismiss_;
    std::string lastTypedText_;
    std::string lastFieldText_;
};

} // namespace ulmaro
