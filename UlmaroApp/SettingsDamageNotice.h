#pragma once

#include <filesystem>
#include <string>

class QWidget;

namespace ulmaro {

/// Tells the user, once, that the settings file could not be read and was set aside: a
/// message box that does not block the start, kept above `over` (the panel when it is on
/// screen, as on a first run: it stays on top of everything else). The file is kept as
/// `keptAs`, so the next start finds none and says nothing.
void showSettingsDamageNotice(const std::filesystem::path& keptAs, const std::string& problem,
                              QWidget* over);

} // namespace ulmaro
