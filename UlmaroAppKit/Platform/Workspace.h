#pragma once

#include <string>
#include <string_view>

namespace ulmaro {

/// What the catalog window and onboarding ask of the desktop: open a file, show it in the
/// file manager, put a text on the clipboard. Paths are absolute raw bytes; outcomes are
/// not reported. Icons come from `IconResolver`, not from here. The application's is
/// `SystemWorkspace`; tests use `RecordingWorkspace`. Main thread only.
class Workspace {
public:
    virtual ~Workspace() = default;

    /// Opens the item with its default application.
    virtual void open(const std::string& path) = 0;
    /// Shows the item selected in a file manager window.
    virtual void reveal(const std::string& path) = 0;
    /// Replaces the clipboard's text (an empty text empties it).
    virtual void copyText(std::string_view text) = 0;
};

} // namespace ulmaro
