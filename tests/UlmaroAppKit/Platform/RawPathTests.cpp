#include "UlmaroAppKit/Platform/RawPath.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

TEST(RawPath, ANameShownWithReplacementCharactersFindsItsBytes) {
    test::TempDir dir;
    const std::string root = dir.path().string();
    const std::string latin1 = root + "/caf\xE9";
    std::filesystem::create_directories(latin1 + "/sub");
    std::filesystem::create_directories(root + "/two\xE9\xE8");
    std::filesystem::create_directories(root + "/twin\xE9");
    std::filesystem::create_directories(root + "/twin\xE8");

    const std::string fffd = "\xEF\xBF\xBD";
    const struct {
        std::string shown, raw;
    } cases[] = {
        {root + "/caf" + fffd, latin1},
        {root + "/caf" + fffd + "/sub", latin1 + "/sub"},
        // Decoders replace a run of bad bytes by one or by several U+FFFD.
        {root + "/two" + fffd, root + "/two\xE9\xE8"},
        {root + "/two" + fffd + fffd, root + "/two\xE9\xE8"},
        // Two names that read alike cannot be told apart: the text comes back.
        {root + "/twin" + fffd, root + "/twin" + fffd},
        {root + "/gone" + fffd, root + "/gone" + fffd},
        {root + "/caf\xC3\xA9", root + "/caf\xC3\xA9"}, // valid UTF-8 is taken as written
        {"relative" + fffd, "relative" + fffd},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rawPathOf(c.shown), c.raw) << c.shown;
}

} // namespace
} // namespace ulmaro
