#pragma once

#include <string>

namespace ulmaro {

/// Opens a file, folder or application the way the user's desktop would, in front of what
/// is there. Reports nothing: what cannot be opened simply does not open.
class WorkspaceOpener {
public:
    virtual ~WorkspaceOpener() = default;

    /// `path` is raw bytes.
    virtual void open(const std::string& path) = 0;
};

} // namespace ulmaro
