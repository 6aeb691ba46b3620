#pragma once

#include "UlmaroAppKit/Platform/FileChooser.h"

#include <QPointer>
#include <QWidget>

namespace ulmaro {

/// The file and folder choosers on Qt's own file dialog (never the desktop's native one,
/// whose portal cannot choose several folders and gives no hidden-file switch), modal to
/// `parent`'s window, or to the application without one. Paths are handed back as the
/// bytes Qt encodes them to (`QFile::encodeName`). GUI thread only.
class QtFileChooser final : public FileChooser {
public:
    explicit QtFileChooser(QWidget* parent = nullptr) : parent_(parent) {}

    void setParent(QWidget* parent) { parent_ = parent; }

    std::optional<std::vector<std::string>> chooseFolders(const std::optional<std::string>& prompt,
                                                          bool showHidden) override;
    std::optional<std::string> chooseFile(const std::string& prompt,
                                          const std::vector<std::string>& extensions) override;
    std::optional<std::string> chooseSaveLocation(const std::string& suggestedName,
                                                  const std::string& extension) override;

private:
    QPointer<QWidget> parent_;
};

} // namespace ulmaro
