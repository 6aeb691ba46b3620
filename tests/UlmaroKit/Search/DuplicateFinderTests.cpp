#include "SmallIndex.h"
#include "UlmaroKit/Search/DuplicateFinder.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using Copies = std::vector<DuplicateFinder::Copy>;
using test::SmallIndex;

TEST(DuplicateFinder, SameSizeFirstThenOthersInIdOrder) {
    SmallIndex idx;
    const auto root = idx.add("", SmallIndex::none, SmallIndex::dir);
    const auto item = idx.add("Report.pdf", root, {}, 500); // 1
    idx.add("report.PDF", root, {}, 7);                     // 2 other
    idx.add("REPORT.pdf", root, {}, 500);                   // 3 same
    idx.add("report.pdf", root, SmallIndex::dir);           // 4 a folder
    idx.add("report.pdf", root, {});                        // 5 size unknown
    idx.add("report.pdf", root, RecordFlags::deleted, 500); // 6 deleted
    idx.add("report.pdfx", root, {}, 500);                  // 7 longer
    idx.add("r\xC3\xA9port.pdf", root, {}, 500);            // 8 accented: other bytes
    idx.add("report.pdf", root, {}, 500);                   // 9 same
    const auto store = idx.open();

    EXPECT_EQ(DuplicateFinder::copies(item, *store, 10),
              (Copies{{3, true}, {9, true}, {2, false}, {5, false}}));
    EXPECT_EQ(DuplicateFinder::copies(item, *store, 3), (Copies{{3, true}, {9, true}, {2, false}}));
    // The same-size copies alone fill the limit.
    EXPECT_EQ(DuplicateFinder::copies(item, *store, 2), (Copies{{3, true}, {9, true}}));
    EXPECT_EQ(DuplicateFinder::copies(item, *store, 0), Copies{});

    // Folders only find folders.
    EXPECT_EQ(DuplicateFinder::copies("REPORT.PDF", true, 0, *store, std::nullopt, 10),
              (Copies{{4, false}}));
    // An item of unknown size has no same-size copies; without exclusion it finds itself.
    EXPECT_EQ(DuplicateFinder::copies("report.pdf", false, 0, *store, std::nullopt, 10),
              (Copies{{1, false}, {2, false}, {3, false}, {5, false}, {9, false}}));
    EXPECT_EQ(DuplicateFinder::copies("r\xC3\x89port.pdf", false, 500, *store, std::nullopt, 10),
              Copies{});
    EXPECT_EQ(DuplicateFinder::copies("", false, 0, *store, std::nullopt, 10), Copies{});
}

TEST(DuplicateFinder, LimitAcrossTheTwoLists) {
    SmallIndex idx;
    const auto root = idx.add("", SmallIndex::none, SmallIndex::dir);
    for (std::uint64_t size : {9, 1, 9, 2, 3, 9, 4, 5})
        idx.add("a.txt", root, {}, size);
    const auto store = idx.open();
    // 3 same-size and 5 other copies, limit 4: the three and the first other.
    EXPECT_EQ(DuplicateFinder::copies("a.txt", false, 9, *store, std::nullopt, 4),
              (Copies{{1, true}, {3, true}, {6, true}, {2, false}}));
}

TEST(DuplicateFinder, RecordsThatGiveNothing) {
    SmallIndex idx;
    const auto root = idx.add("", SmallIndex::none, SmallIndex::dir);
    idx.add("x", root);
    const auto gone = idx.add("x", root, RecordFlags::deleted);
    idx.add("x", root);
    const auto store = idx.open();
    EXPECT_EQ(DuplicateFinder::copies(gone, *store, 5), Copies{});
    EXPECT_EQ(DuplicateFinder::copies(99, *store, 5), Copies{});
    EXPECT_EQ(DuplicateFinder::copies(1, *store, -1), Copies{});
    EXPECT_EQ(DuplicateFinder::copies(1, *store, 5), (Copies{{3, false}}));
}

} // namespace
} // namespace ulmaro
