#include "UlmaroAppKit/Fakes/ManualSerialQueue.h"
#include "UlmaroAppKit/Platform/JsonFileSettingsStore.h"
#include "UlmaroAppKit/Platform/SettingsFile.h"
#include "support/TempDir.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <limits>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace ulmaro {
namespace {

using json = nlohmann::json;

std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeAll(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

json fileObject(const std::filesystem::path& path) {
    return json::parse(readAll(path));
}

std::size_t lineCount(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Runs each task at once on the submitting thread, so that writes really race.
class InlineQueue final : public SerialQueue {
public:
    void async(Task task) override { task(); }
    const std::string& label() const override { return label_; }
    QueueQuality quality() const override { return QueueQuality::utility; }

private:
    std::string label_ = "inline";
};

class InlineQueueFactory final : public SerialQueueFactory {
public:
    std::shared_ptr<SerialQueue> makeQueue(std::string, QueueQuality) override {
        return std::make_shared<InlineQueue>();
    }
    std::shared_ptr<SerialQueue> globalUtility() override {
        return std::make_shared<InlineQueue>();
    }
};

TEST(SettingsFile, ParsesDefensively) {
    const std::string deep = std::string(65, '[') + std::string(65, ']');
    const std::string deepest = std::string(63, '[') + std::string(63, ']');
    struct Case {
        std::string text;
        SettingsFile::State state;
        json object; // when valid
    } cases[] = {
        {R"({"a": 1, "b": [true, "x"]})",
         SettingsFile::State::valid,
         {{"a", 1}, {"b", {true, "x"}}}},
        {" \n\t", SettingsFile::State::valid, json::object()},
        {"", SettingsFile::State::valid, json::object()},
        {"[]", SettingsFile::State::damaged, {}},
        {"\"text\"", SettingsFile::State::damaged, {}},
        {"{\"a\": 1", SettingsFile::State::damaged, {}},
        {"{\"a\": 1} trailing", SettingsFile::State::damaged, {}},
        {"{\"a\": " + deep + "}", SettingsFile::State::damaged, {}},
        {"{\"a\": " + deepest + "}", SettingsFile::State::valid, {{"a", json::parse(deepest)}}},
        // Numbers beyond a double read as null and leave the other keys be.
        {R"({"a": 1e400, "b": -1E+999, "c": 2})",
         SettingsFile::State::valid,
         {{"a", nullptr}, {"b", nullptr}, {"c", 2}}},
        {R"({"a": 1.8e308, "b": 1.7e308, "c": 0.001e311, "d": 1e-400})",
         SettingsFile::State::valid,
         {{"a", nullptr}, {"b", 1.7e308}, {"c", 1e308}, {"d", 0.0}}},
        {R"({"a": 18446744073709551616, "b": -9223372036854775809})",
         SettingsFile::State::valid,
         {{"a", 18446744073709551616.0}, {"b", -9223372036854775809.0}}},
        // Inside strings nothing is touched, escaped quotes included.
        {R"({"a": "1e400 [[[", "b\"1e400": 1})",
         SettingsFile::State::valid,
         {{"a", "1e400 [[["}, {"b\"1e400", 1}}},
        // Bytes that are not UTF-8 read as U+FFFD.
        {"{\"a\": \"caf\xe9\"}", SettingsFile::State::valid, {{"a", "caf\xef\xbf\xbd"}}},
    };
    for (const auto& c : cases) {
        auto parsed = SettingsFile::parse(c.text);
        EXPECT_EQ(parsed.state, c.state) << c.text;
        if (c.state == SettingsFile::State::valid)
            EXPECT_EQ(parsed.object, c.object) << c.text;
        else
            EXPECT_FALSE(parsed.problem.empty());
    }
}

TEST(SettingsFile, WritesTextThatReadsBackEvenFromBytesThatAreNotUtf8) {
    json object = {{"app.ulmaro.b", {"/x", std::string("/bad\xff", 5)}}, {"app.ulmaro.a", 1}};
    auto text = SettingsFile::text(object);
    EXPECT_TRUE(text.ends_with("}\n"));
    EXPECT_LT(text.find("app.ulmaro.a"), text.find("app.ulmaro.b"));
    auto back = SettingsFile::parse(text);
    ASSERT_EQ(back.state, SettingsFile::State::valid);
    EXPECT_EQ(back.object["app.ulmaro.b"][1], "/bad\xef\xbf\xbd");
}

class JsonFileSettingsStoreTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::filesystem::path file = dir / "config" / "settings.json";
    ManualSerialQueueFactory queues;

    ManualSerialQueue& writerQueue() { return *queues.queues().back(); }
};

TEST_F(JsonFileSettingsStoreTest, ChangesApplyAtOnceAndReachTheFileOnTheUtilityQueue) {
    JsonFileSettingsStore store(file, queues);
    EXPECT_EQ(writerQueue().quality(), QueueQuality::utility);

    const json values = {
        {"app.ulmaro.bool", true},
        {"app.ulmaro.int.min", std::numeric_limits<std::int64_t>::min()},
        {"app.ulmaro.int.max", std::numeric_limits<std::int64_t>::max()},
        {"app.ulmaro.double", 0.1},
        {"app.ulmaro.string", "Caf\xc3\xa9"},
        {"app.ulmaro.list", {"/a", "/b"}},
        {"app.ulmaro.data", R"({"k":[1,2]})"},
    };
    for (const auto& [key, value] : values.items())
        store.setValue(key, value);
    store.setValue("app.ulmaro.gone", 1);
    store.remove("app.ulmaro.gone");

    // Nothing waits on the disk: one write is queued for all of it.
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(writerQueue().pending(), 1u);
    EXPECT_EQ(store.intValue("app.ulmaro.int.max"), std::numeric_limits<std::int64_t>::max());
    EXPECT_FALSE(store.contains("app.ulmaro.gone"));

    writerQueue().drain();
    EXPECT_EQ(fileObject(file), values);

    JsonFileSettingsStore fresh(file, queues);
    for (const auto& [key, value] : values.items())
        EXPECT_EQ(fresh.value(key), value) << key;
    EXPECT_EQ(fresh.intValue("app.ulmaro.int.min"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(fresh.doubleValue("app.ulmaro.double"), 0.1);
    EXPECT_EQ(fresh.stringListValue("app.ulmaro.list"), (std::vector<std::string>{"/a", "/b"}));
    EXPECT_EQ(fresh.dataValue("app.ulmaro.data"), R"({"k":[1,2]})");
}

TEST_F(JsonFileSettingsStoreTest, FlushAndDestructionWriteWhatTheQueueHasNotYet) {
    {
        JsonFileSettingsStore store(file, queues);
        store.setBool("app.ulmaro.flushed", true);
        store.flush();
        EXPECT_EQ(fileObject(file), (json{{"app.ulmaro.flushed", true}}));
        store.setBool("app.ulmaro.atExit", true);
    }
    EXPECT_EQ(fileObject(file), (json{{"app.ulmaro.flushed", true}, {"app.ulmaro.atExit", true}}));
    // The queued tasks outlive the store and find nothing to do.
    queues.drainAll();
    EXPECT_EQ(fileObject(file), (json{{"app.ulmaro.flushed", true}, {"app.ulmaro.atExit", true}}));
}

// Callers set values on every update (the index's state, scan statistics); a value already
// held must cost no write, or the file is rewritten for ever.
TEST_F(JsonFileSettingsStoreTest, SettingTheValueAlreadyHeldWritesNothing) {
    std::filesystem::create_directories(file.parent_path());
    writeAll(file, R"({"app.ulmaro.flag": true, "app.ulmaro.count": 5, "app.ulmaro.list": ["/a"],
                       "app.ulmaro.ratio": 0.5})");
    const auto inode = [&] {
        struct stat st {};
        ::stat(file.c_str(), &st);
        return st.st_ino;
    };
    const auto before = inode();
    JsonFileSettingsStore store(file, queues);
    store.setBool("app.ulmaro.flag", true);
    store.setInt("app.ulmaro.count", 5); // read as unsigned, set as signed: the same text
    store.setStringList("app.ulmaro.list", {"/a"});
    store.setDouble("app.ulmaro.ratio", 0.5);
    store.remove("app.ulmaro.absent");
    EXPECT_EQ(writerQueue().pending(), 0u);
    store.flush();
    EXPECT_EQ(inode(), before); // an atomic write would have put a new file there

    // A value that reads differently is a change, even when equal as a number.
    store.setDouble("app.ulmaro.count", 5.0);
    EXPECT_EQ(writerQueue().pending(), 1u);
    writerQueue().drain();
    EXPECT_EQ(store.intValue("app.ulmaro.count"), std::nullopt);
    EXPECT_EQ(store.doubleValue("app.ulmaro.count"), 5.0);
}

TEST_F(JsonFileSettingsStoreTest, AWriteChangesOnlyItsOwnKeysOverAFreshRead) {
    std::filesystem::create_directories(file.parent_path());
    writeAll(file, R"({"app.ulmaro.a": 1, "app.ulmaro.b": 2, "app.ulmaro.c": 3})");
    JsonFileSettingsStore store(file, queues);

    // Meanwhile a hand edit (or another copy) changes b, drops c and adds d.
    writeAll(file, R"({"app.ulmaro.a": 1, "app.ulmaro.b": 20, "app.ulmaro.d": 4})");
    store.setInt("app.ulmaro.a", 10);
    store.remove("app.ulmaro.missing");
    writerQueue().drain();
    EXPECT_EQ(fileObject(file),
              (json{{"app.ulmaro.a", 10}, {"app.ulmaro.b", 20}, {"app.ulmaro.d", 4}}));
    // And this run now sees the file as written.
    EXPECT_EQ(store.intValue("app.ulmaro.b"), 20);
    EXPECT_FALSE(store.contains("app.ulmaro.c"));
    EXPECT_EQ(store.intValue("app.ulmaro.d"), 4);
}

TEST_F(JsonFileSettingsStoreTest, AFailedWriteKeepsTheOldFileAndTheValueAndSavesItLater) {
    std::filesystem::create_directories(file.parent_path());
    const std::string old = R"({"app.ulmaro.keep": "old"})";
    writeAll(file, old);
    JsonFileSettingsStore store(file, queues);

    // The folder is put aside and a file stands in its place, so nothing can be written
    // there (permissions would not stop root).
    const auto folder = file.parent_path();
    const auto aside = dir / "aside";
    std::filesystem::rename(folder, aside);
    writeAll(folder, "in the way");
    store.setString("app.ulmaro.new", "value");
    testing::internal::CaptureStderr();
    writerQueue().drain();
    auto err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(lineCount(err), 1u) << err;
    EXPECT_NE(err.find("could not save settings"), std::string::npos) << err;
    EXPECT_EQ(readAll(aside / file.filename()), old);
    EXPECT_EQ(store.stringValue("app.ulmaro.new"), "value");

    // Once the obstacle is gone, the next write carries the change too.
    std::filesystem::remove(folder);
    std::filesystem::rename(aside, folder);
    store.setBool("app.ulmaro.later", true);
    writerQueue().drain();
    EXPECT_EQ(fileObject(file), (json{{"app.ulmaro.keep", "old"},
                                      {"app.ulmaro.new", "value"},
                                      {"app.ulmaro.later", true}}));
}

TEST_F(JsonFileSettingsStoreTest, DamagedFilesReadAsEmptyAndAreKeptAsideBeforeTheFirstWrite) {
    std::filesystem::create_directories(file.parent_path());
    const std::string oversized =
        "{\"app.ulmaro.pad\": \"" + std::string(SettingsFile::maxBytes, 'x') + "\"}";
    for (const std::string& damaged : {std::string("not json"), std::string("[1, 2]"),
                                       std::string("{\"app.ulmaro.a\": tru"), oversized}) {
        writeAll(file, damaged);
        testing::internal::CaptureStderr();
        JsonFileSettingsStore store(file, queues);
        auto err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(lineCount(err), 1u) << err;
        EXPECT_FALSE(store.contains("app.ulmaro.a"));

        store.setInt("app.ulmaro.after", 1);
        testing::internal::CaptureStderr();
        writerQueue().drain();
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        auto aside = file;
        aside += ".damaged";
        EXPECT_EQ(readAll(aside), damaged);
        EXPECT_EQ(fileObject(file), (json{{"app.ulmaro.after", 1}}));
        std::filesystem::remove(file);
    }
}

TEST_F(JsonFileSettingsStoreTest, DamageIsToldOnceAndTheFileSetAsideWithoutAWrite) {
    std::filesystem::create_directories(file.parent_path());
    writeAll(file, "not json");
    auto aside = file;
    aside += ".damaged";
    {
        testing::internal::CaptureStderr();
        JsonFileSettingsStore store(file, queues);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(store.damage(), "not valid JSON");
        EXPECT_EQ(store.damagedPath(), aside);
        writerQueue().drain();
        EXPECT_FALSE(std::filesystem::exists(file)) << "set aside though nothing was written";
        EXPECT_EQ(readAll(aside), "not json");
    }
    // The next start finds no file: nothing to tell.
    testing::internal::CaptureStderr();
    JsonFileSettingsStore next(file, queues);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(next.damage(), std::nullopt);

    // A sound file written by another copy before the store's queue ran is kept.
    writeAll(file, "{ still broken");
    testing::internal::CaptureStderr();
    JsonFileSettingsStore third(file, queues);
    testing::internal::GetCapturedStderr();
    writeAll(file, R"({"app.ulmaro.a": 1})");
    writerQueue().drain();
    EXPECT_EQ(fileObject(file), (json{{"app.ulmaro.a", 1}}));
}

TEST_F(JsonFileSettingsStoreTest, AFifoOrAFolderAtThePathIsDamagedAndNeverHangsStartUp) {
    std::filesystem::create_directories(file.parent_path());
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    testing::internal::CaptureStderr();
    {
        JsonFileSettingsStore store(file, queues);
        EXPECT_EQ(lineCount(testing::internal::GetCapturedStderr()), 1u);
        store.setBool("app.ulmaro.x", true);
        writerQueue().drain();
    }
    auto aside = file;
    aside += ".damaged";
    EXPECT_TRUE(std::filesystem::is_fifo(aside));
    EXPECT_EQ(fileObject(file), (json{{"app.ulmaro.x", true}}));

    std::filesystem::remove(file);
    std::filesystem::remove(aside);
    std::filesystem::create_directory(file);
    testing::internal::CaptureStderr();
    JsonFileSettingsStore store(file, queues);
    EXPECT_EQ(lineCount(testing::internal::GetCapturedStderr()), 1u);
    store.setBool("app.ulmaro.y", true);
    store.flush();
    EXPECT_TRUE(std::filesystem::is_directory(aside));
    EXPECT_EQ(fileObject(file), (json{{"app.ulmaro.y", true}}));
}

TEST_F(JsonFileSettingsStoreTest, DamageAppearingDuringTheRunKeepsWhatThisRunKnew) {
    std::filesystem::create_directories(file.parent_path());
    writeAll(file, R"({"app.ulmaro.a": 1})");
    JsonFileSettingsStore store(file, queues);
    writeAll(file, "{ broken by an editor");
    store.setInt("app.ulmaro.b", 2);
    testing::internal::CaptureStderr();
    writerQueue().drain();
    EXPECT_EQ(lineCount(testing::internal::GetCapturedStderr()), 1u);
    EXPECT_EQ(fileObject(file), (json{{"app.ulmaro.a", 1}, {"app.ulmaro.b", 2}}));
    auto aside = file;
    aside += ".damaged";
    EXPECT_EQ(readAll(aside), "{ broken by an editor");
}

TEST_F(JsonFileSettingsStoreTest, ConcurrentWritersOverOneFileLoseNothing) {
    InlineQueueFactory inline_;
    JsonFileSettingsStore first(file, inline_);
    JsonFileSettingsStore second(file, inline_);
    constexpr int threads = 6, keysEach = 25;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            JsonFileSettingsStore& store = t % 2 == 0 ? first : second;
            for (int k = 0; k < keysEach; ++k) {
                auto key = "app.ulmaro.t" + std::to_string(t) + "." + std::to_string(k);
                store.setInt(key, k);
                EXPECT_EQ(store.intValue(key), k);
            }
        });
    for (auto& w : workers)
        w.join();
    first.flush();
    second.flush();

    auto written = fileObject(file);
    EXPECT_EQ(written.size(), static_cast<std::size_t>(threads * keysEach));
    for (int t = 0; t < threads; ++t)
        for (int k = 0; k < keysEach; ++k)
            EXPECT_EQ(
                written.value("app.ulmaro.t" + std::to_string(t) + "." + std::to_string(k), -1), k);
}

// A file that cannot be read just now (here a link loop; in life, no descriptors left) may
// hold every other key: it is never replaced and never kept aside as damaged.
TEST_F(JsonFileSettingsStoreTest, AFileThatCannotBeReadNowIsNeitherReplacedNorKeptAside) {
    std::filesystem::create_directories(file.parent_path());
    std::filesystem::create_symlink(file.filename(), file);
    testing::internal::CaptureStderr();
    JsonFileSettingsStore store(file, queues);
    EXPECT_EQ(lineCount(testing::internal::GetCapturedStderr()), 1u);
    store.setString("app.ulmaro.first", "a");
    testing::internal::CaptureStderr();
    writerQueue().drain();
    EXPECT_EQ(lineCount(testing::internal::GetCapturedStderr()), 1u);
    EXPECT_TRUE(std::filesystem::is_symlink(file));
    auto aside = file;
    aside += ".damaged";
    EXPECT_FALSE(std::filesystem::exists(aside));
    EXPECT_EQ(store.stringValue("app.ulmaro.first"), "a");

    // Readable again: the kept change goes out with the next one, over the other keys.
    std::filesystem::remove(file);
    writeAll(file, R"({"app.ulmaro.keep": 1})");
    store.setString("app.ulmaro.second", "b");
    writerQueue().drain();
    EXPECT_EQ(
        fileObject(file),
        (json{{"app.ulmaro.keep", 1}, {"app.ulmaro.first", "a"}, {"app.ulmaro.second", "b"}}));
}

} // namespace
} // namespace ulmaro
