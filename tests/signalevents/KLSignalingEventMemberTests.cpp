// Members coming and going: call-state replacement of both meeting kinds, phone legs, mute
// alignment, the local user's entry wishes, deletions and the first member list.

#include "KLSignalEventFixture.h"

namespace {

using namespace kltest;
namespace Event = KLSignalingEvent;

const QJsonObject kOnlineUnmuted{{"online", 1}, {"hasVideo", 1}, {"mute", 0}, {"vmute", 0}};

TEST_F(SignalEventTest, OnlineReplacesTheCallStateExceptForAnOnlineMemberOfAnMcuMeeting)
{
    // The member starts muted; its tile flags start opposite to what they must become, since
    // they follow whichever state the member now has, also when it was kept.
    struct Case { bool pallas, wasOnline; int hasVideo, vmute, mute; bool replaced, videoMuted, audioMuted; };
    const Case cases[] = {
        {true, true, 1, 0, 0, true, false, false}, {true, false, 1, 0, 0, true, false, false},
        {false, false, 1, 0, 0, true, false, false}, {false, true, 1, 0, 0, false, true, true},
        {true, true, 0, 0, 1, true, true, true}, {true, true, 1, 1, 2, true, true, false},
        {false, false, 0, 0, 0, true, false, false}, {false, false, 1, 1, 1, true, true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "pallas " << c.pallas << " wasOnline " << c.wasOnline << " hasVideo "
                                        << c.hasVideo << " vmute " << c.vmute << " mute " << c.mute);
        renew();
        ctx->pallas = c.pallas;
        auto a = feed("a", {{"online", int(c.wasOnline)}, {"hasVideo", 1}, {"mute", 1}, {"vmute", 1}});
        a->setAudioMuted(!c.audioMuted);
        a->setVideoMuted(!c.videoMuted);
        push(Event::Online, "a", {{"callState", QJsonObject{{"online", 1}, {"hasVideo", c.hasVideo},
                                                            {"vmute", c.vmute}, {"mute", c.mute}}}});
        EXPECT_EQ(state(a)->mute.load(), c.replaced ? c.mute : 1);
        EXPECT_EQ(a->videoMuted(), c.videoMuted);
        EXPECT_EQ(a->audioMuted(), c.audioMuted);
        EXPECT_EQ(toastTexts().contains("ONLINE_TOAST_TIPS a"), !c.wasOnline);
        const QStringList actions = ctx->takeActions();
        EXPECT_TRUE(actions.contains("host 0 a"));
        EXPECT_TRUE(actions.contains("onlyPerson 0"));
        EXPECT_EQ(actions.last(), "post OnlineOfflineChangeNotification a");
        EXPECT_TRUE(takeServerCalls().isEmpty()); // remote tiles change locally only
        ctx->feeds.removeAll(a);
    }
}

TEST_F(SignalEventTest, PhoneLegsAreMarkedOnlyInMcuMeetingsAndOnlyForTheirOwnNumber)
{
    struct Case { QJsonObject leg; int memberId; bool cell, ext; };
    const Case cases[] = {
        {{{"callType", 1}, {"callNumber", "138"}}, 0, true, false},
        {{{"callType", 0}, {"callNumber", "6001"}}, 0, false, true},
        {{{"callType", 1}, {"callNumber", "6001"}}, 0, false, false},
        {{{"callType", 1}}, 0, false, false},
        {{}, 3, false, true},
    };
    ctx->pallas = false;
    for (const Case &c : cases) {
        SCOPED_TRACE(QJsonDocument(c.leg).toJson().toStdString());
        auto a = feed("a", {{"online", 1}, {"cellphone", -1}, {"extension", -1}},
                      {{"cellPhone", "138"}, {"extensionPhone", "6001"}, {"memberId", c.memberId}});
        QJsonObject body = c.leg;
        body.insert("callState", QJsonObject{{"online", 1}});
        push(Event::Online, "a", body);
        EXPECT_EQ(a->isCellPhoneEnter(), c.cell);
        EXPECT_EQ(a->isExtensionEnter(), c.ext);
        EXPECT_EQ(state(a)->cellphone.load(), c.cell ? 1 : -1);
        EXPECT_EQ(state(a)->extension.load(), (c.ext && c.memberId != 3) ? 1 : -1);

        // The same leg leaving clears it again.
        push(Event::Offline, "a", body);
        EXPECT_FALSE(a->isCellPhoneEnter());
        EXPECT_FALSE(a->isExtensionEnter());
        ctx->feeds.removeAll(a);
    }
    // A Pallas meeting ignores the leg.
    ctx->pallas = true;
    auto b = feed("b", {{"online", 1}}, {{"cellPhone", "138"}});
    push(Event::Online, "b", {{"callType", 1}, {"callNumber", "138"}});
    EXPECT_FALSE(b->isCellPhoneEnter());
}

TEST_F(SignalEventTest, OfflineKeepsTheStateOfAnMcuMemberWithBothPhonesIn)
{
    struct Case { bool pallas; bool bothPhones; bool goesOffline; };
    for (const Case c : {Case{true, true, true}, Case{false, false, true}, Case{false, true, false}}) {
        SCOPED_TRACE(testing::Message() << "pallas " << c.pallas << " both " << c.bothPhones);
        renew();
        ctx->pallas = c.pallas;
        auto a = feed("a", {{"online", 1}, {"extension", c.bothPhones ? 1 : -1}, {"cellphone", c.bothPhones ? 1 : -1}});
        push(Event::Offline, "a", {{"callState", QJsonObject{{"online", 0}}}});
        EXPECT_EQ(a->isOnline(), !c.goesOffline);
        const QStringList actions = ctx->takeActions();
        EXPECT_EQ(actions.contains("closeClient a"), c.goesOffline);
        EXPECT_EQ(toastTexts().contains("OFFLINE_TOAST_TIPS a"), c.goesOffline);
        EXPECT_TRUE(actions.contains("host 1 a"));
        ctx->feeds.removeAll(a);
    }
}

TEST_F(SignalEventTest, TheLocalUsersEntryWishesAreCarriedOutOnceOnline)
{
    ctx->muteInit = true;
    ctx->audioShouldMute = true;
    ctx->videoShouldMute = true;
    // No stream: microphone and camera count as off, so both wishes are sent to the server,
    // and kept for the publication to mute the stream when it comes.
    push(Event::Online, "me", {{"callState", kOnlineUnmuted}});
    EXPECT_TRUE(ctx->audioShouldMute);
    EXPECT_TRUE(ctx->videoShouldMute);
    EXPECT_EQ(takeServerCalls(), (QStringList{"mute 1 me", "mute 1 me", "vmute 1 me"}));

    // Online again with the muted stream made: carried out, the wishes are done.
    ctx->own->setMediaStream(stream("own"));
    ctx->own->muteAudio(true, false);
    ctx->own->muteVideo(true, false);
    ctx->muteInit = false;
    push(Event::Online, "me", {{"callState", kOnlineUnmuted}});
    EXPECT_FALSE(ctx->audioShouldMute);
    EXPECT_FALSE(ctx->videoShouldMute);
    EXPECT_EQ(takeServerCalls(), (QStringList{"mute 1 me", "vmute 1 me"}));
    EXPECT_FALSE(toastTexts().contains("ONLINE_TOAST_TIPS me"));

    // With the microphone on, the wish is only dropped.
    ctx->own->muteAudio(false, false);
    ctx->audioShouldMute = true;
    push(Event::Online, "me", {{"callState", kOnlineUnmuted}});
    EXPECT_FALSE(ctx->audioShouldMute);
    EXPECT_TRUE(takeServerCalls().isEmpty());
}

TEST_F(SignalEventTest, TheOwnPhoneLegsMuteTheComputerAndAreAnnounced)
{
    ctx->own->participant()->cellPhone = "138";
    ctx->own->setMediaStream(stream("own"));
    push(Event::Online, "me", {{"callState", QJsonObject{{"online", 1}, {"extension", 1}, {"cellphone", 1}}}});
    EXPECT_FALSE(ctx->own->audioEnabled());
    EXPECT_TRUE(ctx->takeActions().contains("post SelfCellPhoneEnter"));
    EXPECT_TRUE(toastTexts().contains("ENTER_CELLPHONE_TOAST me"));

    // The mobile leg leaving through the phone bridge: muted at the server too.
    push(Event::Offline, "me", {{"memberSource", "FreeSWITCH"}, {"callNumber", "138"},
                                {"callState", QJsonObject{{"online", 1}, {"cellphone", 1}}}});
    EXPECT_EQ(state(ctx->own)->cellphone.load(), -1);
    EXPECT_TRUE(ctx->takeActions().contains("post SelfCellPhoneLeave"));

    // The local user going offline ends the handling before any offline notice.
    push(Event::Offline, "me", {{"callState", QJsonObject{{"online", 0}}}});
    EXPECT_FALSE(ctx->takeActions().contains("host 1 me"));
}

TEST_F(SignalEventTest, DeletionsRemoveListedFeedsAndHangUpForTheLocalUser)
{
    feed("a", {});
    push(Event::MembersDeleted, "", {{"memberList", QJsonArray{QJsonObject{{"memberUUID", "a"}},
                                                               QJsonObject{{"memberUUID", "ghost"}},
                                                               QJsonObject{}, 5}}});
    EXPECT_EQ(ctx->takeActions(), (QStringList{"removeClient a", "display"}));
    push(Event::MembersDeleted, "", {{"memberList", QJsonArray{QJsonObject{{"memberUUID", "me"}}}}});
    EXPECT_EQ(ctx->takeActions(), (QStringList{"removeClient me", "hangup 0", "display"}));
    push(Event::MembersDeleted, "", {});
    EXPECT_EQ(ctx->takeActions(), QStringList{"display"});
    push(Event::MeetingDeleted, "");
    EXPECT_EQ(ctx->takeActions(), QStringList{"hangup 0"});
}

TEST_F(SignalEventTest, TheFirstInternalMemberListOffersToCallTheRooms)
{
    struct Case { bool staff, master, otherOnline, roomWaiting, dialog; };
    const Case cases[] = {
        {true, false, false, true, true}, {true, true, true, true, true},
        {true, false, true, true, false}, {false, true, false, true, false},
        {true, true, false, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.staff << c.master << c.otherOnline << c.roomWaiting);
        ctx->feeds = {ctx->own};
        ctx->vanInternal = true;
        ctx->firstWss = false;
        ctx->staff = c.staff;
        ctx->master = c.master;
        feed("p", {{"online", c.otherOnline ? 1 : 0}});
        feed("r", {{"online", 0}, {"ringing", c.roomWaiting ? 0 : 1}}, {{"memberType", 2}});
        const QJsonObject list{{"memberList", QJsonArray{QJsonObject{{"memberUUID", "p"}}}},
                               {"roomList", QJsonArray{QJsonObject{{"memberUUID", "r"}}}}};
        push(Event::MemberListReply, "", list);
        QStringList expected{"addParticipants p,r"};
        if (c.dialog)
            expected << "callRoomDialog";
        expected << "post GetConferenceMember";
        EXPECT_EQ(ctx->takeActions(), expected);
        // Only once per meeting.
        push(Event::MemberList, "", list);
        EXPECT_EQ(ctx->takeActions(), QStringList{"addParticipants p,r"});
    }
    // Outside internal meetings, and for an empty list, only the registration happens.
    ctx->vanInternal = false;
    ctx->firstWss = false;
    push(Event::MemberList, "", {});
    EXPECT_TRUE(ctx->takeActions().isEmpty());
}

TEST_F(SignalEventTest, AProjectorSenderNotesWhetherARoomIsInTheMeeting)
{
    ctx->vanInternal = true;
    ctx->mode = 1;
    ctx->fromSender = true;
    push(Event::MemberList, "");
    EXPECT_EQ(ctx->takeActions(), QStringList{"onlyPersonForProjector 1"});
    ctx->firstWss = false;
    feed("r", {}, {{"memberType", 2}});
    push(Event::MemberList, "");
    EXPECT_EQ(ctx->takeActions(), QStringList{"onlyPersonForProjector 0"});
}

} // namespace
