#pragma once

#include "UlmaroAppKit/Shell/WorkspaceOpener.h"

#include <filesystem>
#include <string>

namespace ulmaro {

/// Appends each opened path to a file, one a line, instead of opening it.
class LoggingOpener final : public WorkspaceOpener {
public:
    explicit LoggingOpener(std::filesystem::path file) : file_(std::move(file)) {}
    void open(const std::string& path) override;

private:
    std::filesystem::path file_;
};

} // namespace ulmaro
