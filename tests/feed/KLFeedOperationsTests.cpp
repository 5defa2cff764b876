// The feed's server operations against a recording meeting API: requests and their arguments,
// monitor records, and the busy-room dialogs driven through the shared dialog queue.

#include "conference/KLFeedClient.h"
#include "presentation/KLDialogQueue.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"

#include "../devices/KLRecordCapture.h"
#include "KLFeedTestFakes.h"
#include "KLTestSupport.h"

#include <gtest/gtest.h>

namespace {

using kltest::makeParticipant;

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

    /// A fresh API and a feed of member "Ann" bound to it.
    std::shared_ptr<KLFeedClient> memberFeed(const QJsonObject &callState = {{"online", 1}}, QJsonObject fields = {})
    {
        manager->api = std::make_shared<kltest::RecordingMeetingApi>();
        records.clear();
        for (const auto &[key, value] : {std::pair{"displayName", QJsonValue("Ann")}, {"appointmentId", 42},
                                         {"memberUUID", "m-1"}, {"memberType", 1}})
            fields.insert(key, value);
        participant = makeParticipant(fields, callState);
        return KLFeedClient::create(QJsonValue(42), "m-1", manager, participant);
    }
    std::vector<kltest::ApiCall> calls() const { return manager->api->calls(); }
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
    struct Row {
        bool video, publisher, toServer, withParticipant, muted;
        int online;
        bool sent, announced;
    };
    const Row rows[] = {
        {false, false, true, true, true, 1, true, false},
        {false, false, true, true, false, 1, true, false},
        {false, false, false, true, true, 1, false, false},
        {false, false, true, true, true, 0, false, false},  // offline member: only the local flag
        {false, false, true, false, true, 1, false, false},
        {true, true, true, true, true, 0, true, true},      // video does not depend on being online
        {true, true, true, true, false, 1, true, false},
        {true, false, true, true, true, 1, true, false},
        {true, true, false, true, true, 1, false, false},
        {true, true, true, false, true, 1, false, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "video " << row.video << " publisher " << row.publisher << " toServer "
                                        << row.toServer << " participant " << row.withParticipant << " muted "
                                        << row.muted << " online " << row.online);
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
        const auto sent = calls();
        const auto written = records.withValue(QString(row.muted ? "" : "un") + (row.video ? "muteVideo" : "mute"));
        ASSERT_EQ(sent.size(), row.sent ? 1u : 0u);
        ASSERT_EQ(written.size(), row.sent ? 1u : 0u);
        if (row.sent) {
            EXPECT_EQ(sent[0].name, row.video ? "vmute" : "mute");
            EXPECT_EQ(sent[0].status, row.muted);
            EXPECT_EQ(sent[0].appointment, participant);
            EXPECT_EQ(written[0].value("to").toString(), "Ann");
        }
    }

    auto feed = memberFeed();
    feed->unmuteCellPhoneWhenExtensionCellphoneBothOnline();
    ASSERT_EQ(calls().size(), 1u);
    EXPECT_EQ(calls()[0].name, "mute");
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
        ASSERT_EQ(calls().size(), 1u);
        EXPECT_EQ(calls()[0].name, "hangUp");
        EXPECT_EQ(calls()[0].type, row.type);
        const auto written = records.withValue("hangupInConference");
        ASSERT_EQ(written.size(), 1u);
        EXPECT_EQ(written[0].value("callee").toString(), "Ann");
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
    const auto call = manager->api->lastCall();
    EXPECT_EQ(call.number + "/" + call.type, "123/extension");
    EXPECT_EQ(call.appointment, participant);
    const auto written = records.withValue("callInConference");
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].value("callee").toString(), "Ann");
    EXPECT_EQ(written[0].value("calleeNumber").toString(), "123");
    call.success(QJsonObject{{"ok", 1}});
    EXPECT_EQ(result, QJsonValue(QJsonObject{{"ok", 1}}));

    QString failure;
    feed->callMemberInternalWithNumber("123", "extension", anySuccess,
                                       [&](const QString &code, const QString &message) { failure = code + message; });
    manager->api->lastCall().failure("500", " server error");
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
    struct Row { const char *extension, *cell, *expected; };
    const Row rows[] = {{"8001", "139", "8001/extension"}, {"", "139", "139/cellphone"}, {"", "", nullptr}};
    for (const Row &row : rows) {
        auto feed = memberFeed({{"online", 1}}, {{"extensionPhone", row.extension}, {"cellPhone", row.cell}});
        feed->makeConferenceCall();
        ASSERT_EQ(calls().size(), row.expected ? 1u : 0u);
        if (row.expected) {
            EXPECT_EQ(calls()[0].number + "/" + calls()[0].type, row.expected);
        }
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
    ASSERT_EQ(calls().size(), 1u);
    EXPECT_EQ(calls()[0].number + "/" + calls()[0].type, "139/cellphone");
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
        auto feed = memberFeed();
        feed->callMemberInternalWithNumber("8001", "extension", nullptr, nullptr);
        manager->api->lastCall().failure(row.code, "busy");

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
}

TEST_F(FeedOperations, SeizingTheRoomIsRecordedOnlyWhenItWorks)
{
    auto feed = memberFeed();
    feed->robRoom();
    feed->robRoom();
    const auto sent = calls();
    ASSERT_EQ(sent.size(), 2u);
    sent[0].failure("-1", "no");
    EXPECT_TRUE(records.withValue("robMeetingRoom").empty());
    sent[1].success(QJsonValue());
    const auto written = records.withValue("robMeetingRoom");
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].value("roomName").toString(), "Ann");
}

} // namespace
