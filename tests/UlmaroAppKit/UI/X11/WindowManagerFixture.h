#pragma once

#include "UlmaroAppKit/UI/X11/X11Desktop.h"

#include <QApplication>
#include <QProcess>
#include <QTest>
#include <QWidget>
#include <cstdint>
#include <gtest/gtest.h>

namespace ulmaro::test {

constexpr int waitLimitMs = 10'000;

inline bool xdotool(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    if (!process.waitForFinished(waitLimitMs)) {
        process.kill();
        process.waitForFinished(1000);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

inline std::uint32_t activeWindow() {
    return X11Desktop::current()->activeWindow().value_or(0);
}

/// Another program's window, as far as the tests care: shown and active before each test.
class OtherWindowActive : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(X11Desktop::current()) << "not on X11";
        other.setWindowTitle(QStringLiteral("Editor"));
        other.setGeometry(otherGeometry);
        other.show();
        other.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&other, waitLimitMs));
        ASSERT_TRUE(QTest::qWaitFor([&] { return activeWindow() == other.winId(); }, waitLimitMs));
    }

    QRect otherGeometry{700, 450, 400, 250};
    QWidget other;
};

} // namespace ulmaro::test
