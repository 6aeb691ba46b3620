#include "UlmaroAppKit/Settings/Preferences.h"

#include "UlmaroAppKit/Settings/XdgUserDirs.h"
#include "UlmaroKit/Platform/DataLocations.h"
#include "UlmaroKit/Platform/UnicodeText.h"
#include "UlmaroKit/Platform/Utf8.h"

#include <algorithm>
#include <limits>
#include <set>
#include <utility>

namespace ulmaro {
namespace {

constexpr std::string_view userExclusionsKey = "app.ulmaro.userExclusions";
constexpr std::string_view searchThisMacKey = "app.ulmaro.searchThisMac";
constexpr std::string_view hotKeyCodeKey = "app.ulmaro.hotKeyCode";
constexpr std::string_view hotKeyModifiersKey = "app.ulmaro.hotKeyModifiers";
constexpr std::string_view hasChosenContentFoldersKey = "app.ulmaro.hasChosenContentFolders";
constexpr std::string_view contentIndexFoldersKey = "app.ulmaro.contentIndexFolders";
constexpr std::string_view declinedDriveUUIDsKey = "app.ulmaro.declinedDriveUUIDs";
constexpr std::string_view catalogMigrationDoneKey = "app.ulmaro.catalogMigrationDone";
constexpr std::string_view skippedVolumeUUIDsKey = "app.ulmaro.skippedVolumeUUIDs";
constexpr std::string_view indexedTimeMachineUUIDsKey = "app.ulmaro.indexedTimeMachineUUIDs";
constexpr std::string_view resultLimitKey = "app.ulmaro.resultLimit";
constexpr std::string_view indexSystemFoldersKey = "app.ulmaro.indexSystemFolders";
constexpr std::string_view showPathsKey = "app.ulmaro.showPaths";

// Without duplicates, ordered by the NFC form; the first spelling of each text is kept.
// Text that is not UTF-8 cannot live in the settings file and is left out.
std::vector<std::string> uniqueSorted(const std::vector<std::string>& entries) {
    std::vector<std::pair<std::string, std::string>> keyed; // (NFC form, spelling)
    std::set<std::string, std::less<>> seen;
    for (const auto& entry : entries) {
        if (!isValidUtf8(entry)) continue;
        auto key = UnicodeText::composed(entry);
        if (seen.insert(key).second) keyed.emplace_back(std::move(key), entry);
    }
    std::sort(keyed.begin(), keyed.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> out;
    out.reserve(keyed.size());
    for (auto& [key, spelling] : keyed)
        out.push_back(std::move(spelling));
    return out;
}

bool contains(const std::vector<std::string>& list, const std::string& value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

std::vector<std::string> appending(std::vector<std::string> list, const std::string& value) {
    list.push_back(value);
    return list;
}

std::vector<std::string> removing(std::vector<std::string> list, const std::string& value) {
    std::erase(list, value);
    return list;
}

std::string underHome(std::string_view folder) {
    auto home = DataLocations::homeDirectory().string();
    if (!home.ends_with('/')) home.push_back('/');
    return home + std::string(folder);
}

} // namespace

Preferences::Preferences(std::shared_ptr<SettingsStore> store) : store_(std::move(store)) {}

std::vector<std::string> Preferences::list(std::string_view key) const {
    return store_->stringListValue(key).value_or(std::vector<std::string>{});
}

bool Preferences::flag(std::string_view key) const {
    return store_->boolValue(key).value_or(false);
}

bool Preferences::flagDefaultingOn(std::string_view key) const {
    return store_->boolValue(key).value_or(true);
}

void Preferences::storePathList(std::string_view key, const std::vector<std::string>& paths) {
    std::vector<std::string> trimmed;
    trimmed.reserve(paths.size());
    for (auto path : paths) {
        if (path.size() > 1 && path.ends_with('/')) path.pop_back();
        if (!path.empty()) trimmed.push_back(std::move(path));
    }
    store_->setStringList(key, uniqueSorted(trimmed));
    changed.emit();
}

void Preferences::storeUUIDList(std::string_view key, const std::vector<std::string>& uuids) {
    store_->setStringList(key, uniqueSorted(uuids));
    changed.emit();
}

std::vector<std::string> Preferences::userExclusions() const {
    return list(userExclusionsKey);
}
void Preferences::setUserExclusions(const std::vector<std::string>& paths) {
    storePathList(userExclusionsKey, paths);
}

bool Preferences::searchThisMac() const {
    return flagDefaultingOn(searchThisMacKey);
}
void Preferences::setSearchThisMac(bool on) {
    store_->setBool(searchThisMacKey, on);
    changed.emit();
}

std::optional<std::string> Preferences::unstorableFolders(const std::vector<std::string>& paths) {
    std::string message;
    for (const auto& path : paths) {
        if (isValidUtf8(path)) continue;
        if (!message.empty()) message += '\n';
        message += "\u201C" + repairUtf8(path) +
                   "\u201D can\u2019t be added: its name is not valid UTF-8, which the settings "
                   "can\u2019t hold. Rename it to add it.";
    }
    if (message.empty()) return std::nullopt;
    return message;
}

KeyCombo Preferences::hotKey() const {
    // Values outside 0…2^32−1 (only a hand edit makes them) and values of another type
    // read as the default, like an absent key.
    constexpr std::int64_t max = std::numeric_limits<std::uint32_t>::max();
    auto modifiers = store_->intValue(hotKeyModifiersKey);
    auto code = store_->intValue(hotKeyCodeKey);
    if (!modifiers || *modifiers < 1 || *modifiers > max) return KeyCombo::optionSpace;
    // A stored 0 is the A key.
    if (!code || *code < 0 || *code > max) return KeyCombo::optionSpace;
    const KeyCombo stored{static_cast<std::uint32_t>(*code),
                          static_cast<std::uint32_t>(*modifiers)};
    // A combination no shortcut may be (Shift+S, Ctrl+C), stored by an older version or by
    // hand, would take a key from every application: the default stands in for it.
    return stored.refusal() ? KeyCombo::optionSpace : stored;
}

void Preferences::setHotKey(KeyCombo combo) {
    store_->setInt(hotKeyCodeKey, combo.keyCode);
    store_->setInt(hotKeyModifiersKey, combo.modifiers);
    changed.emit();
}

bool Preferences::hasChosenContentFolders() const {
    return flag(hasChosenContentFoldersKey);
}
void Preferences::setHasChosenContentFolders(bool chosen) {
    store_->setBool(hasChosenContentFoldersKey, chosen);
    changed.emit();
}

std::vector<std::string> Preferences::contentIndexFolders() const {
    if (auto stored = store_->stringListValue(contentIndexFoldersKey)) return *stored;
    if (hasChosenContentFolders()) return {};
    return defaultContentFolders();
}
void Preferences::setContentIndexFolders(const std::vector<std::string>& paths) {
    storePathList(contentIndexFoldersKey, paths);
}

std::vector<std::string> Preferences::declinedDriveUUIDs() const {
    return list(declinedDriveUUIDsKey);
}
void Preferences::setDeclinedDriveUUIDs(const std::vector<std::string>& uuids) {
    storeUUIDList(declinedDriveUUIDsKey, uuids);
}

bool Preferences::catalogMigrationDone() const {
    return flag(catalogMigrationDoneKey);
}
void Preferences::setCatalogMigrationDone(bool done) {
    store_->setBool(catalogMigrationDoneKey, done);
}

std::vector<std::string> Preferences::skippedVolumeUUIDs() const {
    return list(skippedVolumeUUIDsKey);
}
void Preferences::setSkippedVolumeUUIDs(const std::vector<std::string>& uuids) {
    storeUUIDList(skippedVolumeUUIDsKey, uuids);
}

std::vector<std::string> Preferences::indexedTimeMachineUUIDs() const {
    return list(indexedTimeMachineUUIDsKey);
}
void Preferences::setIndexedTimeMachineUUIDs(const std::vector<std::string>& uuids) {
    storeUUIDList(indexedTimeMachineUUIDsKey, uuids);
}

std::int64_t Preferences::resultLimit() const {
    auto stored = store_->intValue(resultLimitKey);
    if (!stored || *stored <= 0) return defaultResultLimit;
    return std::clamp(*stored, minResultLimit, maxResultLimit);
}
void Preferences::setResultLimit(std::int64_t limit) {
    store_->setInt(resultLimitKey, std::clamp(limit, minResultLimit, maxResultLimit));
    changed.emit();
}

bool Preferences::indexSystemFolders() const {
    return flag(indexSystemFoldersKey);
}
void Preferences::setIndexSystemFolders(bool on) {
    store_->setBool(indexSystemFoldersKey, on);
}

bool Preferences::showPaths() const {
    return flagDefaultingOn(showPathsKey);
}
void Preferences::setShowPaths(bool on) {
    store_->setBool(showPathsKey, on);
    changed.emit();
}

bool Preferences::hasChosenSystemFolders() const {
    return store_->contains(indexSystemFoldersKey);
}

std::vector<std::string> Preferences::defaultContentFolders() {
    std::vector<std::string> folders;
    for (auto [name, fallback] :
         {std::pair{"DOCUMENTS", "Documents"}, std::pair{"DESKTOP", "Desktop"},
          std::pair{"DOWNLOAD", "Downloads"}})
        folders.push_back(XdgUserDirs::find(name).value_or(underHome(fallback)));
    return folders;
}

ScanPolicy Preferences::scanPolicy(const ScanPolicy& base) const {
    auto exclusions = userExclusions();
    if (exclusions.empty()) return base;
    return base.adding(exclusions);
}

void Preferences::addExclusion(const std::string& path) {
    setUserExclusions(appending(userExclusions(), path));
}

void Preferences::removeExclusion(const std::string& path) {
    setUserExclusions(removing(userExclusions(), path));
}

void Preferences::addContentFolder(const std::string& path) {
    setContentIndexFolders(appending(contentIndexFolders(), path));
}

void Preferences::removeContentFolder(const std::string& path) {
    auto kept = removing(contentIndexFolders(), path);
    setHasChosenContentFolders(true);
    setContentIndexFolders(kept);
}

void Preferences::confirmContentFolders() {
    setContentIndexFolders(contentIndexFolders());
    setHasChosenContentFolders(true);
}

void Preferences::declineDrive(const std::string& uuid) {
    setDeclinedDriveUUIDs(appending(declinedDriveUUIDs(), uuid));
}

void Preferences::undeclineDrive(const std::string& uuid) {
    setDeclinedDriveUUIDs(removing(declinedDriveUUIDs(), uuid));
}

bool Preferences::shouldIndex(const MountedVolume& volume) const {
    if (volume.isTimeMachineDestination) return contains(indexedTimeMachineUUIDs(), volume.uuid);
    return !contains(skippedVolumeUUIDs(), volume.uuid);
}

void Preferences::setIndexing(const MountedVolume& volume, bool enabled) {
    if (volume.isTimeMachineDestination) {
        auto list = indexedTimeMachineUUIDs();
        setIndexedTimeMachineUUIDs(enabled ? appending(list, volume.uuid)
                                           : removing(list, volume.uuid));
    } else {
        auto list = skippedVolumeUUIDs();
        setSkippedVolumeUUIDs(enabled ? removing(list, volume.uuid) : appending(list, volume.uuid));
    }
}

} // namespace ulmaro
