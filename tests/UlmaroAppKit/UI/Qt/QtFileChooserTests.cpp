// The choosers driven as a user would: each test answers the modal dialog from inside its
// own loop, over a temporary tree.
#include "UlmaroAppKit/UI/Qt/QtFileChooser.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

constexpr int waitLimitMs = 10'000;

/// Runs `act` on the next modal widget of type W once it is on screen.
template <class W>
void whenShown(std::function<void(W&)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        auto* widget = qobject_cast<W*>(QApplication::activeModalWidget());
        if (!widget || !widget->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        act(*widget);
    });
    timer->start(5);
}

QListView& listView(QFileDialog& dialog) {
    return *dialog.findChild<QListView*>(QStringLiteral("listView"));
}

QLineEdit& nameEdit(QFileDialog& dialog) {
    return *dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
}

/// Opens `folder` in the dialog and waits until its listing holds `expected` rows.
void browse(QFileDialog& dialog, const fs::path& folder, int expected) {
    dialog.setDirectory(QString::fromStdString(folder.string()));
    QListView& view = listView(dialog);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return view.model()->rowCount(view.rootIndex()) == expected; }, waitLimitMs))
        << view.model()->rowCount(view.rootIndex()) << " rows";
}

QStringList shownNames(QFileDialog& dialog) {
    QListView& view = listView(dialog);
    QStringList names;
    for (int row = 0; row < view.model()->rowCount(view.rootIndex()); ++row)
        names << view.model()->index(row, 0, view.rootIndex()).data().toString();
    names.sort();
    return names;
}

void click(QFileDialog& dialog, const QString& name, Qt::KeyboardModifiers modifiers = {}) {
    QListView& view = listView(dialog);
    for (int row = 0; row < view.model()->rowCount(view.rootIndex()); ++row) {
        QModelIndex index = view.model()->index(row, 0, view.rootIndex());
        if (index.data().toString() != name) continue;
        view.scrollTo(index);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, modifiers,
                          view.visualRect(index).center());
        return;
    }
    ADD_FAILURE() << "no row " << name.toStdString();
}

void pressOK(QFileDialog& dialog) {
    auto* box = dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    for (auto* button : box->buttons())
        if (box->buttonRole(button) == QDialogButtonBox::AcceptRole) {
            ASSERT_TRUE(button->isEnabled());
            QTest::mouseClick(button, Qt::LeftButton);
            return;
        }
    ADD_FAILURE() << "no OK button";
}

void touch(const fs::path& path) {
    std::ofstream(path) << "x";
}

class QtFileChooserTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"Alpha", "Beta", "Gamma", ".hidden"})
            fs::create_directory(tmp / name);
        touch(tmp / "List.EFU");
        touch(tmp / "Photos.ulmarocatalog");
        touch(tmp / "notes.txt");
    }

    std::string path(const char* name) const { return (tmp / name).string(); }

    test::TempDir tmp;
    QtFileChooser chooser;
};

TEST_F(QtFileChooserTest, SeveralFoldersChosenTogether) {
    whenShown<QFileDialog>([this](QFileDialog& dialog) {
        EXPECT_EQ(dialog.labelText(QFileDialog::Accept), QStringLiteral("Skip This Folder"));
        EXPECT_EQ(dialog.directory().absolutePath(), QDir::homePath()) << "not the working one";
        browse(dialog, tmp.path(), 4);
        EXPECT_EQ(shownNames(dialog), (QStringList{".hidden", "Alpha", "Beta", "Gamma"}));
        click(dialog, "Alpha");
        click(dialog, "Gamma", Qt::ControlModifier);
        pressOK(dialog);
    });
    auto folders = chooser.chooseFolders("Skip This Folder", true);
    ASSERT_TRUE(folders);
    EXPECT_THAT(*folders, UnorderedElementsAre(path("Alpha"), path("Gamma")));
}

TEST_F(QtFileChooserTest, HiddenFoldersOnlyWhenAsked) {
    whenShown<QFileDialog>([this](QFileDialog& dialog) {
        browse(dialog, tmp.path(), 3);
        QTest::qWait(100); // a late row would be the hidden one
        EXPECT_EQ(shownNames(dialog), (QStringList{"Alpha", "Beta", "Gamma"}));
        click(dialog, "Beta");
        pressOK(dialog);
    });
    auto folders = chooser.chooseFolders(std::nullopt, false);
    ASSERT_TRUE(folders);
    EXPECT_THAT(*folders, ElementsAre(path("Beta")));
}

TEST_F(QtFileChooserTest, CancelGivesNoneAndOKWithNothingChosenAnEmptyList) {
    whenShown<QFileDialog>([this](QFileDialog& dialog) {
        browse(dialog, tmp.path(), 3);
        dialog.reject();
    });
    EXPECT_EQ(chooser.chooseFolders(std::nullopt, false), std::nullopt);

    whenShown<QFileDialog>([this](QFileDialog& dialog) {
        browse(dialog, tmp.path(), 3);
        pressOK(dialog);
    });
    auto none = chooser.chooseFolders(std::nullopt, false);
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->empty()) << none->front();
}

TEST_F(QtFileChooserTest, AFileOfTheGivenExtensionsInAnyCase) {
    whenShown<QFileDialog>([this](QFileDialog& dialog) {
        EXPECT_EQ(dialog.labelText(QFileDialog::Accept), QStringLiteral("Import"));
        browse(dialog, tmp.path(), 5);
        EXPECT_EQ(shownNames(dialog),
                  (QStringList{"Alpha", "Beta", "Gamma", "List.EFU", "Photos.ulmarocatalog"}));
        click(dialog, "List.EFU");
        pressOK(dialog);
    });
    EXPECT_EQ(chooser.chooseFile("Import", {"ulmarocatalog", "efu"}), path("List.EFU"));

    whenShown<QFileDialog>([](QFileDialog& dialog) { dialog.reject(); });
    EXPECT_EQ(chooser.chooseFile("Import", {"efu"}), std::nullopt);
}

TEST_F(QtFileChooserTest, SaveAddsTheExtensionToANameTypedWithout) {
    struct Case {
        const char* typed;
        const char* saved;
    };
    const Case cases[] = {
        {"Backup", "Backup.ulmarocatalog"},
        {"Backup.v2", "Backup.v2.ulmarocatalog"},
        {"Shout.ULMAROCATALOG", "Shout.ULMAROCATALOG"},
        {"Plain.ulmarocatalog", "Plain.ulmarocatalog"},
    };
    for (const auto& c : cases) {
        whenShown<QFileDialog>([&](QFileDialog& dialog) {
            EXPECT_EQ(nameEdit(dialog).text(), QStringLiteral("Suggested.ulmarocatalog"));
            browse(dialog, tmp.path(), 4);
            nameEdit(dialog).setText(QString::fromUtf8(c.typed));
            pressOK(dialog);
        });
        EXPECT_EQ(chooser.chooseSaveLocation("Suggested.ulmarocatalog", "ulmarocatalog"),
                  path(c.saved))
            << c.typed;
    }
}

TEST_F(QtFileChooserTest, ReplacingAFileIsAskedFirst) {
    int asked = 0;
    whenShown<QFileDialog>([&](QFileDialog& dialog) {
        browse(dialog, tmp.path(), 4);
        // "Photos" becomes "Photos.ulmarocatalog", which exists: No keeps the dialog open.
        whenShown<QMessageBox>([&](QMessageBox& box) {
            ++asked;
            EXPECT_THAT(box.text().toStdString(), ::testing::HasSubstr("Photos.ulmarocatalog"));
            box.button(QMessageBox::No)->click();
        });
        nameEdit(dialog).setText(QStringLiteral("Photos"));
        pressOK(dialog);
        ASSERT_TRUE(QTest::qWaitFor([&] { return asked == 1; }, waitLimitMs));
        QTest::qWait(20);
        ASSERT_TRUE(dialog.isVisible());
        whenShown<QMessageBox>([&](QMessageBox& box) {
            ++asked;
            box.button(QMessageBox::Yes)->click();
        });
        pressOK(dialog);
    });
    EXPECT_EQ(chooser.chooseSaveLocation("Photos.ulmarocatalog", "ulmarocatalog"),
              path("Photos.ulmarocatalog"));
    EXPECT_EQ(asked, 2);
}

} // namespace
} // namespace ulmaro
