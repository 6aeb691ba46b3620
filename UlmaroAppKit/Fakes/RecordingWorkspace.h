#pragma once

#include "UlmaroAppKit/Platform/Workspace.h"

#include <vector>

namespace ulmaro {

/// Performs nothing and records every call, for tests.
class RecordingWorkspace final : public Workspace {
public:
    std::vector<std::string> opened;
    std::vector<std::string> revealed;
    std::vector<std::string> copied;

    void open(const std::string& path) override { opened.push_back(path); }
    void reveal(const std::string& path) override { revealed.push_back(path); }
    void copyText(std::string_view text) override { copied.emplace_back(text); }
};

} // namespace ulmaro
