#include "UlmaroAppKit/Settings/SettingsForm.h"

#include "UlmaroKit/Platform/Utf8.h"

#include <algorithm>

namespace ulmaro {

SettingsForm::SettingsForm(Environment environment)
    : environment_(std::move(environment)),
      shortcut_(std::make_shared<ShortcutRowModel>(
          environment_.controller->preferences(), environment_.keyPresses,
          environment_.controller->hotKeyForwarder(), environment_.controller->hotKeyStatus)) {
    reloadLists();
}

void SettingsForm::reloadLists() {
    exclusions_ = preferences().userExclusions();
    contentFolders_ = preferences().contentIndexFolders();
    listsChanged.emit();
}

bool SettingsForm::searchThisMac() const {
    return preferences().searchThisMac();
}

void SettingsForm::setSearchThisMac(bool on) {
    preferences().setSearchThisMac(on);
    environment_.controller->searchThisMacChanged();
}

void SettingsForm::addExclusions() {
    const auto chosen = environment_.chooser->chooseFolders("Skip This Folder", true);
    if (!chosen) return;
    exclusionsMessage_ = Preferences::unstorableFolders(*chosen);
    for (const auto& path : *chosen)
        if (isValidUtf8(path)) preferences().addExclusion(path);
    reloadLists();
    environment_.controller->exclusionsChanged();
}

void SettingsForm::removeExclusion(const std::string& path) {
    exclusionsMessage_.reset();
    preferences().removeExclusion(path);
    reloadLists();
    environment_.controller->exclusionsChanged();
}

void SettingsForm::addContentFolders() {
    const auto chosen = environment_.chooser->chooseFolders("Read Contents Here", true);
    if (!chosen) return;
    contentMessage_ = Preferences::unstorableFolders(*chosen);
    for (const auto& path : *chosen)
        if (isValidUtf8(path)) preferences().addContentFolder(path);
    reloadLists();
}

void SettingsForm::removeContentFolder(const std::string& path) {
    contentMessage_.reset();
    preferences().removeContentFolder(path);
    reloadLists();
}

std::vector<CloudFolders::Folder> SettingsForm::cloudSuggestions() const {
    std::vector<CloudFolders::Folder> offered;
    if (!environment_.detectCloudFolders) return offered;
    for (auto& folder : environment_.detectCloudFolders(environment_.home))
        if (std::find(contentFolders_.begin(), contentFolders_.end(), folder.path) ==
            contentFolders_.end())
            offered.push_back(std::move(folder));
    return offered;
}

void SettingsForm::addCloudFolder(const CloudFolders::Folder& folder) {
    contentMessage_ = Preferences::unstorableFolders({folder.path});
    if (!contentMessage_) preferences().addContentFolder(folder.path);
    reloadLists();
}

bool SettingsForm::showPaths() const {
    return preferences().showPaths();
}

void SettingsForm::setShowPaths(bool on) {
    preferences().setShowPaths(on);
}

std::optional<std::size_t> SettingsForm::selectedResultLimit() const {
    const auto limit = preferences().resultLimit();
    for (std::size_t i = 0; i < resultLimitChoices.size(); ++i)
        if (resultLimitChoices[i] == limit) return i;
    return std::nullopt;
}

void SettingsForm::chooseResultLimit(std::int64_t limit) {
    const std::int64_t before = preferences().resultLimit();
    preferences().setResultLimit(limit);
    if (preferences().resultLimit() != before) environment_.controller->resultLimitChanged();
}

} // namespace ulmaro
