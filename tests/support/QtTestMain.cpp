// The main of the Qt test programs: one QApplication for the whole run, set up so that
// every machine renders the same pixels (scale 1, 96 dpi, Fusion, no icon theme, a font
// from the repository). Offscreen by default; the window-manager suite (ULMARO_QT_TEST_X11)
// runs on the private X server whose display the CTest fixture wrote down.

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QIcon>
#include <QStyle>
#include <QStyleFactory>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>

// Leaks in the system's libraries (fontconfig, xcb, Qt's own caches) are not ours.
extern "C" const char* __lsan_default_options() {
    return "suppressions=" ULMARO_LSAN_SUPPRESSIONS ":print_suppressions=0";
}

namespace {

bool chooseDisplay() {
#ifdef ULMARO_QT_TEST_X11
    const char* state = std::getenv("ULMARO_X11_STATE");
    std::ifstream file(std::string(state ? state : ULMARO_X11_STATE_DEFAULT) + "/display");
    std::string display;
    if (!(file >> display) || display.empty()) {
        std::fprintf(stderr, "No private X server: run through ctest (fixture x11), or start "
                             "one with tests/support/x11-session start <dir>.\n");
        return false;
    }
    setenv("DISPLAY", display.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
#else
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
#endif
    return true;
}

// The offscreen platform says so for every raise and size hint: noise, not findings.
void quietPlatformNotes(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("This plugin does not support"))) return;
    if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR"))) return;
    const QByteArray text = qFormatLogMessage(type, context, message).toLocal8Bit();
    std::fprintf(stderr, "%s\n", text.constData());
}

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleMock(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    if (!chooseDisplay()) return 2;
    setenv("QT_SCALE_FACTOR", "1", 1);
    setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);
    setenv("QT_FONT_DPI", "96", 1);
    unsetenv("QT_QPA_PLATFORMTHEME");
    unsetenv("QT_STYLE_OVERRIDE");

    qInstallMessageHandler(quietPlatformNotes);
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(QApplication::style()->standardPalette());
    // No icon theme: the installed themes differ between machines, the style's icons do not.
    QIcon::setThemeSearchPaths({});
    QIcon::setFallbackSearchPaths({});
    QIcon::setThemeName(QString());
    const int id = QFontDatabase::addApplicationFont(QStringLiteral(ULMARO_TEST_FONT));
    if (id < 0) {
        std::fprintf(stderr, "Cannot load the test font %s\n", ULMARO_TEST_FONT);
        return 2;
    }
    QFont font(QFontDatabase::applicationFontFamilies(id).value(0));
    font.setPixelSize(13);
    QApplication::setFont(font);
    return RUN_ALL_TESTS();
}
