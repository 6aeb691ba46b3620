#include "UlmaroKit/Platform/Uuid.h"

#include <gtest/gtest.h>
#include <regex>
#include <set>

namespace ulmaro {
namespace {

TEST(Uuid, IsARandomVersionFourUUIDInUpperCase) {
    const std::regex form("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        std::string id = uuidString();
        EXPECT_TRUE(std::regex_match(id, form)) << id;
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 100u);
}

} // namespace
} // namespace ulmaro
