#include "UlmaroAppKit/Fakes/InMemoryPasteboard.h"
#include "UlmaroAppKit/Fakes/RecordingResultActions.h"
#include "UlmaroAppKit/Fakes/RecordingWorkspaceOpener.h"
#include "UlmaroAppKit/Shell/SystemWorkspace.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(SystemWorkspace, EachCallReachesItsPiece) {
    auto opener = std::make_shared<RecordingWorkspaceOpener>();
    auto actions = std::make_shared<RecordingResultActions>();
    auto pasteboard = std::make_shared<InMemoryPasteboard>();
    SystemWorkspace workspace(opener, actions, pasteboard);

    const std::string raw = "/media/me/caf\xe9.txt"; // Latin-1, not UTF-8
    workspace.open(raw);
    workspace.reveal(raw);
    workspace.copyText(raw);
    EXPECT_THAT(opener->opened, ElementsAre(raw));
    EXPECT_THAT(actions->revealed, ElementsAre(raw));
    EXPECT_EQ(pasteboard->text, "/media/me/caf\uFFFD.txt");
    workspace.copyText("");
    EXPECT_EQ(pasteboard->text, "");
    EXPECT_EQ(pasteboard->writes, 2);
    EXPECT_THAT(actions->copied, IsEmpty());
}

} // namespace
} // namespace ulmaro
