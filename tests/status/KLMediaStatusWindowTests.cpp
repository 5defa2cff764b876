// The reporting window fed sample by sample, in the shape the engine's statistics answer has.
#include "StatusSamples.h"

#include "conference/status/KLMediaStatusWindow.h"

#include <gtest/gtest.h>

#include <functional>

using namespace klstatus;

namespace {

class KLMediaStatusWindowTest : public ::testing::Test {
protected:
    /// Feeds samples first…last and returns the records of the last; no earlier one may report.
    QList<QJsonObject> feed(int first, int last, const std::function<QJsonObject(int)> &make)
    {
        KLMediaStatusOutcome outcome;
        for (int n = first; n <= last; ++n) {
            EXPECT_TRUE(outcome.records.isEmpty()) << "sample " << n - 1;
            outcome = window.uploadMediaStatus(make(n), context);
            levels += outcome.publisherAudio;
        }
        return outcome.records;
    }

    KLMediaStatusWindow window;
    KLMediaStatusContext context;
    QList<KLMediaStatusPublisherAudio> levels;
};

} // namespace

TEST_F(KLMediaStatusWindowTest, SenderRecordsTakeTheTenthSendSamplesAndTheFirstBandwidth)
{
    QList<QJsonObject> records = feed(1, 10, [](int n) {
        return sample(n, {sendAudio(n)}, {sendVideo(n), sendVideo(n, true)});
    });
    // The own level is kept current on every sample.
    ASSERT_EQ(levels.size(), 10);
    EXPECT_EQ(levels[3].iLevel, 104);
    EXPECT_EQ(levels[9].packetsSent, 5000000010LL);

    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0].value("value"), "mediaStatus");
    EXPECT_EQ(records[0].value("mtype"), "main");
    const QJsonObject main = parsed(records[0]);
    EXPECT_EQ(main.value("sendAudio").toObject().value("pktsSent").toInteger(), 5000000010LL);
    EXPECT_EQ(main.value("sendVideo").toObject().value("n"), 10);
    EXPECT_EQ(main.value("sendVideoBwe").toObject().value("n"), 1);
    EXPECT_EQ(records[1].value("mtype"), "screen");
    EXPECT_EQ(parsed(records[1]),
              (QJsonObject{{"sendVideo", QJsonObject{{"ssrc", "v-screen"}, {"sendVideo", false},
                                                     {"sendScreen", true}, {"n", 10}}}}));
    EXPECT_EQ(window.mediaCount(), 0);
    EXPECT_TRUE(window.mediaObjectList().empty());

    // Nothing sent and no bandwidth estimate: empty texts, no screen record.
    records = feed(11, 20, [](int) { return QJsonObject(); });
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(parsed(records[0]),
              (QJsonObject{{"sendAudio", ""}, {"sendVideo", ""}, {"sendVideoBwe", ""}}));

    // A multi-projector session reports only its "sendVideo" stream, as the screen.
    context.conferenceMode = 1;
    records = feed(21, 30, [](int n) { return sample(n, {sendAudio(n)}, {sendVideo(n)}); });
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].value("mtype"), "screen");
    EXPECT_EQ(parsed(records[0]).value("sendVideo").toObject().value("n"), 30);
    EXPECT_TRUE(feed(31, 40, [](int n) { return sample(n, {}, {sendVideo(n, true)}); }).isEmpty());
}

TEST_F(KLMediaStatusWindowTest, StreamFirstSeenInTheSixthSampleAggregatesFiveSamples)
{
    context.feeds = {remoteFeed("u-bob", "Bob"), remoteFeed("u-eve", "")};
    const QList<QJsonObject> records = feed(1, 10, [](int n) {
        QJsonArray audio{received("a-eve", "u-eve-audio", n)};
        QJsonObject bob = received("a-bob", "u-bob-audio", n);
        if (n == 6)
            bob.remove("speechExpRate"); // so never collected for this stream
        if (n == 8)
            bob.remove("jitBufMs"); // collected as an empty text for this sample
        if (n >= 6)
            audio.append(bob);
        return sample(n, audio, {});
    });
    ASSERT_EQ(records.size(), 3); // Eve, Bob (in order of first sight), then the sender
    EXPECT_EQ(records[1].value("mtype"), "listener");
    EXPECT_EQ(records[1].value("memberUserName"), "Bob");
    const QJsonObject bob = collected(records[1], "recvAudio", "a-bob");
    EXPECT_EQ(bob.value("accRate").toArray(), (QJsonArray{6, 7, 8, 9, 10}));
    EXPECT_EQ(bob.value("jitBufMs").toArray(), (QJsonArray{6, 7, "", 9, 10}));
    EXPECT_EQ(bob.value("trackId").toArray(), (QJsonArray{"u-bob-audio"}));
    EXPECT_EQ(bob.value("packetsLost").toArray(), (QJsonArray{6}));
    EXPECT_EQ(bob.value("recvFR").toArray(), (QJsonArray{6})); // a video key, for audio
    EXPECT_FALSE(bob.contains("speechExpRate"));
    // Without a display name the uuid names the stream.
    EXPECT_EQ(records[0].value("memberUserName"), "u-eve");
    EXPECT_EQ(collected(records[0], "recvAudio", "a-eve").value("accRate").toArray().size(), 10);
}

TEST_F(KLMediaStatusWindowTest, ReceivedAudioOfNoRemoteFeedIsNeverReported)
{
    KLMediaStatusFeed own = remoteFeed("u-me", "Me");
    own.isPublisher = true;
    KLMediaStatusFeed dialIn = remoteFeed("u-dial", "Dial-in");
    dialIn.hasRTCMedia = false;
    KLMediaStatusFeed trackless = remoteFeed("u-none", "None");
    trackless.audioTrackId.clear();
    context.feeds = {own, dialIn, trackless};
    const QList<QJsonObject> records = feed(1, 10, [](int n) {
        QJsonObject untracked = received("a-4", "", n);
        untracked.remove("trackId");
        return sample(n,
                      {received("a-1", "nobody-audio", n), received("a-2", "u-me-audio", n),
                       received("a-3", "u-dial-audio", n), untracked,
                       received("a-5", "u-none-video", n)},
                      {});
    });
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].value("mtype"), "main");
}

TEST_F(KLMediaStatusWindowTest, ReceivedVideoCountsOnlyForTheSettledMainFeed)
{
    context.feeds = {remoteFeed("u-ann", "Ann"), remoteFeed("screen-u-ben", "Ben")};
    context.mainFeed = context.feeds[0];
    const auto ann = [](int n) { return sample(n, {}, {received("v-ann", "u-ann-video", n)}); };
    const auto both = [](int n) {
        return sample(n, {}, {received("v-ann", "u-ann-video", n),
                              received("v-ben", "screen-u-ben-video", n)});
    };

    // The first received entry after start only takes the main feed in.
    QList<QJsonObject> records = feed(1, 10, ann);
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0].value("memberUserName"), "Ann");
    EXPECT_EQ(collected(records[0], "recvVideo", "v-ann").value("recvFR").toArray().size(), 9);

    // The main feed seen last outlives the window; a video that is not the main one never
    // counts.
    records = feed(11, 20, both);
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(collected(records[0], "recvVideo", "v-ann").value("outFR").toArray(),
              (QJsonArray{11, 12, 13, 14, 15, 16, 17, 18, 19, 20}));

    // A change of the main view drops one entry: the new main feed's video counts from the
    // next sample. A share is named after its owner.
    records = feed(21, 30, [&](int n) {
        if (n == 25)
            context.mainFeed = context.feeds[1];
        return sample(n, {}, {received("v-ben", "screen-u-ben-video", n)});
    });
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0].value("memberUserName"), "screen-Ben");
    EXPECT_EQ(collected(records[0], "recvVideo", "v-ben").value("nacksSent").toArray(),
              (QJsonArray{26, 27, 28, 29, 30}));

    // Nor while the main feed's video is off.
    context.mainFeed->videoEnabled = false;
    records = feed(31, 40, both);
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].value("mtype"), "main");
}
