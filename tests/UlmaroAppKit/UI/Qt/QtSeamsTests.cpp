#include "UlmaroAppKit/UI/Qt/QtMainQueue.h"
#include "UlmaroAppKit/UI/Qt/QtPasteboard.h"
#include "UlmaroAppKit/UI/Qt/QtTimerService.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace ulmaro {
namespace {

TEST(QtMainQueue, RunsPostedWorkLaterInOrderFromAnyThread) {
    QtMainQueue queue;
    EXPECT_TRUE(queue.isCurrent());
    std::vector<int> ran;
    queue.post([&] { ran.push_back(1); });
    EXPECT_TRUE(ran.empty()) << "never inline";
    bool offThreadIsCurrent = true;
    std::thread([&] {
        offThreadIsCurrent = queue.isCurrent();
        queue.post([&] { ran.push_back(2); });
    }).join();
    EXPECT_FALSE(offThreadIsCurrent);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ran.size() == 2; }, 5000));
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
}

TEST(QtTimerService, FiresOnceRepeatsAndCancels) {
    QtTimerService timers;
    int once = 0, repeated = 0, cancelled = 0;
    auto a = timers.scheduleOnce(Seconds(0.001), [&] { ++once; });
    auto b = timers.scheduleRepeating(Seconds(0), [&] { ++repeated; });
    auto c = timers.scheduleOnce(Seconds(0.001), [&] { ++cancelled; });
    c->cancel();
    auto d = timers.scheduleOnce(Seconds(std::nan("")), [&] { ++once; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return once == 2 && repeated >= 3; }, 5000));
    b.reset();
    const int stopped = repeated;
    QTest::qWait(20);
    EXPECT_EQ(repeated, stopped) << "destroying the handle cancels";
    EXPECT_EQ(once, 2);
    EXPECT_EQ(cancelled, 0);
}

TEST(QtPasteboard, PutsTextOnTheClipboard) {
    QtPasteboard pasteboard;
    pasteboard.setText("/home/u/caf\xC3\xA9.txt");
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromUtf8("/home/u/caf\xC3\xA9.txt"));
}

} // namespace
} // namespace ulmaro
