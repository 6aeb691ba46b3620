#pragma once

#include "UlmaroAppKit/Platform/ContentTypes.h"
#include "UlmaroAppKit/Platform/Pasteboard.h"
#include "UlmaroAppKit/Platform/ResultActionPerforming.h"
#include "UlmaroAppKit/Platform/SerialQueue.h"

#include <memory>

namespace ulmaro {

/// The result actions on this computer: the file manager over D-Bus, the freedesktop.org
/// Trash and applications through GIO, a terminal started directly, and the clipboard.
/// Paths reach the file system as the raw bytes they came in; only the clipboard text is
/// repaired. Revealing and opening with an application run on `background`, so the panel
/// never waits on another program; the files whose names do not tell their content type
/// are examined on `examining`, so the panel never waits on a slow or hung mount either.
class SystemResultActions final : public ResultActionPerforming {
public:
    SystemResultActions(std::shared_ptr<Pasteboard> pasteboard,
                        std::shared_ptr<SerialQueue> background,
                        std::shared_ptr<SerialQueue> examining);

    void reveal(const std::string& path) override;
    void copyToPasteboard(const std::string& text) override;
    bool trash(const std::string& path) override;
    bool openTerminal(const std::string& folder) override;
    /// An empty list shows nothing.
    void revealAll(const std::vector<std::string>& paths) override;
    void open(const std::vector<std::string>& paths, const std::string& application) override;
    std::vector<std::string> applications(const std::string& path) override;

private:
    std::shared_ptr<Pasteboard> pasteboard_;
    std::shared_ptr<SerialQueue> background_;
    std::shared_ptr<ContentTypes> contentTypes_;
};

} // namespace ulmaro
