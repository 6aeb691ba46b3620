#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ulmaro {

/// Positions in characters (grapheme clusters), `begin` up to but not including `end`.
struct CharacterRange {
    std::size_t begin = 0;
    std::size_t end = 0;

    friend bool operator==(const CharacterRange&, const CharacterRange&) = default;
};

/// The search field's completion in place: `completed` is shown with the part after
/// `typed` selected, so that typing on replaces it.
struct InlineCompletion {
    /// The query text exactly as typed.
    std::string typed;
    /// `typed` followed by the rest of the row's name.
    std::string completed;
    std::uint32_t rowID = 0;
    /// The name as completed: an application's without the ending that makes it one.
    std::string rowName;
    /// Raw bytes.
    std::string rowPath;
    bool isApp = false;
    /// The row is a folder: the hint beside the field shows a folder's icon.
    bool isDirectory = false;

    /// Where the completed part lies in `completed`.
    CharacterRange suggestedRange() const;

    friend bool operator==(const InlineCompletion&, const InlineCompletion&) = default;
};

} // namespace ulmaro
