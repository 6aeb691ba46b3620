#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ulmaro {

/// The build's version and the two addresses the tray menu opens, all fixed when the
/// program is built (CMake: ULMARO_SUPPORT_ADDRESS, ULMARO_UPDATES_PAGE, the project's
/// version).
struct MenuBarLinks {
    /// "—" when the build has none.
    std::string version{};
    std::string supportAddress{};
    std::string updatesPage{};

    static MenuBarLinks ofThisBuild();
    /// `buildVersion`, or "—" when it is empty.
    static std::string versionText(std::string_view buildVersion);

    /// "mailto:" + the address + "?subject=Ulmaro%20" + the version; none without an
    /// address.
    std::optional<std::string> supportMailtoURL(std::string_view forVersion) const;
    /// The updates page with its query replaced by "from=" + the version; none without a
    /// page.
    std::optional<std::string> updatesURL() const;

    friend bool operator==(const MenuBarLinks&, const MenuBarLinks&) = default;
};

} // namespace ulmaro
