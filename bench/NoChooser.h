#pragma once

// A file chooser that is always cancelled: the view benchmarks time no dialog.

#include "UlmaroAppKit/Platform/FileChooser.h"

namespace ulmaro::bench {

class NoChooser final : public FileChooser {
public:
    std::optional<std::vector<std::string>> chooseFolders(const std::optional<std::string>&,
                                                          bool) override {
        return std::nullopt;
    }
    std::optional<std::string> chooseFile(const std::string&,
                                          const std::vector<std::string>&) override {
        return std::nullopt;
    }
    std::optional<std::string> chooseSaveLocation(const std::string&, const std::string&) override {
        return std::nullopt;
    }
};

} // namespace ulmaro::bench
