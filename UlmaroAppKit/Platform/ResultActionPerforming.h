#pragma once

#include <string>
#include <vector>

namespace ulmaro {

/// What the panel does to a result's file, so that the panel never reaches the file
/// manager, the clipboard, the Trash or processes itself. Paths are absolute and raw bytes
/// (`RankedRow::path`); an application is the path of its `.desktop` file. Called on the
/// main thread; nothing here waits on a launched program.
class ResultActionPerforming {
public:
    virtual ~ResultActionPerforming() = default;

    /// Shows the item selected in a file manager window.
    virtual void reveal(const std::string& path) = 0;
    /// Puts the text on the clipboard (an empty text clears it).
    virtual void copyToPasteboard(const std::string& text) = 0;
    /// Moves the item to the Trash; true only when it was moved.
    virtual bool trash(const std::string& path) = 0;
    /// Opens a terminal window in the folder; true when it was started.
    virtual bool openTerminal(const std::string& folder) = 0;
    /// Shows all the items selected together.
    virtual void revealAll(const std::vector<std::string>& paths) = 0;
    /// Opens the items with that application.
    virtual void open(const std::vector<std::string>& paths, const std::string& application) = 0;
    /// The applications that can open the item, the default one first.
    virtual std::vector<std::string> applications(const std::string& path) = 0;
};

} // namespace ulmaro
