#include "UlmaroAppKit/UI/Qt/QtFileChooser.h"

#include "UlmaroAppKit/UI/Kit/PlainText.h"

#include <QAbstractItemView>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>

namespace ulmaro {
namespace {

std::string bytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

/// Neither a row selected nor a name typed.
bool nothingChosen(const QFileDialog& dialog) {
    auto* view = dialog.findChild<QAbstractItemView*>(QStringLiteral("listView"));
    auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    return (!view || !view->selectionModel()->hasSelection()) &&
           (!edit || edit->text().trimmed().isEmpty());
}

/// A save dialog that gives a name typed without the extension its extension before the
/// dialog checks it, so that the question about replacing a file names the file written.
class SaveDialog final : public QFileDialog {
public:
    SaveDialog(QWidget* parent, QString extension)
        : QFileDialog(parent), extension_(std::move(extension)) {}

    void accept() override {
        auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        const QString name = edit ? edit->text().trimmed() : QString();
        if (edit && !name.isEmpty() && !extension_.isEmpty() &&
            !name.endsWith(QLatin1Char('.') + extension_, Qt::CaseInsensitive) &&
            !QFileInfo(directory(), name).isDir())
            edit->setText(name + QLatin1Char('.') + extension_);
        QFileDialog::accept();
    }

private:
    QString extension_;
};

void prepare(QFileDialog& dialog, QWidget* parent) {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    // Qt starts in the working directory, which for a program started from the desktop is
    // anything; people keep their files under home.
    dialog.setDirectory(QDir::homePath());
}

} // namespace

std::optional<std::vector<std::string>>
QtFileChooser::chooseFolders(const std::optional<std::string>& prompt, bool showHidden) {
    QFileDialog dialog(parent_);
    prepare(dialog, parent_);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (prompt) dialog.setLabelText(QFileDialog::Accept, PlainText::fromBytes(*prompt));
    if (showHidden) dialog.setFilter(dialog.filter() | QDir::Hidden);
    for (const char* name : {"listView", "treeView"})
        if (auto* view = dialog.findChild<QAbstractItemView*>(QLatin1String(name)))
            view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    // Qt answers an empty choice with the folder shown; nothing was chosen.
    if (nothingChosen(dialog)) return std::vector<std::string>{};
    std::vector<std::string> folders;
    for (const QString& path : dialog.selectedFiles())
        folders.push_back(bytes(path));
    return folders;
}

std::optional<std::string> QtFileChooser::chooseFile(const std::string& prompt,
                                                     const std::vector<std::string>& extensions) {
    QFileDialog dialog(parent_);
    prepare(dialog, parent_);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setLabelText(QFileDialog::Accept, PlainText::fromBytes(prompt));
    QStringList patterns;
    for (const auto& extension : extensions)
        patterns << QStringLiteral("*.") + PlainText::fromBytes(extension);
    if (!patterns.isEmpty()) dialog.setNameFilter(patterns.join(QLatin1Char(' ')));
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return bytes(dialog.selectedFiles().first());
}

std::optional<std::string> QtFileChooser::chooseSaveLocation(const std::string& suggestedName,
                                                             const std::string& extension) {
    SaveDialog dialog(parent_, PlainText::fromBytes(extension));
    prepare(dialog, parent_);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!extension.empty())
        dialog.setNameFilter(QStringLiteral("*.") + PlainText::fromBytes(extension));
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    dialog.selectFile(PlainText::fromBytes(suggestedName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return bytes(dialog.selectedFiles().first());
}

} // namespace ulmaro
