#include "UlmaroKit/Platform/ProgramLocation.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

TEST(ProgramLocation, PrivateLibrariesSitBesideTheProgramsFolder) {
    const struct {
        const char* executable;
        const char* folder;
    } cases[] = {
        {"/usr/local/bin/lu", "/usr/local/lib/ulmaro"},
        {"/usr/bin/ulmaro", "/usr/lib/ulmaro"},
        {"/tmp/stage/usr/local/bin/ulmaro", "/tmp/stage/usr/local/lib/ulmaro"},
        {"/home/me/ulmaro/build/release/lu/lu", "/home/me/ulmaro/build/release/lib/ulmaro"},
        {"/opt/ulmaro/bin/../bin/./lu", "/opt/ulmaro/lib/ulmaro"},
        {"/lu", "/lib/ulmaro"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProgramLocation::privateLibraryDirectory(c.executable),
                  std::filesystem::path(c.folder))
            << c.executable;
}

TEST(ProgramLocation, ExecutableIsThisTestProgram) {
    auto self = ProgramLocation::executable();
    EXPECT_TRUE(self.is_absolute()) << self;
    EXPECT_EQ(self.filename(), "test_Platform");
    EXPECT_TRUE(std::filesystem::is_regular_file(self)) << self;
}

} // namespace
} // namespace ulmaro
