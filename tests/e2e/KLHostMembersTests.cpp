// The sample host as a headless presenter hears the member list and the toolbar whenever they
// change, sends chat typed into its control line, and answers the call-rooms dialog with a
// control line; the messages and calls reach the meeting service.

#include "KLHostE2EFixture.h"

#include "KLSimChat.h"
#include "KLTestSupport.h"

#include <QJsonArray>

namespace e2e {
namespace {

using kltest::sentChatTexts;

/// A "members" event whose online list has `uuid` with `field` = `value`.
EventMatch memberOnlineWith(const QString &uuid, const char *field, const QJsonValue &value)
{
    return [=](const QJsonObject &event) {
        if (event.value(QLatin1String("type")).toString() != QLatin1String("members"))
            return false;
        for (const QJsonValue &member : event.value(QLatin1String("online")).toArray())
            if (member.toObject().value(QLatin1String("uuid")).toString() == uuid)
                return member.toObject().value(QLatin1String(field)) == value;
        return false;
    };
}

QJsonObject memberIn(const QJsonObject &event, const char *section, const QString &uuid)
{
    for (const QJsonValue &member : event.value(QLatin1String(section)).toArray())
        if (member.toObject().value(QLatin1String("uuid")).toString() == uuid)
            return member.toObject();
    return {};
}

/// A "toolbar" event whose speaker button shows `icon`.
EventMatch speakerIcon(const QString &icon)
{
    return [=](const QJsonObject &event) {
        return event.value(QLatin1String("type")).toString() == QLatin1String("toolbar")
            && event.value(QLatin1String("buttons")).toObject().value(QLatin1String("hub-speaker-button")).toObject()
                       .value(QLatin1String("icon")).toString() == icon;
    };
}

TEST_F(HostE2ETest, MembersAndToolbarLinesFollowTheMeeting)
{
    ASSERT_NO_FATAL_FAILURE(launchHost());
    ASSERT_NO_FATAL_FAILURE(awaitJoined());
    ASSERT_NO_FATAL_FAILURE(awaitOwnStreamPublished());

    const QString chair = uuidOf(QStringLiteral("E10002")), quiet = uuidOf(QStringLiteral("E10003"));
    const auto members = await(memberOnlineWith(quiet, "muted", true));
    ASSERT_TRUE(members) << host->transcript();
    const QJsonObject muted = memberIn(*members, "online", quiet);
    EXPECT_FALSE(muted.value("name").toString().isEmpty());
    EXPECT_EQ(muted.value("memberType").toInt(), 1);
    EXPECT_FALSE(muted.value("video").toBool());
    EXPECT_FALSE(muted.value("self").toBool());
    EXPECT_EQ(muted.value("buttons").toArray(), (QJsonArray{"mute", "hangup", "lock"}));
    const QJsonObject chairRow = memberIn(*members, "online", chair);
    EXPECT_FALSE(chairRow.value("muted").toBool());
    EXPECT_TRUE(members->value("offline").toArray().isEmpty()) << "an external user lists nobody as not joined";

    // Every button is there with its look.
    const auto toolbar = await(typeIs(QStringLiteral("toolbar")));
    ASSERT_TRUE(toolbar) << host->transcript();
    const QJsonObject buttons = toolbar->value("buttons").toObject();
    for (const char *control : {"hub-mute-button", "hub-video-mute-button", "hub-speaker-button", "hub-share-button",
                                "hub-meeting-info-button", "hub-phone-enter-button", "hub-meetingNote-button",
                                "hub-setting-button", "hub-more-button", "hub-leave-button"}) {
        const QJsonObject button = buttons.value(QLatin1String(control)).toObject();
        EXPECT_FALSE(button.value("label").toString().isEmpty()) << control;
        EXPECT_TRUE(button.value("enabled").isBool()) << control;
    }
    // The speaker is open; pressing it closes it, and the toolbar line with the new look comes
    // once.
    const QString speaker = buttons.value("hub-speaker-button").toObject().value("icon").toString();
    EXPECT_EQ(speaker, "conf_tool_speaker_normal");
    kltest::waitUntil([] { return false; }, 300);
    const qsizetype before = host->events().size();
    host->send({{"cmd", "speaker"}});
    ASSERT_TRUE(await(speakerIcon(QStringLiteral("conf_tool_speaker_mute")), before)) << host->transcript();
    kltest::waitUntil([] { return false; }, 300);
    // No toolbar or members line repeats the one before it.
    QJsonObject lastToolbar, lastMembers;
    for (const QJsonObject &event : host->events()) {
        if (typeIs(QStringLiteral("toolbar"))(event)) {
            EXPECT_NE(event, lastToolbar) << "a toolbar line sent twice";
            lastToolbar = event;
        } else if (typeIs(QStringLiteral("members"))(event)) {
            EXPECT_NE(event, lastMembers) << "a members line sent twice";
            lastMembers = event;
        }
    }

    // Someone muting shows in the next members line.
    const qsizetype mark = host->events().size();
    sim->pushEvent(3, chair); // muted
    ASSERT_TRUE(await(memberOnlineWith(chair, "muted", true), mark)) << host->transcript();

    // Chat from the control line follows the chat input's rules (blanks only: nothing to send;
    // line breaks and the blanks around go) and shows in the sender's own bubble. (The pieces a
    // long text is cut into: the chat manager's own test.)
    host->send({{"cmd", "chat"}, {"text", " \r\n\t "}});
    host->send({{"cmd", "chat"}, {"text", "  good\r\nbye \n"}});
    ASSERT_TRUE(kltest::waitUntil([&] { return !sentChatTexts(*sim).isEmpty(); }, HostProcess::kDeadlineMs))
        << host->transcript();
    EXPECT_EQ(sentChatTexts(*sim), QStringList{"goodbye"});
    const auto bubble = await(typeIs(QStringLiteral("chat")));
    ASSERT_TRUE(bubble) << host->transcript();
    EXPECT_TRUE(bubble->value(QLatin1String("text")).toString().endsWith(QStringLiteral("\uFF1Agoodbye")))
        << host->transcript();

    host->send({{"cmd", "close"}});
    ASSERT_NO_FATAL_FAILURE(expectClosedAndCleanExit());
}

TEST_F(HostE2ETest, InternalChairCallsTheOfferedRoomsByControlLine)
{
    // The user chairs; the booked room that is elsewhere has a desk phone to be dialled on.
    ASSERT_NO_FATAL_FAILURE(startSimulator([](QJsonObject &scenario, QJsonObject &meeting) {
        selfChairsTheMeeting()(scenario, meeting);
        QJsonArray rooms = meeting.value("rooms").toArray();
        QJsonObject away = rooms.at(1).toObject();
        away.insert("extensionPhone", "8610-2207");
        rooms.replace(1, away);
        meeting.insert("rooms", rooms);
    }));
    ASSERT_NO_FATAL_FAILURE(launchHost(HostRun{true, {}, {}}));
    ASSERT_NO_FATAL_FAILURE(awaitJoined());

    // Not joined: the external guest and the booked room that is elsewhere.
    const QString room = uuidOf(QStringLiteral("R-BJ-2F-07"));
    const auto offer = await([&](const QJsonObject &event) {
        return event.value("type").toString() == "callRooms" && event.value("shown").toBool();
    });
    ASSERT_TRUE(offer) << host->transcript();
    const QJsonArray rooms = offer->value("rooms").toArray();
    ASSERT_EQ(rooms.size(), 1) << host->transcript();
    EXPECT_EQ(rooms.first().toObject().value("uuid").toString(), room);
    EXPECT_EQ(rooms.first().toObject().value("memberType").toInt(), 2);

    const auto listed = await([&](const QJsonObject &event) {
        return event.value("type").toString() == "members" && !memberIn(event, "offline", room).isEmpty();
    });
    ASSERT_TRUE(listed) << host->transcript();
    EXPECT_EQ(memberIn(*listed, "offline", room).value("buttons").toArray(), QJsonArray{"call"});

    // A uuid that is not offered is refused and calls nobody; the offered one is called once.
    sim->clearRequests();
    host->send({{"cmd", "callRooms"}, {"uuids", QJsonArray{"no-such-room"}}});
    ASSERT_TRUE(await(typeIs(QStringLiteral("commandError")))) << host->transcript();
    host->send({{"cmd", "callRooms"}, {"uuids", QJsonArray{}}});
    ASSERT_TRUE(kltest::waitUntil([&] { return host->count(typeIs(QStringLiteral("commandError"))) == 2; }, 5000));
    host->send({{"cmd", "callRooms"}, {"uuids", QJsonArray{room}}});
    ASSERT_TRUE(await([](const QJsonObject &event) {
        return event.value("type").toString() == "callRooms" && !event.value("shown").toBool();
    })) << host->transcript();
    ASSERT_TRUE(kltest::waitUntil([&] { return !sim->requests("/conference/api/callMeetingMember").isEmpty(); },
                                  HostProcess::kDeadlineMs));
    const auto calls = sim->requests("/conference/api/callMeetingMember");
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls.first().form.value("member_uuid"), room);
    EXPECT_EQ(calls.first().form.value("callnumber"), "8610-2207");
    // The dialog is gone: a second answer has nothing to answer.
    host->send({{"cmd", "callRooms"}, {"uuids", QJsonArray{room}}});
    ASSERT_TRUE(kltest::waitUntil([&] { return host->count(typeIs(QStringLiteral("commandError"))) == 3; }, 5000));
    // Staff are never asked for a name: a name, or a line without one, is refused.
    EXPECT_EQ(host->count(typeIs(QStringLiteral("enterName"))), 0);
    host->send({{"cmd", "enterName"}, {"name", "Ann"}});
    host->send({{"cmd", "enterName"}});
    ASSERT_TRUE(kltest::waitUntil([&] { return host->count(typeIs(QStringLiteral("commandError"))) == 5; }, 5000));

    host->send({{"cmd", "close"}});
    ASSERT_NO_FATAL_FAILURE(expectClosedAndCleanExit());
}

} // namespace
} // namespace e2e
