// The catalog window's two row delegates over a plain item model, as the lists will use them.
#include "UlmaroAppKit/UI/Catalogs/CatalogItemRow.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogSidebarRow.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"
#include "support/GoldenImage.h"

#include <QListView>
#include <QStandardItemModel>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <map>

namespace ulmaro {
namespace {

struct ItemFixture {
    quint32 id;
    QString name;
    bool folder;
    quint64 size;
    quint32 mtime;
};

QStandardItem* itemRow(const ItemFixture& f) {
    auto* item = new QStandardItem(f.name);
    item->setData(f.id, CatalogItemRow::idRole);
    item->setData(f.folder, CatalogItemRow::isDirectoryRole);
    item->setData(f.size, CatalogItemRow::sizeRole);
    item->setData(f.mtime, CatalogItemRow::mtimeRole);
    return item;
}

/// Stands for the browser model's shared formatters: writes down what it was asked.
struct RecordingTexts {
    std::map<std::uint64_t, int> sizes;
    std::map<std::uint32_t, int> dates;
    CatalogItemRow::SizeText sizeText() {
        return [this](std::uint64_t bytes) {
            ++sizes[bytes];
            return std::to_string(bytes / 1000) + " KB";
        };
    }
    CatalogItemRow::DateText dateText() {
        return [this](std::uint32_t seconds) {
            ++dates[seconds];
            return seconds == 0 ? std::string() : "12 Mar 2024, 09:41";
        };
    }
};

const ItemFixture rowItems[] = {
    {1, QStringLiteral("DCIM"), true, 4'096'000, 1'710'236'460},
    {2, QStringLiteral("IMG_0001.JPG"), false, 2'400'000, 1'710'236'460},
    {3, QStringLiteral("never dated.txt"), false, 12'000, 0},
    {4, QStringLiteral("A very long file name that keeps going and going until the end.pdf"), false,
     88'000, 1'710'236'460},
    {5, QStringLiteral("<i>x</i> & B"), false, std::numeric_limits<std::uint64_t>::max(),
     1'710'236'460},
};

struct ItemList {
    RecordingTexts texts;
    QStandardItemModel model;
    QListView view;
    CatalogItemRow* row;
    ItemList() {
        row = new CatalogItemRow(texts.sizeText(), texts.dateText(), &view);
        for (const auto& f : rowItems)
            model.appendRow(itemRow(f));
        view.setModel(&model);
        view.setItemDelegate(row);
        view.setUniformItemSizes(true);
        view.resize(560, 5 * 26 + 4);
    }
};

TEST(CatalogItemRow, TextsAreMadeOncePerRowFromTheRecordsValues) {
    ItemList list;
    list.view.grab();
    list.view.grab();
    // Every value reaches the formatters untouched, the largest size too (the cap is the
    // formatter's), and each row's texts are made once.
    for (const auto& f : rowItems) {
        EXPECT_EQ(list.texts.sizes[f.size], 1) << f.name.toStdString();
    }
    EXPECT_EQ(list.texts.dates[0], 1);
    EXPECT_EQ(list.texts.dates[1'710'236'460], 4);
    EXPECT_EQ(list.row->keptTexts(), 5);

    list.row->forgetTexts();
    list.view.grab();
    EXPECT_EQ(list.texts.sizes[12'000], 2) << "made again once the rows were replaced";
}

TEST(CatalogItemRow, TheDateColumnKeepsItsWidthAndTheNameGivesWay) {
    const QRect rect(0, 0, 560, 24);
    const auto a = CatalogItemRow::layout(rect, QStringLiteral("4 KB"));
    EXPECT_EQ(a.date.width(), 130);
    EXPECT_EQ(a.date.right(), rect.right() - CatalogItemRow::horizontalInset);
    EXPECT_EQ(a.icon.width(), 16);
    EXPECT_EQ(a.name.left(), a.icon.right() + 1 + 8);
    EXPECT_GE(a.size.left() - a.name.right() - 1, 8 + 12) << "at least 12 of space, then 8";
    const auto b = CatalogItemRow::layout(rect, QStringLiteral("18.45 EB"));
    EXPECT_EQ(b.size.right(), a.size.right()) << "sizes line up at the date column";
    EXPECT_LT(b.name.width(), a.name.width());
}

TEST(CatalogRowsGolden, ItemRows) {
    ItemList list;
    list.view.setCurrentIndex(list.model.index(1, 0));
    EXPECT_TRUE(
        test::matchesGolden(test::grabForGolden(list.view), QStringLiteral("catalog-item-rows")));
}

TEST(CatalogRowsGolden, SidebarRowsInEachColour) {
    const struct {
        QString name;
        QString status;
        QColor colour;
    } rows[] = {
        {QStringLiteral("Backup"), QStringLiteral("Connected"), Theme::green()},
        {QStringLiteral("Photos"), QStringLiteral("Last scan failed"), Theme::orange()},
        {QStringLiteral("Old Laptop"), QStringLiteral("Offline"),
         Theme::text(Theme::Level::secondary).toRgb()},
        {QStringLiteral("A catalog with a name far too long for the sidebar to hold"),
         QStringLiteral("Cataloguing\u2026 1204 files"), Theme::orange()},
        {QStringLiteral("<i>x</i> & B"), QStringLiteral("Imported file list"),
         Theme::text(Theme::Level::secondary)},
    };
    QStandardItemModel model;
    for (const auto& r : rows) {
        auto* item = new QStandardItem(r.name);
        item->setData(r.status, CatalogSidebarRow::statusRole);
        QColor dot = r.colour;
        if (r.status == QStringLiteral("Offline") ||
            r.status == QStringLiteral("Imported file list"))
            dot.setAlphaF(dot.alphaF() * 0.5f);
        item->setData(dot, CatalogSidebarRow::colourRole);
        model.appendRow(item);
    }
    QListView view;
    view.setModel(&model);
    view.setItemDelegate(new CatalogSidebarRow(&view));
    view.resize(230, 5 * 38 + 4);
    view.setCurrentIndex(model.index(0, 0));
    const int rowHeight = view.sizeHintForRow(3);
    EXPECT_EQ(rowHeight, view.sizeHintForRow(0)) << "a long name stays on one line";
    EXPECT_TRUE(
        test::matchesGolden(test::grabForGolden(view), QStringLiteral("catalog-sidebar-rows")));
}

} // namespace
} // namespace ulmaro
