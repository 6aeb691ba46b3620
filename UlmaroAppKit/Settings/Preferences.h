#pragma once

#include "UlmaroAppKit/Platform/Observable.h"
#include "UlmaroAppKit/Platform/SettingsStore.h"
#include "UlmaroAppKit/Settings/KeyCombo.h"
#include "UlmaroKit/Scanning/MountedVolume.h"
#include "UlmaroKit/Scanning/ScanPolicy.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ulmaro {

/// The shell's settings over a settings store. It keeps no copy of any value: every read
/// goes to the store, so several objects over one store agree, and a value of the wrong
/// type reads as the key's default without being touched. The app makes one and hands it
/// to everything that needs it. Main thread only.
///
/// Path lists are stored with one trailing "/" dropped, without empty entries, without
/// duplicates (by their NFC form; the first spelling wins) and sorted by their NFC form.
/// UUID lists lose only duplicates and are sorted the same way. Entries that are not UTF-8
/// cannot be stored in the settings file and are left out.
class Preferences {
public:
    static constexpr std::int64_t defaultResultLimit = 200;
    static constexpr std::int64_t minResultLimit = 10;
    static constexpr std::int64_t maxResultLimit = 1000;

    explicit Preferences(std::shared_ptr<SettingsStore> store);

    /// Fires after each write that the settings window redraws for, once the value is
    /// stored; writes of `catalogMigrationDone` and `indexSystemFolders` fire nothing.
    Signal<> changed;

    SettingsStore& store() const { return *store_; }

    std::vector<std::string> userExclusions() const;
    void setUserExclusions(const std::vector<std::string>& paths);

    /// Whether this computer's own disks are indexed; only a stored false turns it off.
    bool searchThisMac() const;
    void setSearchThisMac(bool on);

    /// The stored shortcut; Alt+Space when none is stored, or when the stored one could
    /// never be a shortcut (`KeyCombo::refusal`).
    KeyCombo hotKey() const;
    /// Stored unchecked: the caller stores only valid combinations.
    void setHotKey(KeyCombo combo);

    bool hasChosenContentFolders() const;
    void setHasChosenContentFolders(bool chosen);

    /// The stored list (even an empty one); else nothing once chosen, else the defaults.
    std::vector<std::string> contentIndexFolders() const;
    void setContentIndexFolders(const std::vector<std::string>& paths);

    std::vector<std::string> declinedDriveUUIDs() const;
    void setDeclinedDriveUUIDs(const std::vector<std::string>& uuids);

    bool catalogMigrationDone() const;
    void setCatalogMigrationDone(bool done);

    std::vector<std::string> skippedVolumeUUIDs() const;
    void setSkippedVolumeUUIDs(const std::vector<std::string>& uuids);

    std::vector<std::string> indexedTimeMachineUUIDs() const;
    void setIndexedTimeMachineUUIDs(const std::vector<std::string>& uuids);

    /// 200 when nothing positive is stored, else clamped to 10…1000.
    std::int64_t resultLimit() const;
    /// Clamped to 10…1000 (0 stores 10).
    void setResultLimit(std::int64_t limit);

    bool indexSystemFolders() const;
    void setIndexSystemFolders(bool on);

    /// Only a stored false hides paths.
    bool showPaths() const;
    void setShowPaths(bool on);

    /// Whether anything at all is stored under the system-folders key, whatever its type.
    bool hasChosenSystemFolders() const;

    /// The documents, desktop and download folders, in that order: those that
    /// `user-dirs.dirs` in the XDG config folder names, else home + "/Documents",
    /// "/Desktop", "/Downloads".
    static std::vector<std::string> defaultContentFolders();

    /// Folders that cannot be stored because their path is not UTF-8 (the settings file
    /// holds only UTF-8): one sentence per such folder, naming it, for where folders are
    /// added; none when every path can be stored.
    static std::optional<std::string> unstorableFolders(const std::vector<std::string>& paths);

    /// `base` with the user's exclusions added.
    ScanPolicy scanPolicy(const ScanPolicy& base) const;

    void addExclusion(const std::string& path);
    /// Removes entries exactly equal to `path` (no normalising).
    void removeExclusion(const std::string& path);
    void addContentFolder(const std::string& path);
    /// Marks the folders chosen, then writes the rest.
    void removeContentFolder(const std::string& path);
    /// Stores the folders now in effect and marks them chosen.
    void confirmContentFolders();
    void declineDrive(const std::string& uuid);
    /// Writes the list back even when the UUID was not in it.
    void undeclineDrive(const std::string& uuid);

    /// A Time Machine destination only when chosen; any other volume unless skipped.
    bool shouldIndex(const MountedVolume& volume) const;
    void setIndexing(const MountedVolume& volume, bool enabled);

private:
    std::vector<std::string> list(std::string_view key) const;
    bool flag(std::string_view key) const;
    bool flagDefaultingOn(std::string_view key) const;
    void storePathList(std::string_view key, const std::vector<std::string>& paths);
    void storeUUIDList(std::string_view key, const std::vector<std::string>& uuids);

    std::shared_ptr<SettingsStore> store_;
};

} // namespace ulmaro
