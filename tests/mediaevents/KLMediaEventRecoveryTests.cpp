// An entered meeting while its media path is being won back, and remote streams that go
// after their feed did: the handler against the recording meeting.
#include "KLMediaEventFixture.h"

#include "presentation/KLDialogQueue.h"

using namespace kltest;

namespace {

namespace Toast = KLPermanentToastKind;

struct RecordingDialogs : KLDialogView {
    void showDialog(const KLDialogPresentation &dialog) override { shown.push_back(dialog); }
    void closeDialog() override {}
    std::vector<KLDialogPresentation> shown;
};

QJsonObject channel(bool open) { return {{"action", "networkAction"}, {"isOpen", open}}; }

TEST_F(MediaEventTest, AMeetingWinningItsMediaBackAfterEntryIsNotEndedWhenTheSignalChannelGoesToo)
{
    auto view = std::make_shared<RecordingDialogs>();
    dialogs.setView(view);
    ctx->meetingUp = ctx->mediaUp = true;
    raise(KLRTCMediaEventWebrtcUp);
    ASSERT_TRUE(ctx->entered);

    // The media server's socket goes: an ICE failure after entry clears the entry flag.
    raise(KLRTCMediaEventMediaSignalingState, channel(false));
    raise(KLRTCMediaEventIceFailed, QJsonObject{{"reason", "closed"}});
    EXPECT_FALSE(ctx->entered);
    resetSinks();

    // The signal channel goes as well: the network notice, but no dialog and no error.
    handler->signalChannelOpenState(false);
    pumpEvents(50);
    EXPECT_TRUE(view->shown.empty());
    EXPECT_EQ(toasts.currentPermanentMessageType(), Toast::NetworkLost);
    EXPECT_TRUE(ctx->takeActions().isEmpty());
    EXPECT_EQ(records.withValue("NetworkUnAvailable").size(), 1u);

    // Both back, one after the other: the notice goes and the pending restart runs.
    handler->signalChannelOpenState(true);
    EXPECT_EQ(toasts.currentPermanentMessageType(), Toast::NetworkLost);
    raise(KLRTCMediaEventMediaSignalingState, channel(true));
    EXPECT_EQ(toasts.currentPermanentMessageType(), Toast::None);
    EXPECT_EQ(ctx->takeActions(), QStringList{"checkForMeetingStatus"});
}

TEST_F(MediaEventTest, StreamsGoingAfterTheirFeedAreStillUnsubscribedAndAWithdrawnShareLetGo)
{
    // A member deleted from the list before its stream went; the own streams never.
    ctx->registry = {{"u-me", ctx->own}};
    engine->callLog()->clear();
    for (const char *id : {"u-gone", "u-me", "screen-u-me"})
        raise(KLRTCMediaEventStreamRemoved, KLRTCMediaEventInfo::fromStream(engine->makeRemoteStream(id)));
    EXPECT_EQ(engine->callLog()->count("unsubscribe"), 1);
    EXPECT_EQ(engine->callLog()->last("unsubscribe")->args, QJsonArray{"u-gone"});

    // A share withdrawn by the server left the registry at its removal; the confirmed
    // unsubscription lets the remembered remote share go.
    auto share = feed("screen-u-bob", "Bob");
    ctx->remoteShare = share;
    ctx->takeActions();
    raise(KLRTCMediaEventStreamUnsubscribed, KLRTCMediaEventInfo::fromStream(engine->makeRemoteStream("screen-u-bob")));
    EXPECT_EQ(ctx->remoteShare, nullptr);
    EXPECT_EQ(ctx->takeActions(), QStringList{"displayClientAutomatically"});

    // Another stream's unsubscription leaves a remembered share alone.
    ctx->remoteShare = share;
    raise(KLRTCMediaEventStreamUnsubscribed, KLRTCMediaEventInfo::fromStream(engine->makeRemoteStream("u-gone")));
    EXPECT_EQ(ctx->remoteShare, share);
}

} // namespace
