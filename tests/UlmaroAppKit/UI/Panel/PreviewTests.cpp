#include "UlmaroAppKit/UI/Panel/PreviewLoader.h"
#include "UlmaroAppKit/UI/Panel/PreviewWindow.h"
#include "support/TempDir.h"

#include <QImage>
#include <QTest>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace ulmaro {
namespace {

using PreviewKind = PreviewContent::Kind;

class PreviewLoaderTest : public ::testing::Test {
protected:
    std::string write(const std::string& name, const std::string& bytes) {
        const std::string path = (dir.path() / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    test::TempDir dir;
};

TEST_F(PreviewLoaderTest, ImagesAreDecodedToFitTheWindowNeverEnlarged) {
    QImage big(2000, 1000, QImage::Format_RGB32);
    big.fill(Qt::red);
    const std::string bigPath = (dir.path() / "big.jpg").string();
    ASSERT_TRUE(big.save(QString::fromStdString(bigPath), "JPEG"));
    QImage small(40, 30, QImage::Format_RGB32);
    small.fill(Qt::blue);
    const std::string smallPath = (dir.path() / "no-extension").string();
    ASSERT_TRUE(small.save(QString::fromStdString(smallPath), "PNG"));

    auto fitted = PreviewLoader::load(bigPath, QSize(800, 600));
    ASSERT_EQ(fitted.kind, PreviewKind::image);
    EXPECT_EQ(fitted.image.size(), QSize(800, 400));
    auto kept = PreviewLoader::load(smallPath, QSize(800, 600));
    ASSERT_EQ(kept.kind, PreviewKind::image) << "recognised by its bytes, not its name";
    EXPECT_EQ(kept.image.size(), QSize(40, 30));
}

TEST_F(PreviewLoaderTest, TextIsTheRepairedStartOfTheFile) {
    auto plain = PreviewLoader::load(write("a.txt", "caf\xC3\xA9 \xFF ok\n"), QSize(800, 600));
    ASSERT_EQ(plain.kind, PreviewKind::text);
    EXPECT_EQ(plain.text, QString::fromUtf8("caf\xC3\xA9 \xEF\xBF\xBD ok\n"));

    // An "é" split by the 64 KiB cut is dropped, not shown as a replacement character.
    std::string longText(PreviewLoader::textPrefixBytes - 1, 'a');
    longText += "\xC3\xA9 and more";
    auto cut = PreviewLoader::load(write("long.txt", longText), QSize(800, 600));
    ASSERT_EQ(cut.kind, PreviewKind::text);
    EXPECT_EQ(cut.text.size(), qsizetype(PreviewLoader::textPrefixBytes - 1));
    EXPECT_FALSE(cut.text.contains(QChar(0xFFFD)));

    auto empty = PreviewLoader::load(write("empty", ""), QSize(800, 600));
    EXPECT_EQ(empty.kind, PreviewKind::text);
}

TEST_F(PreviewLoaderTest, FoldersAreSortedListings) {
    const auto folder = dir.path() / "folder";
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    for (const char* name : {"file10", "File2", "file1", "bad\xFFname"})
        std::ofstream(folder / name) << "x";
    auto listing = PreviewLoader::load(folder.string(), QSize(800, 600));
    ASSERT_EQ(listing.kind, PreviewKind::listing);
    EXPECT_EQ(listing.listing,
              (QStringList{QString::fromUtf8("bad\xEF\xBF\xBDname"), "file1", "File2", "file10"}));
}

TEST_F(PreviewLoaderTest, AnythingElseAndEveryFailureShowFacts) {
    struct Row {
        const char* what;
        std::string path;
        bool hasSize;
    };
    const std::string binary = write("blob.bin", std::string("\x01\x02\x00\x03", 4));
    const std::string brokenImage = write("broken.png", "\x89PNG\r\n\x1A\n garbage");
    const std::string fifo = (dir.path() / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::vector<Row> rows = {
        {"binary", binary, true},
        {"an image that does not decode", brokenImage, true},
        {"a FIFO is never opened", fifo, false},
        {"gone", (dir.path() / "gone\xFF").string(), false},
    };
    for (const Row& row : rows) {
        auto content = PreviewLoader::load(row.path, QSize(800, 600));
        EXPECT_EQ(content.kind, PreviewKind::facts) << row.what;
        EXPECT_FALSE(content.name.isEmpty()) << row.what;
        EXPECT_EQ(!content.size.isEmpty(), row.hasSize) << row.what;
    }
    EXPECT_EQ(PreviewLoader::load(binary, QSize(1, 1)).size, "4 bytes");
}

TEST_F(PreviewLoaderTest, TheWindowShowsOnlyTheNewestSelection) {
    std::vector<std::string> paths;
    for (int i = 0; i < 20; ++i)
        paths.push_back(write("file" + std::to_string(i) + ".txt", "text " + std::to_string(i)));
    std::size_t selected = 0;
    PreviewWindow window;
    window.pathProvider = [&] { return std::optional(paths[selected]); };
    window.show();
    for (selected = 1; selected < paths.size(); ++selected)
        window.reload();
    --selected;
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.shownPath() == paths.back(); }, 10'000));
    // Nothing older arrives afterwards.
    QTest::qWait(50);
    EXPECT_EQ(window.shownPath(), paths.back());
    window.close();
    EXPECT_FALSE(window.isVisible());
}

} // namespace
} // namespace ulmaro
