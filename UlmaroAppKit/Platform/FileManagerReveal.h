#pragma once

#include <string>
#include <vector>

namespace ulmaro {

/// Shows the items selected in the user's file manager: one
/// `org.freedesktop.FileManager1.ShowItems` call on the session bus with every item, in
/// order; when nothing owns that name or the call fails, each distinct parent folder is
/// opened once with the default folder handler. Blocks until the file manager answers, so
/// it runs off the main thread. Paths are absolute, raw bytes.
void revealInFileManager(const std::vector<std::string>& paths);

/// The folders holding the items, each once, in order of first appearance.
std::vector<std::string> distinctParentFolders(const std::vector<std::string>& paths);

} // namespace ulmaro
