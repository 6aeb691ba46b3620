#pragma once

#include "UlmaroAppKit/Platform/FileChooser.h"

#include <deque>

namespace ulmaro {

/// Answers each call with the next scripted answer of its kind, and records what was
/// asked. A call with no answer left is answered as cancelled.
class ScriptedFileChooser final : public FileChooser {
public:
    struct FolderRequest {
        std::optional<std::string> prompt;
        bool showHidden = false;
        friend bool operator==(const FolderRequest&, const FolderRequest&) = default;
    };
    struct FileRequest {
        std::string prompt;
        std::vector<std::string> extensions;
        friend bool operator==(const FileRequest&, const FileRequest&) = default;
    };
    struct SaveRequest {
        std::string suggestedName;
        std::string extension;
        friend bool operator==(const SaveRequest&, const SaveRequest&) = default;
    };

    std::deque<std::optional<std::vector<std::string>>> folderAnswers;
    std::deque<std::optional<std::string>> fileAnswers;
    std::deque<std::optional<std::string>> saveAnswers;

    std::vector<FolderRequest> folderRequests;
    std::vector<FileRequest> fileRequests;
    std::vector<SaveRequest> saveRequests;

    std::optional<std::vector<std::string>> chooseFolders(const std::optional<std::string>& prompt,
                                                          bool showHidden) override {
        folderRequests.push_back({prompt, showHidden});
        return next(folderAnswers);
    }
    std::optional<std::string> chooseFile(const std::string& prompt,
                                          const std::vector<std::string>& extensions) override {
        fileRequests.push_back({prompt, extensions});
        return next(fileAnswers);
    }
    std::optional<std::string> chooseSaveLocation(const std::string& suggestedName,
                                                  const std::string& extension) override {
        saveRequests.push_back({suggestedName, extension});
        return next(saveAnswers);
    }

private:
    template <class T>
    static T next(std::deque<T>& answers) {
        if (answers.empty()) return T{};
        T answer = std::move(answers.front());
        answers.pop_front();
        return answer;
    }
};

} // namespace ulmaro
