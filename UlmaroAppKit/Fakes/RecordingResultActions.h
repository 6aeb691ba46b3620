#pragma once

#include "UlmaroAppKit/Platform/ResultActionPerforming.h"

namespace ulmaro {

/// Performs nothing and records every call; the three answers can be set.
class RecordingResultActions final : public ResultActionPerforming {
public:
    struct OpenedWith {
        std::vector<std::string> paths;
        std::string app;
        friend bool operator==(const OpenedWith&, const OpenedWith&) = default;
    };

    std::vector<std::string> revealed;
    std::vector<std::string> copied;
    std::vector<std::string> trashed;
    std::vector<std::string> terminalFolders;
    bool trashSucceeds = true;
    bool terminalSucceeds = true;
    std::vector<std::vector<std::string>> revealedGroups;
    std::vector<OpenedWith> openedWith;
    std::vector<std::string> availableApplications;

    void reveal(const std::string& path) override { revealed.push_back(path); }
    void copyToPasteboard(const std::string& text) override { copied.push_back(text); }
    bool trash(const std::string& path) override {
        trashed.push_back(path);
        return trashSucceeds;
    }
    bool openTerminal(const std::string& folder) override {
        terminalFolders.push_back(folder);
        return terminalSucceeds;
    }
    void revealAll(const std::vector<std::string>& paths) override {
        revealedGroups.push_back(paths);
    }
    void open(const std::vector<std::string>& paths, const std::string& application) override {
        openedWith.push_back({paths, application});
    }
    std::vector<std::string> applications(const std::string&) override {
        return availableApplications;
    }
};

} // namespace ulmaro
