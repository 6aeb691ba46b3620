#pragma once

#include <filesystem>
#include <string>

namespace ulmaro {

/// Tells the user, once, that the settings file could not be read and was set aside: a
/// message box that does not block the start. The file is kept as `keptAs`, so the next
/// start finds none and says nothing.
void showSettingsDamageNotice(const std::filesystem::path& keptAs, const std::string& problem);

} // namespace ulmaro
