#include "UlmaroAppKit/Panel/InlineCompletionPolicy.h"

#include "UlmaroKit/Platform/UnicodeText.h"
#include "UlmaroKit/Scanning/AppRule.h"

namespace ulmaro {

CharacterRange InlineCompletion::suggestedRange() const {
    return {UnicodeText::graphemeCount(typed), UnicodeText::graphemeCount(completed)};
}

namespace InlineCompletionPolicy {
namespace {

// Whether `text` is the first characters of `name`, letter case ignored and canonically
// equivalent spellings alike; a match that ends inside one of the name's characters is none.
bool beginsWithIgnoringCase(std::string_view name, std::string_view text) {
    const std::string folded = UnicodeText::composed(UnicodeText::lowercased(name));
    const std::string prefix = UnicodeText::composed(UnicodeText::lowercased(text));
    if (!folded.starts_with(prefix)) return false;
    const auto count = UnicodeText::graphemeCount(prefix);
    return UnicodeText::graphemePrefix(folded, count).size() == prefix.size();
}

} // namespace

std::optional<InlineCompletion> completion(std::string_view text,
                                           const std::optional<TopRow>& topRow, bool isDeleting) {
    if (isDeleting || text.empty() || !topRow) return std::nullopt;
    if (text.find_first_of(": ") != std::string_view::npos) return std::nullopt;
    const std::string_view name = topRow->isApp ? appDisplayName(topRow->name) : topRow->name;
    const std::size_t typedCount = UnicodeText::graphemeCount(text);
    if (typedCount >= UnicodeText::graphemeCount(name)) return std::nullopt;
    if (!beginsWithIgnoringCase(name, text)) return std::nullopt;
    const std::string_view rest = name.substr(UnicodeText::graphemePrefix(name, typedCount).size());
    return InlineCompletion{std::string(text),  std::string(text) + std::string(rest),
                            topRow->id,         std::string(name),
                            topRow->path,       topRow->isApp,
                            topRow->isDirectory};
}

} // namespace InlineCompletionPolicy
} // namespace ulmaro
