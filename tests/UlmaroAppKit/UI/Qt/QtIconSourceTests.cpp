#include "UlmaroAppKit/Panel/DesktopEntryIcon.h"
#include "UlmaroAppKit/UI/Qt/QtIconSource.h"
#include "support/TempDir.h"

#include <QImage>
#include <QPixmap>
#include <fstream>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

TEST(DesktopEntryIcon, ReadsTheEntrysOwnKey) {
    const struct {
        const char* text;
        std::optional<std::string> icon;
    } cases[] = {
        {"[Desktop Entry]\nName=Editor\nIcon=accessories-text-editor\n", "accessories-text-editor"},
        {"[Desktop Entry]\r\nIcon = /opt/tool/icon.png \r\n", "/opt/tool/icon.png"},
        {"[Desktop Entry]\nIcon[de]=de-icon\nIcon=plain\n", "plain"},
        {"[Desktop Action New]\nIcon=action-icon\n[Desktop Entry]\nName=x\n", std::nullopt},
        {"[Desktop Entry]\nIcon=\n", std::nullopt},
        {"Icon=outside-any-group\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(desktopEntryIcon(c.text), c.icon) << c.text;
}

QImage drawn(const std::shared_ptr<const IconImage>& image) {
    return QtIconSource::qIcon(image).pixmap(16, 16).toImage();
}

// Without an icon theme (offscreen tests) every kind still draws, from the bundled symbols;
// a desktop entry's own image file is used as it is.
TEST(QtIconSource, EveryKindDraws) {
    test::TempDir dir;
    const auto png = (dir.path() / "red.png").string();
    QImage red(16, 16, QImage::Format_ARGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(QString::fromStdString(png)));
    const auto entry = (dir.path() / "tool.desktop").string();
    std::ofstream(entry) << "[Desktop Entry]\nName=Tool\nIcon=" << png << "\n";
    const auto broken = (dir.path() / "broken.desktop").string();
    std::ofstream(broken) << "not a desktop entry";

    QtIconSource source;
    for (const auto& image :
         {source.iconForFile("/nowhere/report.pdf"), source.iconForFile("/nowhere/README"),
          source.iconForFolder("/nowhere"), source.genericApplicationIcon(),
          source.iconForFile("/nowhere/Tool.AppImage"), source.iconForFile(broken)})
        EXPECT_FALSE(drawn(image).isNull());
    EXPECT_EQ(drawn(source.iconForFile(entry)).pixelColor(8, 8), QColor(Qt::red));
    // Read once: the file's later change is not seen.
    std::ofstream(entry) << "[Desktop Entry]\nIcon=other\n";
    EXPECT_EQ(drawn(source.iconForFile(entry)).pixelColor(8, 8), QColor(Qt::red));
}

} // namespace
} // namespace ulmaro
