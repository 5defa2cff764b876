// The feed's server operations against a recording meeting API: requests and their arguments,
// monitor records, and the busy-room dialogs driven through the shared dialog queue.

#include "conference/registry/KLFeedClient.h"
#include "presentation/KLDialogQueue.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"

#include "../devices/KLRecordCapture.h"
#include "KLFeedTestFakes.h"
#include "KLTestSupport.h"

#include <gtest/gtest.h>

namespace {

class RecordingDialogView : public KLDialogView {
public:
    void showDialog(const KLDialogPresentation &dialog) override { shown.push_back(dialog); }
    void closeDialog() override {}
    std::vector<KLDialogPresentation> shown;
};

class FeedOperations : public testing::Test {
protected:
    void SetUp() override
    {
        KLLocalization::setLanguage(KLLocalization::Language::English);
        KLDialogQueue::shared().setView(dialogs);
    }
    void TearDown() override { KLDialogQueue::shared().setView(nullptr); }

    /// A fresh API and records, and a feed of member "Ann" bound to them.
    std::shared_ptr<KLFeedClient> memberFeed(const QJsonObject &callState = {{"online", 1}}, QJsonObject fields = {})
    {
        manager->api = std::make_shared<kltest::RecordingMeetingApi>();
        records.clear();
        for (const auto &[key, value] : {std::pair{"displayName", QJsonValue("Ann")}, {"appointmentId", 42},
                                         {"memberUUID", "m-1"}, {"memberType", 1}})
            fields.insert(key, value);
        participant = kltest::makeParticipant(fields, callState);
        return KLFeedClient::create(QJsonValue(42), "m-1", manager, participant);
    }
    std::vector<kltest::ApiCall> calls() const { return manager->api->calls(); }
    QStringList sentCalls() const
    {
        QStringList sent;
        for (const auto &call : calls())
            sent << call.name + (call.number.isEmpty() ? "" : " " + call.number) + (call.type.isEmpty() ? "" : "/" + call.type);
        return sent;
    }
    /// The value of `field` in each monitor record named `value`.
    QStringList written(const char *value, const char *field)
    {
        QStringList found;
        for (const auto &record : records.withValue(value))
            found << record.value(field).toString();
        return found;
    }
    /// The next dialog the view gets (dialogs reach the view on the main thread).
    KLDialogPresentation nextDialog()
    {
        const size_t before = seen;
        EXPECT_TRUE(kltest::waitUntil([&] { return dialogs->shown.size() > before; }));
        seen = dialogs->shown.size();
        return dialogs->shown.empty() ? KLDialogPresentation{} : dialogs->shown.back();
    }
    void press(const KLDialogPresentation &dialog, KLDialogButton button)
    {
        KLDialogQueue::shared().buttonPressed(dialog.dialogId, button);
    }
    /// A dialog of our own; it shows only after whatever the feed asked for before it.
    void pressMarkerWhenShown()
    {
        KLDialogRequest marker;
        marker.title = "marker";
        marker.firstButtonText = "ok";
        KLDialogQueue::shared().showToastDialog(marker);
        const auto dialog = nextDialog();
        EXPECT_EQ(dialog.title, "marker");
        press(dialog, KLDialogButton::First);
    }

    kltest::RecordCapture records;
    std::shared_ptr<kltest::FakeConferenceManager> manager = std::make_shared<kltest::FakeConferenceManager>();
    std::shared_ptr<KLParticipant> participant;
    std::shared_ptr<RecordingDialogView> dialogs = std::make_shared<RecordingDialogView>();
    size_t seen = 0;
};

TEST_F(FeedOperations, MutingOnTheServer)
{
    struct Row { bool video, publisher, toServer, withParticipant, muted; int online; bool sent, announced; };
    const Row rows[] = {
        {false, false, true, true, true, 1, true, false},
        {false, false, true, true, false, 1, true, false},
        {false, false, false, true, true, 1, false, false},
        {false, false, true, true, true, 0, false, false}, // offline member: only the local flag
        {false, false, true, false, true, 1, false, false},
        {true, true, true, true, true, 0, true, true},     // video does not depend on being online
        {true, true, true, true, false, 1, true, false},
        {true, false, true, true, true, 1, true, false},
        {true, true, false, true, true, 1, false, false},
        {true, true, true, false, true, 1, false, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "row " << &row - rows);
        auto feed = memberFeed({{"online", row.online}});
        feed->setIsPublisher(row.publisher);
        if (!row.withParticipant)
            feed->setParticipant(nullptr);
        int announced = 0;
        KLNotificationCenter::defaultCenter().addObserver(
            this, KLNotificationNames::AudioVideoChangeNotification, [&](const KLNotification &note) {
                ++announced;
                EXPECT_TRUE(calls().empty()) << "announced after the request";
                EXPECT_EQ(note.object, feed.get());
                EXPECT_EQ(note.userInfo.value("client").value<std::shared_ptr<KLFeedClient>>(), feed);
                EXPECT_TRUE(note.userInfo.value("videoAction").toBool());
            });
        row.video ? feed->muteVideo(row.muted, row.toServer) : feed->muteAudio(row.muted, row.toServer);
        KLNotificationCenter::defaultCenter().removeObserver(this);

        EXPECT_EQ(row.video ? feed->videoMuted() : feed->audioMuted(), row.muted);
        EXPECT_EQ(announced, row.announced ? 1 : 0);
        const QString record = QString(row.muted ? "" : "un") + (row.video ? "muteVideo" : "mute");
        EXPECT_EQ(written(qPrintable(record), "to"), row.sent ? QStringList{"Ann"} : QStringList());
        const auto sent = calls();
        ASSERT_EQ(sent.size(), row.sent ? 1u : 0u);
        if (row.sent) {
            EXPECT_EQ(sent[0].name, row.video ? "vmute" : "mute");
            EXPECT_EQ(sent[0].status, row.muted);
            EXPECT_EQ(sent[0].appointment, participant);
        }
    }

    memberFeed()->unmuteCellPhoneWhenExtensionCellphoneBothOnline();
    ASSERT_EQ(sentCalls(), QStringList{"mute"});
    EXPECT_FALSE(calls()[0].status);
    EXPECT_EQ(records.withValue("unmute").size(), 1u);
}

TEST_F(FeedOperations, HangUpTypes)
{
    struct Row { void (KLFeedClient::*hangUp)(); int online, extension, cellphone; bool cellEnter; const char *type; };
    const Row rows[] = {
        {&KLFeedClient::hangupConferenceCall, 1, 1, 0, false, "Pallas,FreeSWITCH"},
        {&KLFeedClient::hangupConferenceCellCall, 1, 0, 1, false, "FreeSWITCH"},
        {&KLFeedClient::hangupMcuConferenceCall, 0, 0, 1, true, "ALL"},
        {&KLFeedClient::hangupMcuConferenceCall, 1, 1, 1, true, "ALL"},
        {&KLFeedClient::hangupMcuConferenceCall, 1, 0, 1, true, "McuTelephone"},
        {&KLFeedClient::hangupMcuConferenceCall, 1, 1, 0, false, "McuExtension"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.type);
        auto feed = memberFeed({{"online", row.online}, {"extension", row.extension}, {"cellphone", row.cellphone}});
        feed->setIsCellPhoneEnter(row.cellEnter);
        ((*feed).*row.hangUp)();
        EXPECT_EQ(sentCalls(), QStringList{"hangUp/" + QString(row.type)});
        EXPECT_EQ(written("hangupInConference", "callee"), QStringList{"Ann"});
    }
}

TEST_F(FeedOperations, CallingAMember)
{
    auto feed = memberFeed();
    int blocks = 0;
    const auto anySuccess = [&](const QJsonValue &) { ++blocks; };
    const auto anyFailure = [&](const QString &, const QString &) { ++blocks; };
    feed->callMemberInternalWithNumber("", "cellphone", anySuccess, anyFailure);
    feed->callMemberInternalWithNumber("123", "", anySuccess, anyFailure);
    EXPECT_TRUE(calls().empty());
    EXPECT_EQ(blocks, 0);
    EXPECT_TRUE(records.withValue("callInConference").empty());

    QJsonValue result;
    feed->callMemberInternalWithNumber("123", "extension", [&](const QJsonValue &v) { result = v; }, anyFailure);
    EXPECT_EQ(sentCalls(), QStringList{"call 123/extension"});
    EXPECT_EQ(calls().back().appointment, participant);
    EXPECT_EQ(written("callInConference", "callee"), QStringList{"Ann"});
    EXPECT_EQ(written("callInConference", "calleeNumber"), QStringList{"123"});
    calls().back().success(QJsonObject{{"ok", 1}});
    EXPECT_EQ(result, QJsonValue(QJsonObject{{"ok", 1}}));

    QString failure;
    feed->callMemberInternalWithNumber("123", "extension", anySuccess,
                                       [&](const QString &code, const QString &message) { failure = code + message; });
    calls().back().failure("500", " server error");
    EXPECT_EQ(failure, "500 server error");
    pressMarkerWhenShown(); // not a busy room: no dialog came before the marker

    manager.reset(); // the feed holds the meeting weakly: nothing to send, but the caller hears of it
    feed->muteAudio(true, true);
    feed->robRoom();
    feed->callMemberInternalWithNumber("1", "extension", anySuccess, anyFailure);
    EXPECT_EQ(blocks, 1);
}

TEST_F(FeedOperations, PhoneShortcutsPickTheNumber)
{
    struct Row { const char *extension, *cell; QStringList expected; };
    const Row rows[] = {{"8001", "139", {"call 8001/extension"}}, {"", "139", {"call 139/cellphone"}}, {"", "", {}}};
    for (const Row &row : rows) {
        memberFeed({{"online", 1}}, {{"extensionPhone", row.extension}, {"cellPhone", row.cell}})->makeConferenceCall();
        EXPECT_EQ(sentCalls(), row.expected);
    }

    auto withoutCell = memberFeed({{"online", 1}}, {{"extensionPhone", "8001"}});
    QStringList failures;
    withoutCell->makeCellPhoneCallWithSuccessBlock(nullptr, [&](const QString &code, const QString &message) {
        failures << code << message;
    });
    EXPECT_EQ(failures, QStringList({"", ""}));
    EXPECT_FALSE(failures[0].isNull());
    withoutCell->makeConferenceCellCall();
    EXPECT_TRUE(calls().empty());

    memberFeed({{"online", 1}}, {{"cellPhone", "139"}})->makeConferenceCellCall();
    EXPECT_EQ(sentCalls(), QStringList{"call 139/cellphone"});
}

TEST_F(FeedOperations, BusyRoomAnswersShowTheirDialogs)
{
    struct Row { const char *code, *titleKey; bool named; const char *buttonKey; bool seize; };
    const Row rows[] = {
        {"-20", "ROOM_MEETING_BUSY", true, "SEIZE_MEETING_ROOM", true},
        {"-26", "ROOM_MPROJECTOR_BUSY", true, "SEIZE_MEETING_ROOM", true},
        {"-25", "ROOM_PROJECTOR_BUSY", true, "CONFIRM_OK", false},
        {"-16", "ROOM_IS_CALL", false, "CONFIRM_OK", false},
        {"-17", "ROOM_IS_LOCK", false, "CONFIRM_OK", false},
        {"-22", "ROOM_IS_NOT_AVAILABLE", false, "CONFIRM_OK", false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.code);
        // The string table has the texts (an unknown key comes back unchanged).
        EXPECT_NE(KLLocalizedString(row.titleKey), row.titleKey);
        EXPECT_NE(KLLocalizedString(row.buttonKey), row.buttonKey);
        auto feed = memberFeed(); // the answer reaches only a feed that still exists
        feed->callMemberInternalWithNumber("8001", "extension", nullptr, nullptr);
        calls().back().failure(row.code, "busy");

        const auto dialog = nextDialog();
        EXPECT_EQ(dialog.title, (row.named ? "Ann " : "") + KLLocalizedString(row.titleKey));
        EXPECT_FALSE(dialog.descVisible || dialog.third.visible);
        EXPECT_EQ(dialog.first.text, KLLocalizedString(row.buttonKey));
        EXPECT_EQ(dialog.second.visible, row.seize);
        EXPECT_EQ(dialog.second.text, row.seize ? KLLocalizedString("CANCEL") : "");
        press(dialog, KLDialogButton::First);
        const auto sent = calls();
        ASSERT_EQ(sent.size(), row.seize ? 2u : 1u);
        if (row.seize) {
            EXPECT_EQ(sent[1].name, "robRoom");
            EXPECT_EQ(sent[1].appointmentId, QJsonValue(42));
            EXPECT_EQ(sent[1].memberUuid, "m-1");
        }
    }

    auto feed = memberFeed();
    feed->meetingRoomCallError("-20");
    press(nextDialog(), KLDialogButton::Second); // cancelling leaves the room alone
    feed->meetingRoomCallError("-21");            // not a busy-room code
    pressMarkerWhenShown();
    EXPECT_TRUE(calls().empty());

    // Seizing is recorded only when it works.
    feed->robRoom();
    feed->robRoom();
    ASSERT_EQ(sentCalls(), (QStringList{"robRoom", "robRoom"}));
    calls()[0].failure("-1", "no");
    EXPECT_TRUE(records.withValue("robMeetingRoom").empty());
    calls()[1].success(QJsonValue());
    EXPECT_EQ(written("robMeetingRoom", "roomName"), QStringList{"Ann"});
}

} // namespace
