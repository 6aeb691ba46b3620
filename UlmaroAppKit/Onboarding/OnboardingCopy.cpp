#include "UlmaroAppKit/Onboarding/OnboardingCopy.h"

#include "UlmaroAppKit/Indexing/IndexHealth.h"
#include "UlmaroAppKit/Settings/KeyCombo.h"

namespace ulmaro::OnboardingCopy {

std::string moreDrives(std::int64_t count) {
    return "and " + std::to_string(count) + " more";
}

std::string readyHotkeyLineFor(std::string_view shortcut) {
    return "Press " + std::string(shortcut) +
           " to open Ulmaro from anywhere — in any app, any time.";
}

std::string hotkeyLine(std::string_view shortcut) {
    return "Press " + std::string(shortcut) + " to open Ulmaro from anywhere.";
}

std::string tryTheseFooter(std::int64_t indexedCount) {
    return "Searched all " + IndexHealth::count(indexedCount) +
           " files on this computer to find these.";
}

std::string allSetCountLine(std::int64_t indexedCount) {
    return IndexHealth::count(indexedCount) + " files indexed and ready";
}

const std::vector<std::string>& all() {
    static const std::vector<std::string> texts = [] {
        constexpr std::int64_t sampleCount = 1'845'603;
        std::vector<std::string> list;
        for (auto text : {welcomeTitle,        welcomeTagline,
                          welcomeBody,         welcomeQuestion,
                          welcomeButton,       welcomeCatalogOnlyButton,
                          indexingTitle,       indexingFoundSoFar,
                          indexingPrivacy,     continueInBackgroundButton,
                          continueButton,      readyHotkeyLine,
                          readyNoHotkeyLine,   privacyHeadline,
                          privacyDetail,       privacyNamesOnly,
                          privacyNoIndex,      contentTitle,
                          contentBody,         contentAddButton,
                          contentNoneSelected, searchTitle,
                          searchLead,          searchCheatSheetLine,
                          drivesTitle,         drivesBody,
                          drivesUnpluggedNote})
            list.emplace_back(text);
        list.push_back(moreDrives(2));
        list.push_back(readyHotkeyLineFor(KeyCombo::optionSpace.display()));
        list.emplace_back(tryTheseHeader);
        list.push_back(tryTheseFooter(sampleCount));
        list.emplace_back(doneButton);
        list.emplace_back(allSetTitle);
        list.push_back(allSetCountLine(sampleCount));
        return list;
    }();
    return texts;
}

} // namespace ulmaro::OnboardingCopy
