#include "UlmaroAppKit/Panel/ResultAreaRules.h"

namespace ulmaro::ResultAreaRules {

EmptyState emptyState(const OverlayViewModel& model) {
    if (model.isFirstRun.get()) return EmptyState::nothing;
    if (!model.recentSearches().empty() || !model.recentFiles().empty()) return EmptyState::recents;
    return EmptyState::hint;
}

bool showsAttributeNotice(const OverlayViewModel& model) {
    return model.attributeDataIncomplete.get() && model.currentQueryNeedsAttributes();
}

std::vector<StatusLineContent> statusLines(const OverlayViewModel& model) {
    const auto& state = model.state.get();
    if (const auto* failure = state.failureIfAny())
        return {{failure->message, "exclamationmark.triangle", std::nullopt, 18}};
    if (state.isNoMatches()) {
        std::vector<StatusLineContent> lines{
            {noMatchesTitle(!model.rescues().empty()), "questionmark.circle", std::nullopt, 18}};
        if (auto warning = model.coverageWarning())
            lines.push_back(
                {std::move(*warning), "exclamationmark.triangle", model.coverageExamples(), 8});
        return lines;
    }
    if (state.isIdle() && emptyState(model) == EmptyState::hint)
        return {{model.emptyStateHint(), "sparkle.magnifyingglass", std::nullopt, 18}};
    return {};
}

std::string noMatchesTitle(bool hasRescues) {
    return hasRescues ? "No file is named that" : "No matches";
}

std::string rescueTitle(OverlayViewModel::Rescue rescue, std::string_view query) {
    const auto first = query.find_first_not_of(" \t");
    const std::string_view q = first == std::string_view::npos
                                   ? std::string_view()
                                   : query.substr(first, query.find_last_not_of(" \t") - first + 1);
    const std::string quoted = "\xE2\x80\x9C" + std::string(q) + "\xE2\x80\x9D";
    return rescue == OverlayViewModel::Rescue::searchInsideFiles
               ? "Look inside documents for " + quoted
               : "Look for a folder called " + quoted;
}

std::string_view rescueSymbol(OverlayViewModel::Rescue rescue) {
    return rescue == OverlayViewModel::Rescue::searchInsideFiles ? "doc.text.magnifyingglass"
                                                                 : "folder.badge.questionmark";
}

} // namespace ulmaro::ResultAreaRules
