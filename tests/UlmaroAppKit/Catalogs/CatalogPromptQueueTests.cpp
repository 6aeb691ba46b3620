#include "UlmaroAppKit/Catalogs/CatalogPromptQueue.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

namespace ulmaro {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

/// Writes every call into one log shared with the answers, so the order of dismiss,
/// answer and next offer shows.
struct RecordingPresenter final : CatalogPromptPresenting {
    std::vector<std::string>& log;
    std::function<void()> catalog;
    std::function<void()> decline;
    bool onScreen = false;

    explicit RecordingPresenter(std::vector<std::string>& into) : log(into) {}
    void present(const std::string& title, std::function<void()> onCatalog,
                 std::function<void()> onDecline) override {
        log.push_back("present " + title);
        catalog = std::move(onCatalog);
        decline = std::move(onDecline);
        onScreen = true;
    }
    void dismiss() override {
        log.push_back("dismiss");
        onScreen = false;
    }
};

MountedVolume drive(const std::string& name, const std::string& uuid = {}) {
    MountedVolume v;
    v.name = name;
    v.uuid = uuid.empty() ? "uuid-" + name : uuid;
    v.mountPath = "/media/me/" + name;
    return v;
}

class CatalogPromptQueueTest : public ::testing::Test {
protected:
    std::vector<std::string> log;
    std::set<std::string> unwanted;
    std::shared_ptr<RecordingPresenter> presenter = std::make_shared<RecordingPresenter>(log);
    std::shared_ptr<CatalogPromptQueue> queue = CatalogPromptQueue::create(
        presenter, [this](const MountedVolume& v) { log.push_back("catalog " + v.name); },
        [this](const MountedVolume& v) { log.push_back("decline " + v.name); },
        [this](const MountedVolume& v) {
            log.push_back("wanted? " + v.name);
            return !unwanted.contains(v.name);
        });

    std::string currentName() const { return queue->current() ? queue->current()->name : "-"; }
};

TEST(CatalogPromptQueueTitle, UsesTypographicQuotes) {
    EXPECT_EQ(CatalogPromptQueue::title(drive("Backup")), "Catalog \u201CBackup\u201D?");
    EXPECT_EQ(CatalogPromptQueue::title(drive("")), "Catalog \u201C\u201D?");
}

TEST_F(CatalogPromptQueueTest, ThreeDrivesAreOfferedInTurnAfterEachAnswer) {
    queue->enqueue(drive("A"));
    queue->enqueue(drive("B"));
    queue->enqueue(drive("C"));
    EXPECT_THAT(log, ElementsAre("wanted? A", "present Catalog \u201CA\u201D?"));
    EXPECT_EQ(currentName(), "A");
    EXPECT_EQ(queue->waiting().size(), 2u);

    log.clear();
    presenter->catalog();
    EXPECT_THAT(log,
                ElementsAre("dismiss", "catalog A", "wanted? B", "present Catalog \u201CB\u201D?"));
    log.clear();
    presenter->decline();
    EXPECT_THAT(log,
                ElementsAre("dismiss", "decline B", "wanted? C", "present Catalog \u201CC\u201D?"));
    log.clear();
    presenter->catalog();
    EXPECT_THAT(log, ElementsAre("dismiss", "catalog C"));
    EXPECT_EQ(currentName(), "-");
    EXPECT_FALSE(presenter->onScreen);
}

TEST_F(CatalogPromptQueueTest, TheSameUUIDOnScreenOrWaitingChangesNothing) {
    queue->enqueue(drive("A"));
    queue->enqueue(drive("B"));
    log.clear();
    queue->enqueue(drive("A again", "uuid-A"));
    queue->enqueue(drive("B again", "uuid-B"));
    EXPECT_THAT(log, IsEmpty());
    EXPECT_EQ(queue->waiting().size(), 1u);
    EXPECT_EQ(queue->waiting().front().name, "B");
    // Only the UUID counts: another drive at a path already waiting is queued.
    MountedVolume samePath = drive("B2");
    samePath.mountPath = "/media/me/B";
    queue->enqueue(samePath);
    EXPECT_EQ(queue->waiting().size(), 2u);
}

TEST_F(CatalogPromptQueueTest, DrivesNoLongerWantedAreDroppedSilently) {
    unwanted = {"A"};
    queue->enqueue(drive("A"));
    EXPECT_THAT(log, ElementsAre("wanted? A"));
    EXPECT_EQ(currentName(), "-");

    unwanted.clear();
    queue->enqueue(drive("B"));
    queue->enqueue(drive("C"));
    queue->enqueue(drive("D"));
    unwanted = {"C", "D"};
    log.clear();
    presenter->catalog();
    EXPECT_THAT(log, ElementsAre("dismiss", "catalog B", "wanted? C", "wanted? D"));
    EXPECT_EQ(currentName(), "-");
    EXPECT_THAT(queue->waiting(), IsEmpty());
}

TEST_F(CatalogPromptQueueTest, WithdrawalGoesByMountPath) {
    queue->enqueue(drive("A"));
    queue->enqueue(drive("B"));
    MountedVolume sameB = drive("B-other", "uuid-other");
    sameB.mountPath = "/media/me/B";
    queue->enqueue(sameB);
    queue->enqueue(drive("C"));
    log.clear();

    // Waiting drives leave without any visible change, every one at that path.
    queue->withdraw("/media/me/B");
    EXPECT_THAT(log, IsEmpty());
    ASSERT_EQ(queue->waiting().size(), 1u);
    EXPECT_EQ(queue->waiting().front().name, "C");

    queue->withdraw("/media/me/nothing");
    EXPECT_THAT(log, IsEmpty());

    // The drive on screen leaves it, and the next one is offered.
    queue->withdraw("/media/me/A");
    EXPECT_THAT(log, ElementsAre("dismiss", "wanted? C", "present Catalog \u201CC\u201D?"));
    EXPECT_EQ(currentName(), "C");
}

TEST_F(CatalogPromptQueueTest, AnAnswerWithoutItsDriveOnScreenDoesNothing) {
    queue->enqueue(drive("A"));
    auto staleCatalog = presenter->catalog;
    auto staleDecline = presenter->decline;
    queue->withdraw("/media/me/A");
    log.clear();
    staleCatalog();
    staleDecline();
    EXPECT_THAT(log, IsEmpty());

    // Nor does an answer from an earlier offer answer for the drive shown after it.
    queue->enqueue(drive("B"));
    queue->enqueue(drive("C"));
    auto firstCatalog = presenter->catalog;
    firstCatalog();
    ASSERT_EQ(currentName(), "C");
    log.clear();
    firstCatalog();
    staleDecline();
    EXPECT_THAT(log, IsEmpty());
    EXPECT_EQ(currentName(), "C");
    presenter->decline();
    EXPECT_THAT(log, ElementsAre("dismiss", "decline C"));
}

TEST_F(CatalogPromptQueueTest, AnswersHoldTheQueueWeakly) {
    queue->enqueue(drive("A"));
    auto answer = presenter->catalog;
    std::weak_ptr<CatalogPromptQueue> weak = queue;
    queue.reset();
    EXPECT_TRUE(weak.expired()) << "the presenter's callbacks keep the queue alive";
    log.clear();
    answer();
    EXPECT_THAT(log, IsEmpty());
}

TEST_F(CatalogPromptQueueTest, ADriveEnqueuedByAnAnswerWaitsItsTurn) {
    auto reentrant = std::make_shared<RecordingPresenter>(log);
    std::shared_ptr<CatalogPromptQueue> q;
    q = CatalogPromptQueue::create(
        reentrant,
        [&](const MountedVolume& v) {
            log.push_back("catalog " + v.name);
            q->enqueue(drive("Late"));
        },
        {}, [](const MountedVolume&) { return true; });
    q->enqueue(drive("A"));
    log.clear();
    reentrant->catalog();
    EXPECT_THAT(log, ElementsAre("dismiss", "catalog A", "present Catalog \u201CLate\u201D?"));
    EXPECT_EQ(q->current()->name, "Late");
}

} // namespace
} // namespace ulmaro
