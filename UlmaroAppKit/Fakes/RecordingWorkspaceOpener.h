#pragma once

#include "UlmaroAppKit/Shell/WorkspaceOpener.h"

#include <string>
#include <vector>

namespace ulmaro {

/// Opens nothing and records each path, in order.
class RecordingWorkspaceOpener final : public WorkspaceOpener {
public:
    std::vector<std::string> opened;

    void open(const std::string& path) override { opened.push_back(path); }
};

} // namespace ulmaro
