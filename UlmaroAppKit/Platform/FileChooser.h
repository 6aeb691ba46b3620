#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ulmaro {

/// The system's choosers of folders and files, run modally: each call returns once the
/// user has answered. Paths come back absolute, as raw bytes. The application's is the Qt
/// `QtFileChooser`; tests script answers with `ScriptedFileChooser`. Main thread only.
class FileChooser {
public:
    virtual ~FileChooser() = default;

    /// Several folders (no files), in the chooser's order; none for any answer but OK, an
    /// empty list for OK with nothing chosen. `prompt` names the OK button when given.
    virtual std::optional<std::vector<std::string>>
    chooseFolders(const std::optional<std::string>& prompt, bool showHidden) = 0;
    /// One existing file whose name ends in "." and one of `extensions`, any case ("efu"
    /// offers "List.EFU"); none unless answered with OK.
    virtual std::optional<std::string> chooseFile(const std::string& prompt,
                                                  const std::vector<std::string>& extensions) = 0;
    /// Where to write a new file, starting from `suggestedName`; a name typed without "." +
    /// `extension` gets it, and replacing an existing file is asked first. None unless
    /// answered with OK.
    virtual std::optional<std::string> chooseSaveLocation(const std::string& suggestedName,
                                                          const std::string& extension) = 0;
};

} // namespace ulmaro
