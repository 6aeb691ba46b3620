#include "UlmaroKit/Catalogs/CatalogArchive.h"
#include "UlmaroKit/Index/IndexBuilder.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "UlmaroKit/Platform/AtomicFile.h"
#include "support/TempDir.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zip.h>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;
using ArchiveError = CatalogArchive::ArchiveError;
using Kind = ArchiveError::Kind;

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

CatalogInfo driveInfo() {
    CatalogInfo info;
    info.id = "C0FFEE";
    info.kind = CatalogInfo::Kind::drive;
    info.volumeUUID = "1234";
    info.name = "Drive";
    info.lastMountPath = "/media/drive";
    info.rootRecordID = 2;
    return info;
}

// "/" → media → drive (the catalog's root) → file.txt
IndexBuilder driveTree() {
    IndexBuilder b;
    b.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
    b.addEntry("media", 0, RecordFlags::isDirectory, 0);
    b.addEntry("drive", 1, RecordFlags::isDirectory, 0);
    b.addEntry("file.txt", 2, RecordFlags{}, 0);
    return b;
}

void writeCatalog(const fs::path& folder, const IndexBuilder& tree, const CatalogInfo& info,
                  std::size_t volumes = 1) {
    std::vector<VolumeEntry> entries(volumes, VolumeEntry{"1234", "/media/drive", 0, true});
    IndexWriter::write(tree, entries, folder / "index.bin");
    info.write(folder / "info.json");
}

// A zip of the given members, written in order, stored without compression unless asked.
void writeZip(const fs::path& archive,
              const std::vector<std::pair<std::string, std::string>>& members,
              zip_int32_t method = ZIP_CM_STORE) {
    int error = 0;
    zip_t* z = zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(z, nullptr);
    for (const auto& [name, data] : members) {
        if (name.ends_with('/')) {
            zip_dir_add(z, name.c_str(), ZIP_FL_ENC_UTF_8);
            continue;
        }
        zip_source_t* src = zip_source_buffer(z, data.data(), data.size(), 0);
        zip_int64_t index = zip_file_add(z, name.c_str(), src, ZIP_FL_ENC_UTF_8);
        if (index < 0) { // a name libzip will not store twice
            zip_source_free(src);
            continue;
        }
        zip_set_file_compression(z, static_cast<zip_uint64_t>(index), method, 0);
    }
    ASSERT_EQ(zip_close(z), 0);
}

// Marks a member of a written zip with a Unix file type and mode, as zip tools store it.
void setUnixMode(const fs::path& archive, const std::string& name, std::uint32_t mode) {
    int error = 0;
    zip_t* z = zip_open(archive.c_str(), 0, &error);
    ASSERT_NE(z, nullptr);
    zip_int64_t index = zip_name_locate(z, name.c_str(), 0);
    ASSERT_GE(index, 0);
    ASSERT_EQ(zip_file_set_external_attributes(z, static_cast<zip_uint64_t>(index), 0,
                                               ZIP_OPSYS_UNIX, mode << 16),
              0);
    ASSERT_EQ(zip_close(z), 0);
}

struct CatalogArchiveTest : ::testing::Test {
    test::TempDir dir;
    test::ScopedEnv data{"XDG_DATA_HOME", (dir / "data").string()};
    fs::path temporaryRoot = dir / "tmp";

    fs::path catalog(const IndexBuilder& tree, const CatalogInfo& info, std::size_t volumes = 1) {
        fs::path folder = dir / ("catalog" + std::to_string(++made_));
        writeCatalog(folder, tree, info, volumes);
        return folder;
    }
    std::vector<std::pair<std::string, std::string>> members(const fs::path& folder) {
        return {{"index.bin", readAll(folder / "index.bin")},
                {"info.json", readAll(folder / "info.json")}};
    }
    ArchiveError refusal(const fs::path& archive) {
        try {
            CatalogArchive::unpack(archive, temporaryRoot);
        } catch (const ArchiveError& e) {
            EXPECT_TRUE(fs::is_empty(temporaryRoot)) << "left behind in " << temporaryRoot;
            return e;
        }
        ADD_FAILURE() << "accepted " << archive;
        return ArchiveError::toolFailed("accepted");
    }

private:
    int made_ = 0;
};

TEST_F(CatalogArchiveTest, ExportThenUnpackGivesTheCatalogBack) {
    auto folder = catalog(driveTree(), driveInfo());
    auto archive = dir / "drive.ulmarocatalog";
    CatalogArchive::exportCatalog(folder, archive);
    std::vector<std::string> names = CatalogArchive::listEntries(archive);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"index.bin", "info.json"}));
    EXPECT_TRUE(fs::is_empty(CatalogArchive::defaultTemporaryRoot())); // staging is gone

    auto unpacked = CatalogArchive::unpack(archive, temporaryRoot);
    EXPECT_EQ(unpacked.info, driveInfo());
    EXPECT_EQ(unpacked.directory.parent_path(), temporaryRoot);
    EXPECT_EQ(readAll(unpacked.directory / "index.bin"), readAll(folder / "index.bin"));
    EXPECT_TRUE(loadIndex(unpacked.directory / "index.bin").isLoaded());
}

TEST_F(CatalogArchiveTest, ExportReplacesInOneStepOrLeavesTheOldArchive) {
    auto folder = catalog(driveTree(), driveInfo());
    auto archive = dir / "out.ulmarocatalog";
    writeFileAtomically(archive, "old archive");
    EXPECT_THROW(CatalogArchive::exportCatalog(folder, archive,
                                               [](const fs::path&, const fs::path&) {
                                                   throw ArchiveError::toolFailed("zip: no space");
                                               }),
                 ArchiveError);
    EXPECT_EQ(readAll(archive), "old archive");
    CatalogArchive::exportCatalog(folder, archive);
    EXPECT_EQ(CatalogArchive::listEntries(archive).size(), 2u);
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_FALSE(entry.path().filename().string().ends_with(".tmp")) << entry.path();

    fs::remove(folder / "info.json");
    EXPECT_THROW(CatalogArchive::exportCatalog(folder, dir / "other.ulmarocatalog"),
                 fs::filesystem_error);
    EXPECT_TRUE(fs::is_empty(CatalogArchive::defaultTemporaryRoot()));
}

TEST_F(CatalogArchiveTest, RefusesArchivesThatAreNotExactlyACatalog) {
    auto good = members(catalog(driveTree(), driveInfo()));
    auto with = [&](std::vector<std::pair<std::string, std::string>> extra) {
        auto m = good;
        m.insert(m.end(), extra.begin(), extra.end());
        return m;
    };
    const std::pair<const char*, std::vector<std::pair<std::string, std::string>>> cases[] = {
        {"third file", with({{"notes.txt", "x"}})},
        {"folder", with({{"extra/", ""}})},
        {"only one", {good[0]}},
        {"traversal", {{"../index.bin", good[0].second}, good[1]}},
        {"nested", {{"a/index.bin", good[0].second}, good[1]}},
        {"twice", {good[0], good[0]}},
    };
    for (const auto& [name, contents] : cases) {
        SCOPED_TRACE(name);
        auto archive = dir / (std::string(name) + ".zip");
        writeZip(archive, contents);
        EXPECT_EQ(refusal(archive).kind(), Kind::notACatalog);
    }
    writeFileAtomically(dir / "plain.zip", "this is not a zip at all");
    EXPECT_EQ(refusal(dir / "plain.zip").kind(), Kind::notACatalog);

    auto dotted = dir / "dotted.zip";
    writeZip(dotted, {{"./index.bin", good[0].second}, {"./info.json", good[1].second}});
    EXPECT_EQ(CatalogArchive::unpack(dotted, temporaryRoot).info, driveInfo());
}

TEST_F(CatalogArchiveTest, MembersThatAreNotRegularFilesAreNotACatalog) {
    auto good = members(catalog(driveTree(), driveInfo()));
    // A link member holds its target as data; extracted, it would be read as an index.
    const std::pair<const char*, std::uint32_t> kinds[] = {
        {"link", S_IFLNK | 0777}, {"fifo", S_IFIFO | 0644}, {"folder", S_IFDIR | 0755}};
    for (const auto& [kind, mode] : kinds) {
        for (const char* member : {"index.bin", "info.json"}) {
            SCOPED_TRACE(std::string(kind) + " " + member);
            auto archive = dir / (std::string(kind) + "-" + member + ".zip");
            writeZip(archive,
                     {{"index.bin", std::string(member) == "index.bin" ? std::string("/etc/passwd")
                                                                       : good[0].second},
                      good[1]});
            setUnixMode(archive, member, mode);
            EXPECT_EQ(refusal(archive).kind(), Kind::notACatalog);
        }
    }
    // Regular members with a Unix mode are fine.
    writeZip(dir / "modes.zip", good);
    setUnixMode(dir / "modes.zip", "index.bin", S_IFREG | 0600);
    EXPECT_EQ(CatalogArchive::unpack(dir / "modes.zip", temporaryRoot).info, driveInfo());
}

TEST_F(CatalogArchiveTest, JudgesDeclaredSizesBeforeExtracting) {
    auto good = members(catalog(driveTree(), driveInfo()));
    // Exactly 1 MiB of info.json is read; one byte more is refused.
    std::string padded = good[1].second;
    padded.resize(CatalogArchive::maxInfoBytes, ' ');
    writeZip(dir / "max.zip", {good[0], {"info.json", padded}});
    EXPECT_NO_THROW(CatalogArchive::unpack(dir / "max.zip", temporaryRoot));
    padded.push_back(' ');
    writeZip(dir / "over.zip", {good[0], {"info.json", padded}});
    fs::remove_all(temporaryRoot);
    fs::create_directories(temporaryRoot);
    EXPECT_EQ(refusal(dir / "over.zip").kind(), Kind::notACatalog);

    // A member whose directory entry claims a huge size: refused, nothing written.
    writeZip(dir / "liar.zip", good);
    std::string bytes = readAll(dir / "liar.zip");
    for (std::size_t at = bytes.find("PK\x01\x02"); at != std::string::npos;
         at = bytes.find("PK\x01\x02", at + 4)) {
        for (int k = 0; k < 4; ++k)
            bytes[at + 24 + k] = '\x7F'; // uncompressed size
    }
    writeFileAtomically(dir / "liar.zip", bytes);
    EXPECT_EQ(refusal(dir / "liar.zip").kind(), Kind::notACatalog);

    // A truncated central directory is not an archive.
    writeZip(dir / "cut.zip", good);
    std::string whole = readAll(dir / "cut.zip");
    writeFileAtomically(dir / "cut.zip", whole.substr(0, whole.size() - 30));
    EXPECT_EQ(refusal(dir / "cut.zip").kind(), Kind::notACatalog);
}

// An index is exactly as long as its header says. A member that claims more (a small
// archive inflating to 20 MB of zeros) or less is refused before it is inflated.
TEST_F(CatalogArchiveTest, AnIndexMustHaveTheSizeItsHeaderDeclares) {
    auto good = members(catalog(driveTree(), driveInfo()));
    const std::string& index = good[0].second;
    const std::pair<const char*, std::string> cases[] = {
        {"padded", index + std::string(20u << 20, '\0')},
        {"cut", index.substr(0, index.size() - 8)},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        auto archive = dir / (std::string(name) + ".zip");
        writeZip(archive, {{"index.bin", bytes}, good[1]}, ZIP_CM_DEFLATE);
        EXPECT_LT(fs::file_size(archive), 100u << 10);
        EXPECT_EQ(refusal(archive).kind(), Kind::notACatalog);
    }
    // A header that cannot be read is a damaged index, as when it loads.
    writeZip(dir / "headless.zip", {{"index.bin", index.substr(0, 100)}, good[1]});
    EXPECT_EQ(refusal(dir / "headless.zip").kind(), Kind::damagedIndex);
    writeZip(dir / "deflated.zip", good, ZIP_CM_DEFLATE);
    EXPECT_EQ(CatalogArchive::unpack(dir / "deflated.zip", temporaryRoot).info, driveInfo());
}

TEST_F(CatalogArchiveTest, ChecksTheDescriptionAndTheIndex) {
    auto newer = driveInfo();
    newer.formatVersion = 2;
    auto drive = catalog(driveTree(), driveInfo());
    std::string index = readAll(drive / "index.bin");
    auto newerFolder = catalog(driveTree(), newer);
    writeZip(dir / "newer.zip", members(newerFolder));
    EXPECT_EQ(refusal(dir / "newer.zip"), ArchiveError::unsupportedFormat(2));

    std::string damaged = index;
    damaged[16] ^= 1; // the checksum
    writeZip(dir / "damaged.zip",
             {{"index.bin", damaged}, {"info.json", readAll(drive / "info.json")}});
    EXPECT_EQ(refusal(dir / "damaged.zip").kind(), Kind::damagedIndex);

    auto unsafe = driveInfo();
    unsafe.id = "../escape";
    writeZip(dir / "unsafe.zip", members(catalog(driveTree(), unsafe)));
    EXPECT_EQ(refusal(dir / "unsafe.zip").kind(), Kind::notACatalog);

    auto elsewhere = driveInfo();
    elsewhere.lastMountPath = "/media/other";
    writeZip(dir / "elsewhere.zip", members(catalog(driveTree(), elsewhere)));
    EXPECT_EQ(refusal(dir / "elsewhere.zip").kind(), Kind::notACatalog);
}

TEST(CatalogArchiveChecks, IsSafe) {
    auto with = [](auto change) {
        CatalogInfo info = driveInfo();
        change(info);
        return CatalogArchive::isSafe(info);
    };
    EXPECT_TRUE(with([](CatalogInfo&) {}));
    EXPECT_TRUE(with([](CatalogInfo& i) { i.relativeRoot = "sub/dir"; }));
    EXPECT_FALSE(with([](CatalogInfo& i) { i.relativeRoot = "/abs"; }));
    EXPECT_FALSE(with([](CatalogInfo& i) { i.relativeRoot = "../up"; }));
    EXPECT_FALSE(with([](CatalogInfo& i) { i.relativeRoot = "a/../b"; }));
    EXPECT_FALSE(with([](CatalogInfo& i) { i.lastMountPath = "/media/../etc"; }));
    EXPECT_FALSE(with([](CatalogInfo& i) { i.lastMountPath = "media/drive"; }));
    EXPECT_TRUE(with([](CatalogInfo& i) {
        i.kind = CatalogInfo::Kind::efu;
        i.lastMountPath = "";
    }));
    const std::string_view ids[] = {"", ".", "..", "a/b", std::string_view("a\0b", 3)};
    for (auto id : ids) {
        EXPECT_FALSE(with([&](CatalogInfo& i) { i.id = std::string(id); })) << id;
    }
}

TEST(CatalogArchiveChecks, IsWellFormed) {
    test::TempDir dir;
    int n = 0;
    auto check = [&](IndexBuilder tree, CatalogInfo info, std::size_t volumes = 1) {
        auto folder = dir / std::to_string(++n);
        writeCatalog(folder, tree, info, volumes);
        auto store = IndexStore::open(folder / "index.bin");
        return CatalogArchive::isWellFormed(*store, info);
    };
    EXPECT_TRUE(check(driveTree(), driveInfo()));
    EXPECT_FALSE(check(driveTree(), driveInfo(), 2));
    auto outOfRange = driveInfo();
    outOfRange.rootRecordID = 4;
    EXPECT_FALSE(check(driveTree(), outOfRange));
    auto wrongRoot = driveInfo();
    wrongRoot.rootRecordID = 1;
    EXPECT_FALSE(check(driveTree(), wrongRoot));

    auto tree = [](auto change) {
        IndexBuilder b = driveTree();
        change(b);
        return b;
    };
    EXPECT_FALSE(check(tree([](IndexBuilder& b) { b.addEntry("a/b", 2, {}, 0); }), driveInfo()));
    EXPECT_FALSE(check(tree([](IndexBuilder& b) { b.addEntry("..", 2, {}, 0); }), driveInfo()));
    // Names no file system makes, below the root.
    for (std::string_view bad : {std::string_view(""), std::string_view("a\0b", 3),
                                 std::string_view("."), std::string_view("/")}) {
        EXPECT_FALSE(check(tree([&](IndexBuilder& b) { b.addEntry(bad, 2, {}, 0); }), driveInfo()))
            << testing::PrintToString(std::string(bad));
    }
    // Linux names may hold any other byte, a line feed too.
    EXPECT_TRUE(
        check(tree([](IndexBuilder& b) { b.addEntry("a\nb\rc\td \x01", 2, {}, 0); }), driveInfo()));
    EXPECT_FALSE(check(tree([](IndexBuilder& b) { b.addEntry("x", 4, {}, 0); }), driveInfo()));
    EXPECT_FALSE(check(tree([](IndexBuilder& b) { b.addEntry("x", 2, {}, 1); }), driveInfo()));
    IndexBuilder named;
    named.addEntry("top", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
    named.addEntry("media", 0, RecordFlags::isDirectory, 0);
    named.addEntry("drive", 1, RecordFlags::isDirectory, 0);
    EXPECT_FALSE(check(named, driveInfo()));
    auto efu = driveInfo();
    efu.kind = CatalogInfo::Kind::efu;
    efu.rootRecordID.reset();
    IndexBuilder listed;
    listed.addEntry("C:", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
    listed.addEntry("a.txt", 0, {}, 0);
    EXPECT_TRUE(check(listed, efu));
    // A listed root keeps its path-like name; its children may not.
    IndexBuilder pathRoot;
    pathRoot.addEntry("/srv/share", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
    pathRoot.addEntry("a.txt", 0, {}, 0);
    EXPECT_TRUE(check(pathRoot, efu));
    for (std::string_view bad :
         {std::string_view(""), std::string_view("a\nb"), std::string_view("a\0b", 3)}) {
        IndexBuilder withBad = pathRoot;
        withBad.addEntry(bad, 0, {}, 0);
        EXPECT_FALSE(check(withBad, efu)) << testing::PrintToString(std::string(bad));
    }
}

} // namespace
} // namespace ulmaro
