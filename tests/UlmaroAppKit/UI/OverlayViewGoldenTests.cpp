#include "OverlayViewFixture.h"
#include "support/GoldenImage.h"

#include <QApplication>
#include <functional>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using test::OverlayViewUnderTest;

QImage render(OverlayView& view) {
    QApplication::setCursorFlashTime(0); // a caret that never blinks
    view.show();
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    QImage image = test::grabForGolden(view);
    view.hide();
    return image;
}

TEST(OverlayViewGolden, States) {
    const struct Case {
        const char* name;
        bool engine;
        std::function<void(OverlayViewUnderTest&)> setup;
    } cases[] = {
        {"overlay-preparing", false, [](auto& t) { t.model->applyIndexingState(48213); }},
        {"overlay-idle", true, [](auto& t) { t.model->setTotalIndexedCount(1234567); }},
        {"overlay-results-filter-newest", true,
         [](auto& t) {
             t.model->sortOrder.set(SortOrder::dateModified);
             t.model->activeFilter.set(QuickFilter::documents);
             t.showRows({test::row(1, "/home/ana/Documents/report-2024.pdf"),
                         test::row(2, "/home/ana/Documents/Reports/summary.odt"),
                         test::row(3, "/home/ana/Downloads/report (1).docx")},
                        "report", 3);
         }},
        {"overlay-cheatsheet", true, [](auto& t) { t.model->showingCheatSheet.set(true); }},
        {"overlay-onboarding", true, [](auto& t) { t.onboarding->setShowing(true); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OverlayViewUnderTest t(c.engine);
        c.setup(t);
        EXPECT_TRUE(test::matchesGolden(render(*t.view), QString::fromUtf8(c.name)));
    }
}

} // namespace
} // namespace ulmaro
