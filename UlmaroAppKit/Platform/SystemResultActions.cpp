#include "UlmaroAppKit/Platform/SystemResultActions.h"

#include "UlmaroAppKit/Platform/DesktopApplications.h"
#include "UlmaroAppKit/Platform/FileManagerReveal.h"
#include "UlmaroAppKit/Platform/TerminalLauncher.h"
#include "UlmaroAppKit/Platform/Trash.h"
#include "UlmaroKit/Platform/Utf8.h"

namespace ulmaro {

SystemResultActions::SystemResultActions(std::shared_ptr<Pasteboard> pasteboard,
                                         std::shared_ptr<SerialQueue> background,
                                         std::shared_ptr<SerialQueue> examining)
    : pasteboard_(std::move(pasteboard)), background_(std::move(background)),
      contentTypes_(ContentTypes::make(std::move(examining))) {}

void SystemResultActions::reveal(const std::string& path) {
    revealAll({path});
}

void SystemResultActions::copyToPasteboard(const std::string& text) {
    pasteboard_->setText(repairUtf8(text));
}

bool SystemResultActions::trash(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) return false;
    return moveToTrash(std::filesystem::path(path));
}

bool SystemResultActions::openTerminal(const std::string& folder) {
    return launchTerminal(folder);
}

void SystemResultActions::revealAll(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    background_->async([paths] { revealInFileManager(paths); });
}

void SystemResultActions::open(const std::vector<std::string>& paths,
                               const std::string& application) {
    background_->async([paths, application] { openWithApplication(paths, application); });
}

std::vector<std::string> SystemResultActions::applications(const std::string& path) {
    return applicationsForContentType(contentTypes_->of(path));
}

} // namespace ulmaro
