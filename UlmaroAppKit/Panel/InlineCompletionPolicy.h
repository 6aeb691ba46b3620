#pragma once

#include "UlmaroAppKit/Panel/InlineCompletion.h"

#include <optional>
#include <string>
#include <string_view>

namespace ulmaro {

/// Whether the search field completes the typed text from the best result, and how.
namespace InlineCompletionPolicy {

/// The best result, as the completion needs it.
struct TopRow {
    std::uint32_t id = 0;
    /// Valid UTF-8 (the row's repaired name).
    std::string name;
    std::string path;
    bool isApp = false;
    bool isDirectory = false;
};

/// None while deleting, for an empty text, without a row, for a text holding ":" or " "
/// (filters and several words are never completed), and unless the row's name (an
/// application's without its ending) is longer than the text and begins with it, letter
/// case ignored. Counts and comparisons are by character, so a prefix never ends inside
/// one (an emoji with its modifier, a letter with its accent).
std::optional<InlineCompletion> completion(std::string_view text,
                                           const std::optional<TopRow>& topRow, bool isDeleting);

} // namespace InlineCompletionPolicy
} // namespace ulmaro
