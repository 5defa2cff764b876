// The notes panel's decisions against a recording meeting: the caption page's address and
// single load, starting, stopping and re-languaging the note taker, and the notice to the
// page that the user has been alone for five seconds.

#include "KLCollaborationFakes.h"

#include "collab/KLCaptionBridge.h"
#include "collab/KLMeetingNoteController.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"

#include <gtest/gtest.h>

using namespace kltest;

namespace {

TEST(MeetingNotePage, AddressCarriesInterfaceAndSpokenLanguage)
{
    const QString base = "https://127.0.0.1:8443/it-service/kelvo-subtitle/0.0.5/index.html";
    const struct { bool english; QString spoken, query; } cases[] = {
        {true, "zh", "translateLang=en&speakLang=zh"},
        {false, "en", "translateLang=zh&speakLang=en"},
        {false, "zh", "translateLang=zh&speakLang=zh"},
    };
    for (const auto &c : cases) {
        const QUrl url = KLMeetingNoteController::pageAddress(base, c.english, c.spoken);
        EXPECT_EQ(url.toString(), base + "?" + c.query) << c.query.toStdString();
    }
}

class MeetingNotePanel : public ::testing::Test {
protected:
    void SetUp() override
    {
        previousLanguage = KLLocalization::language();
        KLLocalization::setLanguage(KLLocalization::Language::English);
        bridge = KLCaptionBridge::create(page);
        controller = KLMeetingNoteController::create(host, bridge, clock);
        controller->setPanelView(panel);
        for (const auto &name : {KLNotificationNames::StartMeetingNoteBySelf, KLNotificationNames::StopMeetingNoteAtion,
                                 KLNotificationNames::StopMeetingNote})
            KLNotificationCenter::defaultCenter().addObserver(this, name, [this](const KLNotification &n) {
                posted.append(n.name);
            });
    }
    void TearDown() override
    {
        KLNotificationCenter::defaultCenter().removeObserver(this);
        KLLocalization::setLanguage(previousLanguage);
    }

    /// Opens the panel on a running note taker whose page has loaded.
    void openLoadedPanel()
    {
        host->open = true;
        host->language = "zh";
        controller->buildPanel();
        page->finishLoading();
    }

    KLLocalization::Language previousLanguage{};
    std::shared_ptr<ManualScheduler> clock = std::make_shared<ManualScheduler>();
    std::shared_ptr<FakeNoteHost> host = std::make_shared<FakeNoteHost>();
    std::shared_ptr<FakeCaptionPage> page = std::make_shared<FakeCaptionPage>();
    std::shared_ptr<RecordingPanel> panel = std::make_shared<RecordingPanel>();
    std::shared_ptr<KLCaptionBridge> bridge;
    std::shared_ptr<KLMeetingNoteController> controller;
    QStringList posted;
};

TEST_F(MeetingNotePanel, LoadsThePageOnceAndScrollsOnLaterBuilds)
{
    controller->buildPanel();
    EXPECT_EQ(panel->calls, QStringList{"start view"});
    EXPECT_TRUE(page->loads.isEmpty());

    openLoadedPanel();
    ASSERT_EQ(page->loads.size(), 1);
    EXPECT_EQ(page->loads[0].query(), "translateLang=en&speakLang=zh");
    EXPECT_TRUE(controller->hasLoadWebView());

    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::GetAppointmentDetail);
    EXPECT_EQ(page->loads.size(), 1);
    EXPECT_EQ(page->actions(), QStringList{"onScrollBottom"});
    EXPECT_EQ(panel->calls, (QStringList{"start view", "captions", "captions"}));
}

TEST_F(MeetingNotePanel, ThePanelFollowsNotesSwitchedElsewhereAndAStopHere)
{
    controller->buildPanel();
    host->open = true;
    host->language = "zh";
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::MeetingNoteSummaryStart);
    EXPECT_EQ(panel->calls, (QStringList{"start view", "captions"}));
    EXPECT_EQ(page->loads.size(), 1);

    host->open = false;
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::MeetingNoteSummaryStop);
    EXPECT_EQ(panel->calls.last(), "start view");

    // A stop confirmed here shows the start view again once the service agreed.
    host->open = true;
    controller->buildPanel();
    controller->stopMeetingNote();
    ASSERT_FALSE(host->api->calls.empty());
    EXPECT_EQ(panel->calls.last(), "captions");
    host->api->calls.back().success(QJsonValue());
    EXPECT_EQ(panel->calls.last(), "start view");
}

TEST_F(MeetingNotePanel, StartSucceedsThenRebuildsRecordsAndLoadsThePage)
{
    controller->startMeetingNote(false, true, false);
    ASSERT_EQ(host->api->calls.size(), 1);
    const auto &call = host->api->calls[0];
    EXPECT_EQ(call.who, host->own);
    EXPECT_EQ(QString("%1 %2 train=%3 mail=%4").arg(call.name, call.language).arg(call.isTrain).arg(call.sendMail),
              "open en train=0 mail=1");
    EXPECT_EQ(host->actions, QStringList{"meetingNote-start-button"});
    EXPECT_EQ(posted, QStringList{"StartMeetingNoteBySelf"});
    EXPECT_FALSE(host->open) << "nothing changes before the service answers";

    call.success(QJsonValue());
    EXPECT_TRUE(host->open);
    EXPECT_EQ(host->language, "en");
    EXPECT_EQ(panel->calls, QStringList{"captions"});
    EXPECT_EQ(page->loads.size(), 1);
    EXPECT_EQ(host->records, QStringList{R"(3/1 {"isOpen":true,"value":"summaryAction"})"});
}

TEST_F(MeetingNotePanel, AFailedStartChangesNothing)
{
    controller->startMeetingNote(true, false, true);
    ASSERT_EQ(host->api->calls.size(), 1);
    const auto &call = host->api->calls[0];
    EXPECT_EQ(QString("%1 %2 train=%3 mail=%4").arg(call.name, call.language).arg(call.isTrain).arg(call.sendMail),
              "open zh train=1 mail=0");
    call.failure("11002", "busy");
    EXPECT_FALSE(host->open);
    EXPECT_TRUE(host->records.isEmpty());
    EXPECT_TRUE(panel->calls.isEmpty());
}

TEST_F(MeetingNotePanel, StopAsksFirstAndOnSuccessPostsAndRecords)
{
    openLoadedPanel();
    controller->stopButtonPressed();
    EXPECT_EQ(host->actions, QStringList{"meetingNote-stop-button"});
    ASSERT_EQ(host->dialogs.size(), 1u);
    EXPECT_TRUE(host->api->calls.empty()) << "stopped without confirmation";

    host->dialogs[0].secondBlock(); // cancel
    EXPECT_TRUE(host->api->calls.empty());

    host->dialogs[0].firstBlock(); // confirm
    ASSERT_EQ(host->api->calls.size(), 1u);
    EXPECT_EQ(host->api->calls[0].name, "stop");
    EXPECT_EQ(posted, QStringList{"StopMeetingNoteAtion"});
    host->api->calls[0].success(QJsonValue());
    EXPECT_FALSE(host->open);
    EXPECT_EQ(posted, (QStringList{"StopMeetingNoteAtion", "StopMeetingNote"}));
    EXPECT_EQ(host->records, QStringList{R"(3/1 {"isOpen":false,"value":"summaryAction"})"});
}

TEST_F(MeetingNotePanel, LanguageSettingsTellThePageAndTheService)
{
    openLoadedPanel();
    controller->selectTranslateLanguage("zh");
    controller->setTranslateEnabled(false);
    controller->setTranslateEnabled(true); // forwarded through "MeetingNoteTranslateOpen"
    controller->selectSpeakerLanguage("en");
    ASSERT_EQ(host->api->calls.size(), 1u);
    EXPECT_EQ(host->api->calls[0].name + " " + host->api->calls[0].language, "lang en");
    EXPECT_EQ(host->language, "zh") << "changed before the service agreed";
    host->api->calls[0].success(QJsonValue());
    EXPECT_EQ(host->language, "en");

    EXPECT_EQ(page->actions(),
              (QStringList{"onTranslateChange", "onTranslateClose", "onTranslateChange", "onSpeakChange"}));
    EXPECT_EQ(page->invocations[2].value("param"), "zh");
    EXPECT_EQ(page->invocations[3].value("param"), "en");
    EXPECT_EQ(host->actions, (QStringList{"meetingNote-translate-chinese-button",
                                          "meetingNote-speaker-english-button"}));
}

TEST_F(MeetingNotePanel, AloneForFiveSecondsTellsThePageUnlessSomeoneJoins)
{
    host->alone = true;
    openLoadedPanel(); // the load runs the check
    EXPECT_TRUE(controller->isOnlySelfTimerRunning());

    clock->advance(3);
    host->alone = false;
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::OnlineOfflineChangeNotification);
    EXPECT_FALSE(controller->isOnlySelfTimerRunning());
    clock->advance(10);
    EXPECT_FALSE(page->actions().contains("onOnlySelfInMeeting"));

    host->alone = true;
    controller->checkOnlySelf();
    controller->checkOnlySelf(); // still alone: no second timer
    clock->advance(4.9);
    EXPECT_FALSE(page->actions().contains("onOnlySelfInMeeting"));
    clock->advance(0.2);
    EXPECT_EQ(page->actions().count("onOnlySelfInMeeting"), 1);
    EXPECT_EQ(clock->pending(), 0);
}

TEST_F(MeetingNotePanel, AloneBeforeThePageLoadsWaitsForTheLoad)
{
    host->alone = true;
    host->open = true;
    controller->buildPanel();
    controller->checkOnlySelf();
    EXPECT_FALSE(controller->isOnlySelfTimerRunning());
    page->finishLoading();
    EXPECT_TRUE(controller->isOnlySelfTimerRunning());
}

} // namespace
