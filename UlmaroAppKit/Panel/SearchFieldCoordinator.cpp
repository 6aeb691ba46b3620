#include "UlmaroAppKit/Panel/SearchFieldCoordinator.h"

#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroKit/Platform/UnicodeText.h"

namespace ulmaro {

SearchFieldCoordinator::SearchFieldCoordinator(std::shared_ptr<OverlayViewModel> model,
                                               std::function<void()> onDismiss)
    : model_(std::move(model)), onDismiss_(std::move(onDismiss)) {}

int SearchFieldCoordinator::utf16Length(const std::string& text) {
    int units = 0;
    for (const char byte : text) {
        const auto b = static_cast<unsigned char>(byte);
        if ((b & 0xC0) == 0x80) continue; // a continuation byte
        units += b >= 0xF0 ? 2 : 1;       // four-byte sequences are surrogate pairs
    }
    return units;
}

void SearchFieldCoordinator::edited(const std::string& text) {
    const bool deleting =
        UnicodeText::graphemeCount(text) < UnicodeText::graphemeCount(lastFieldText_);
    lastFieldText_ = text;
    lastTypedText_ = text;
    model_->updateQuery(text, deleting);
}

bool SearchFieldCoordinator::perform(Command command) {
    auto dismissIf = [this](bool done) {
        if (done && onDismiss_) onDismiss_();
    };
    switch (command) {
    case Command::moveDown:
        model_->moveSelection(1);
        return true;
    case Command::moveUp:
        model_->moveSelection(-1);
        return true;
    case Command::insertNewline:
        dismissIf(model_->openSelected());
        return true;
    case Command::insertLineBreak:
        dismissIf(model_->revealSelected());
        return true;
    case Command::cancelOperation:
        if (model_->showingCheatSheet.get())
            model_->hideCheatSheet();
        else if (onDismiss_)
            onDismiss_();
        return true;
    case Command::deleteToBeginningOfLine:
        return model_->trashSelected();
    }
    return false;
}

std::string SearchFieldCoordinator::placeholder() const {
    if (model_->isSearchEnabled()) return "Search your computer\xE2\x80\xA6";
    // No engine after a failure: the area below says why and what to run, so the field
    // must not promise an index on its way.
    if (model_->state.get().failureIfAny()) return "No index available";
    return "Indexing your computer\xE2\x80\xA6";
}

SearchFieldCoordinator::Update SearchFieldCoordinator::update(const std::string& fieldText) {
    Update result;
    result.caretHidden = model_->isBrowsingResults.get();
    result.enabled = model_->isSearchEnabled();
    result.placeholder = placeholder();
    const auto& completion = model_->inlineCompletion.get();
    if (completion && fieldText != completion->completed && lastTypedText_ == completion->typed) {
        result.text = completion->completed;
        lastFieldText_ = completion->completed;
        // The added part starts after the typed text, moved on to a character's edge should
        // the two disagree there.
        int start = 0;
        const int typedUnits = utf16Length(completion->typed);
        for (std::string_view character : UnicodeText::graphemes(completion->completed)) {
            if (start >= typedUnits) break;
            start += utf16Length(std::string(character));
        }
        result.selectionStart = start;
        result.selectionEnd = utf16Length(completion->completed);
        return result;
    }
    if (!completion && fieldText != model_->queryText.get()) {
        result.text = model_->queryText.get();
        // Followed, so that the first character typed after a reset is judged against what
        // the field shows, and may be completed.
        lastFieldText_ = model_->queryText.get();
    }
    return result;
}

} // namespace ulmaro
