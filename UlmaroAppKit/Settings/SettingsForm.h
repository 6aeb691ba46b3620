#pragma once

#include "UlmaroAppKit/Indexing/CloudFolders.h"
#include "UlmaroAppKit/Platform/FileChooser.h"
#include "UlmaroAppKit/Platform/Observable.h"
#include "UlmaroAppKit/Settings/SettingsWindowController.h"
#include "UlmaroAppKit/Settings/ShortcutRowModel.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

/// The rules of the settings form, toolkit-free: every control reads the settings and
/// writes a change at once. The two lists are what the form shows, reloaded when the window
/// is shown and after each change made in it. Main thread only.
class SettingsForm {
public:
    struct Environment {
        std::shared_ptr<SettingsWindowController> controller{};
        std::shared_ptr<FileChooser> chooser{};
        std::shared_ptr<KeyPressSource> keyPresses{};
        /// Cloud folders are looked for here.
        std::string home{};
        std::function<std::vector<CloudFolders::Folder>(std::string_view home)> detectCloudFolders =
            CloudFolders::detected;
    };

    static constexpr std::array<std::int64_t, 4> resultLimitChoices{50, 200, 500, 1000};

    explicit SettingsForm(Environment environment);

    void reloadLists();
    const std::vector<std::string>& exclusions() const { return exclusions_; }
    const std::vector<std::string>& contentFolders() const { return contentFolders_; }

    bool searchThisMac() const;
    /// Stored, then the shell is told.
    void setSearchThisMac(bool on);

    /// The chooser ("Skip This Folder"); each chosen folder is appended, then the shell is
    /// told once, also after OK with nothing chosen. A cancelled chooser changes nothing.
    /// A folder whose path cannot be stored is refused with `exclusionsMessage`.
    void addExclusions();
    void removeExclusion(const std::string& path);

    /// The chooser ("Read Contents Here"); never tells the shell. A folder whose path
    /// cannot be stored is refused with `contentMessage`.
    void addContentFolders();
    void removeContentFolder(const std::string& path);
    /// The detected cloud folders whose path is not listed.
    std::vector<CloudFolders::Folder> cloudSuggestions() const;
    void addCloudFolder(const CloudFolders::Folder& folder);

    bool showPaths() const;
    void setShowPaths(bool on);
    /// The choice the stored limit selects; none for a value that is not one of them.
    std::optional<std::size_t> selectedResultLimit() const;
    void chooseResultLimit(std::int64_t limit);

    /// Why folders last chosen in a section were not added; cleared by that section's next
    /// change. Announced through `listsChanged`.
    const std::optional<std::string>& exclusionsMessage() const { return exclusionsMessage_; }
    const std::optional<std::string>& contentMessage() const { return contentMessage_; }

    ShortcutRowModel& shortcut() { return *shortcut_; }
    const std::shared_ptr<ShortcutRowModel>& shortcutModel() const { return shortcut_; }
    Preferences& preferences() const { return *environment_.controller->preferences(); }
    const std::shared_ptr<Preferences>& sharedPreferences() const {
        return environment_.controller->preferences();
    }

    /// After the lists were reloaded.
    Signal<> listsChanged;

private:
    Environment environment_;
    std::shared_ptr<ShortcutRowModel> shortcut_;
    std::vector<std::string> exclusions_;
    std::vector<std::string> contentFolders_;
    std::optional<std::string> exclusionsMessage_;
    std::optional<std::string> contentMessage_;
};

} // namespace ulmaro
