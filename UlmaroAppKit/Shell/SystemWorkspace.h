#pragma once

#include "UlmaroAppKit/Platform/Pasteboard.h"
#include "UlmaroAppKit/Platform/ResultActionPerforming.h"
#include "UlmaroAppKit/Platform/Workspace.h"
#include "UlmaroAppKit/Shell/WorkspaceOpener.h"
#include "UlmaroKit/Platform/Utf8.h"

#include <memory>

namespace ulmaro {

/// The workspace of the catalog window and onboarding over the pieces the panel already
/// uses: opening through the `WorkspaceOpener`, revealing through the result actions
/// (`SystemResultActions`), copying through the `Pasteboard` (a path's bytes repaired).
class SystemWorkspace final : public Workspace {
public:
    SystemWorkspace(std::shared_ptr<WorkspaceOpener> opener,
                    std::shared_ptr<ResultActionPerforming> actions,
                    std::shared_ptr<Pasteboard> pasteboard)
        : opener_(std::move(opener)), actions_(std::move(actions)),
          pasteboard_(std::move(pasteboard)) {}

    void open(const std::string& path) override { opener_->open(path); }
    void reveal(const std::string& path) override { actions_->reveal(path); }
    void copyText(std::string_view text) override { pasteboard_->setText(repairUtf8(text)); }

private:
    std::shared_ptr<WorkspaceOpener> opener_;
    std::shared_ptr<ResultActionPerforming> actions_;
    std::shared_ptr<Pasteboard> pasteboard_;
};

} // namespace ulmaro
