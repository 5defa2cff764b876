// The main view's choice and the strip, as one table: each row builds a meeting, does one
// thing (choose automatically, lock, click, share, take the floor) and states what the main
// view and the strip show afterwards.

#include "KLRegistryTestSupport.h"

#include "model/KLCallState.h"
#include "runtime/KLTimeScale.h"

#include <functional>
#include <thread>

using namespace kltest;

namespace {

using Act = std::function<void(RegistryScene &)>;

struct MainViewCase {
    const char *name;
    bool pallas;
    std::vector<TestFeed> feeds;
    Act act;
    QString main;
    QStringList strip;
    /// Reception turned on / off by the strip, in the order the connection heard of it.
    QStringList receptionOn = {}, receptionOff = {};
    /// When set, the row clicked a feed: the main view after the click period ran out.
    QString mainAfterClickExpiry = {};
    qint64 mode = 0;
    bool entered = true;
};

void automatic(RegistryScene &s) { s.registry.displayClientAutomatically(); }
Act lock(QString id) { return [id](RegistryScene &s) { s.registry.lockClientFeed(s.feed(id)); }; }
Act click(QString id) { return [id](RegistryScene &s) { s.registry.clickedClientFeed(s.feed(id)); }; }
Act remoteShare(QString id, Act then = automatic)
{
    return [id, then](RegistryScene &s) { s.registry.setRemoteShareScreenFeed(s.feed(id)); then(s); };
}
Act floor(QString id, Act then = automatic)
{
    return [id, then](RegistryScene &s) { s.registry.setFloorChangeFeed(s.feed(id)); then(s); };
}

const TestFeed P{"P", Publisher | Online | Media};
TestFeed on(const char *uuid, int extra = 0) { return {uuid, Online | Media | extra}; }
TestFeed screen(const char *uuid) { return {uuid, Media | NoParticipant}; }

const MainViewCase kCases[] = {
    {"PublisherAloneStaysInStrip", true, {P}, automatic, "P", {"P"}},
    {"PublisherOnMainWithTwoOthersLeavesStrip", false, {P, on("A"), on("B")}, automatic, "P",
     {"A", "B"}, {"A", "B"}},
    {"LockWinsOverShare", true, {P, on("A"), on("B"), screen("screen-B")},
     remoteShare("screen-B", lock("A")), "A", {"P", "screen-B", "B"}, {"screen-B", "B"}},
    {"LockedFeedWithoutMediaIgnoredInOtherKind", false, {P, {"A", Online}, on("B")}, lock("A"),
     "P", {"B"}, {"B"}},
    {"ShareOnMainPutsSharerFirst", true, {P, on("A"), on("B"), screen("screen-B")},
     remoteShare("screen-B"), "screen-B", {"P", "B", "A"}, {"B", "A"}},
    {"ShareOnMainOtherKindNoSharer", false, {P, on("A"), on("B"), screen("screen-B")},
     remoteShare("screen-B"), "screen-B", {"P", "A", "B"}, {"A", "B"}},
    {"FloorTakesMainInPallas", true, {P, on("A"), on("B"), on("C")}, floor("C"), "C",
     {"P", "A", "B"}, {"A", "B"}},
    {"FloorKeepsStripPrecedenceInOtherKind", false, {P, on("A"), on("C")}, floor("C"), "P",
     {"C", "A"}, {"C", "A"}},
    {"FloorPlacedBeforeEarlierMembers", true, {P, on("A"), on("B"), on("C")},
     floor("C", lock("A")), "A", {"P", "C", "B"}, {"C", "B"}},
    // The Pallas order, pairwise: a remote share before the floor, the floor before a room.
    {"ShareWinsOverFloorInPallas", true, {P, on("A"), on("B"), on("C"), screen("screen-B")},
     remoteShare("screen-B", floor("C")), "screen-B", {"P", "B", "C", "A"}, {"B", "C", "A"}},
    {"FloorWinsOverRoomInPallas", true, {P, on("A"), {"R", Online | Room}, on("C")}, floor("C"), "C",
     {"P", "A", "R"}, {"A"}},
    {"OnlineRoomWithAudioTakesMain", true, {P, on("A"), {"R", Online | Room}}, automatic, "R",
     {"P", "A"}, {"A"}},
    {"DefaultIsFirstOnlineInPallas", true, {P, {"A", Online}, on("B")}, automatic, "A",
     {"P", "B"}, {"B"}},
    {"DefaultIsMixedStreamInOtherKind", false, {P, on("A"), screen("main")}, automatic, "main",
     {"P", "A"}, {"A"}},
    {"OnlineWithoutMediaOnlyTiledInPallas", false, {P, on("A"), {"B", Online}}, automatic, "P",
     {"A"}, {"A"}},
    {"FourTileCapAndPallasTurnsLeftOutVideoOff", true,
     {P, on("A"), on("B"), on("C"), on("D"), on("E", ReceivingVideo)}, lock("A"), "A",
     {"P", "B", "C", "D"}, {"B", "C", "D"}, {"E"}},
    {"FourTileCapOtherKindKeepsReception", false,
     {P, on("A"), on("B"), on("C"), on("D"), on("E", ReceivingVideo)}, lock("A"), "A",
     {"P", "B", "C", "D"}, {"B", "C", "D"}},
    {"RingingMemberFillsFreeTileInPallas", true, {P, on("A"), {"R", Ringing}}, lock("A"), "A",
     {"P", "R"}},
    {"ClickHoldsMainUntilExpiry", true, {P, on("A"), on("B")}, click("B"), "B", {"P", "A"},
     {"A"}, {}, "A"},
    {"ClickOnOfflineFeedWithoutMediaIgnored", true, {P, on("A"), {"C", 0}}, click("C"), "A",
     {"P"}},
    {"MultiProjectorShowsRemoteShare", true, {P, on("A"), screen("screen-A")},
     remoteShare("screen-A"), "screen-A", {"P", "A"}, {"A"}, {}, {}, 1},
    {"MultiProjectorFallsBackToPublisher", true, {P, on("A")}, lock("A"), "P", {"A"}, {"A"},
     {}, {}, 1},
    {"OtherModeChangesNothing", true, {P, on("A")}, automatic, "", {"P", "A"}, {"A"}, {}, {}, 2},
    {"NotEnteredHasNoStrip", true, {P, on("A")}, automatic, "A", {}, {}, {}, {}, 0, false},
};

class RegistryMainView : public testing::Test {
protected:
    void SetUp() override { KLTimeScale::setFactor(0.01); }
    void TearDown() override { KLTimeScale::setFactor(1.0); }
};

TEST_F(RegistryMainView, ChoosesMainViewAndStrip)
{
    for (const MainViewCase &c : kCases) {
        SCOPED_TRACE(c.name);
        RegistryScene s;
        s.host->pallas = c.pallas;
        s.host->mode = c.mode;
        s.host->entered = c.entered;
        s.add(c.feeds);
        c.act(s);

        const auto shown = s.registry.displayingClient();
        EXPECT_EQ(shown ? shown->uuid() : QString(), c.main);
        EXPECT_EQ(uuidsOf(s.registry.smallClients()), c.strip);
        EXPECT_EQ(s.streamVideoCalls(true), c.receptionOn);
        EXPECT_EQ(s.streamVideoCalls(false), c.receptionOff);
        for (const QString &uuid : c.receptionOn + c.receptionOff)
            EXPECT_EQ(s.feed(uuid)->isReceiveVideoByClient(), c.receptionOn.contains(uuid)) << qPrintable(uuid);

        if (!c.mainAfterClickExpiry.isEmpty()) {
            EXPECT_TRUE(waitUntil([&] { return s.registry.clickedFeed() == nullptr; }));
            EXPECT_EQ(s.registry.displayingClient()->uuid(), c.mainAfterClickExpiry);
        }
    }
}

// What a main-view change tells the others: the layout, the engine's HD request, the lock.
TEST_F(RegistryMainView, ShowingAFeedTellsLayoutAsksForHdAndLockMovesAlong)
{
    RegistryScene s;
    s.add({P, on("A"), on("B")});
    s.registry.displayClientOnMain(s.feed("A"));
    s.registry.displayClientOnMain(s.feed("A"));
    s.registry.displayClientOnMain(s.feed("P"));
    EXPECT_EQ(s.host->layout->mainScreen, (QStringList{"A", "P"}));
    EXPECT_EQ(s.host->layout->updated, QStringList{"A"});
    EXPECT_EQ(s.host->layout->smallScreen, 3);
    // HD is asked for the remote feed each time it is shown, never for the own camera.
    EXPECT_EQ(s.engine->callLog()->count("enableHDVideo"), 2);
    EXPECT_EQ(s.engine->callLog()->last("enableHDVideo")->args.at(0).toString(), "A");

    s.registry.lockClientFeed(s.feed("A"));
    s.registry.lockClientFeed(s.feed("A")); // same feed again stays locked
    EXPECT_TRUE(s.feed("A")->isLocked());
    s.registry.lockClientFeed(s.feed("B"));
    EXPECT_FALSE(s.feed("A")->isLocked());
    EXPECT_TRUE(s.feed("B")->isLocked());
    s.registry.lockClientFeed(nullptr);
    EXPECT_FALSE(s.feed("B")->isLocked());
    EXPECT_EQ(s.registry.lockedFeed(), nullptr);
}

TEST_F(RegistryMainView, SecondClickReplacesTheFirstTimer)
{
    RegistryScene s;
    s.add({P, on("A"), on("B"), on("C")});
    s.registry.clickedClientFeed(s.feed("B"));
    s.registry.clickedClientFeed(s.feed("C"));
    EXPECT_TRUE(waitUntil([&] { return s.registry.clickedFeed() == nullptr; }));
    pumpEvents(300); // room for a stray first timer to fire, were it still running
    // One expiry only: a second one would show "A" again as a content update.
    EXPECT_EQ(s.host->layout->mainScreen, (QStringList{"B", "C", "A"}));
    EXPECT_TRUE(s.host->layout->updated.isEmpty());
}

// Member pushes ask for the choice; the requests of one event-loop turn share one choice, made
// after the last of them so that it sees what every push changed.
TEST_F(RegistryMainView, RequestsOfOneTurnShareOneChoiceMadeAfterTheLast)
{
    RegistryScene s;
    s.add({P, {"A", 0}, {"B", 0}});
    const auto comesOnline = [&](const char *uuid) { s.feed(uuid)->participant()->callState()->online = 1; };
    auto keeper = std::make_shared<int>();
    const auto &layout = *s.host->layout;

    s.registry.requestMainViewChoice(keeper);
    comesOnline("A");
    s.registry.requestMainViewChoice(keeper);
    EXPECT_TRUE(layout.mainScreen.isEmpty()); // nothing before the turn ends
    pumpEvents(50);
    EXPECT_EQ(layout.mainScreen, QStringList{"A"}); // one choice, and it saw "A" come online
    EXPECT_EQ(layout.smallScreen, 1);

    // A reader of the main view in the same turn has the choice made first; the queued one
    // then has nothing left to do.
    s.feed("A")->participant()->callState()->online = 0;
    comesOnline("B");
    s.registry.requestMainViewChoice(keeper);
    s.registry.choosePendingMainView();
    EXPECT_EQ(layout.mainScreen, (QStringList{"A", "B"}));
    pumpEvents(50);
    EXPECT_EQ(layout.smallScreen, 2);

    // Once the meeting that owns the registry is gone, a queued choice does nothing.
    s.registry.requestMainViewChoice(keeper);
    keeper.reset();
    pumpEvents(50);
    EXPECT_EQ(layout.smallScreen, 2);

    // A thread without an event loop has no turn to wait for: the choice is made at once.
    keeper = std::make_shared<int>();
    std::thread([&] { s.registry.requestMainViewChoice(keeper); }).join();
    EXPECT_EQ(layout.smallScreen, 3);
}

} // namespace
