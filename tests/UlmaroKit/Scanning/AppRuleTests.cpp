#include "UlmaroKit/Scanning/AppRule.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

TEST(AppRule, ApplicationsOnLinux) {
    struct Case {
        const char* name;
        EntryKind kind;
        const char* folder;
        bool app;
    };
    const Case cases[] = {
        {"Xcode.app", EntryKind::directory, "Applications", true},
        {"notes.app", EntryKind::regularFile, "x", true},
        {"link.app", EntryKind::symbolicLink, "x", true},
        {".app", EntryKind::regularFile, "x", false},
        {"Safari.APP", EntryKind::directory, "x", false},
        {"org.gnome.Terminal.desktop", EntryKind::regularFile, "applications", true},
        {"org.gnome.Terminal.desktop", EntryKind::regularFile, "Desktop", false},
        {"org.gnome.Terminal.desktop", EntryKind::symbolicLink, "applications", false},
        {"folder.desktop", EntryKind::directory, "applications", false},
        {".desktop", EntryKind::regularFile, "applications", false},
        {"Krita-5.2.AppImage", EntryKind::regularFile, "Downloads", true},
        {"Krita.AppImage", EntryKind::directory, "Downloads", false},
        {"Krita.appimage", EntryKind::regularFile, "Downloads", false},
        {".AppImage", EntryKind::regularFile, "Downloads", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isApplication(c.name, c.kind, c.folder), c.app) << c.name << " in " << c.folder;
}

TEST(AppRule, DisplayNameDropsTheApplicationEnding) {
    const std::pair<const char*, const char*> cases[] = {
        {"Tiny Text Editor.app", "Tiny Text Editor"},
        {"org.gnome.TextEditor.desktop", "org.gnome.TextEditor"},
        {"Krita-5.2.AppImage", "Krita-5.2"},
        {"Safari.APP", "Safari.APP"},
        {"notes.txt", "notes.txt"},
        {"x.app.desktop", "x.app"},
        {".app", ""},
    };
    for (const auto& [name, shown] : cases)
        EXPECT_EQ(appDisplayName(name), shown) << name;
}

} // namespace
} // namespace ulmaro
