// The meeting information's copy texts and dial-in lines, the settings popover's choices, the
// device window's lists and level timer, and the meeting-code entry's checks.

#include "window/KLMeetingCodeEntry.h"
#include "window/KLMeetingInfoViewController.h"
#include "window/KLMeetingSettingsViewController.h"

#include "conference/devices/KLDeviceManager.h"
#include "host/UserPersistentData.h"
#include "media/fake/KLFakeMediaSDK.h"
#include "model/KLUISDKGuiConfigInternal.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLTimeScale.h"

#include "KLPanelFakeMeeting.h"
#include "KLTestSupport.h"

#include <gtest/gtest.h>

namespace {

using kltest::FakePanelMeeting;

QString tr(const char *key)
{
    return KLLocalizedString(QLatin1String(key));
}

QString with(const char *key, const QString &value)
{
    return tr(key).replace(QLatin1String("%@"), value);
}

class Panels : public ::testing::Test {
protected:
    void SetUp() override { KLLocalization::setLanguage(KLLocalization::Language::English); }

    KLMeetingInfoViewController info(std::shared_ptr<KLUISDKGuiConfigInternal> gui)
    {
        return KLMeetingInfoViewController(meeting, std::move(gui),
                                           {[this](const QString &text) { clipboard << text; }, [this] { ++closed; },
                                            [this](const KLToastMessage &message) { toasts << message.messageKey; }});
    }

    std::shared_ptr<FakePanelMeeting> meeting = std::make_shared<FakePanelMeeting>();
    QStringList toasts;
    QStringList clipboard;
    int closed = 0;
};

TEST_F(Panels, ShareCodeAndLinkComeFromTheAppointmentElseFromTheDisplayConfiguration)
{
    auto gui = std::make_shared<KLUISDKGuiConfigInternal>();
    gui->setMeetingTopic(QStringLiteral("Design review"));
    gui->setMeetingCode(QStringLiteral("123456"));
    gui->setMeetingUrl(QStringLiteral("https://meet.example.test/j/1"));

    // Display configuration: only filled values, the URL in its own line.
    auto fromGui = info(gui);
    EXPECT_EQ(fromGui.textFor(KLMeetingInfoViewController::Copy::Share),
              tr("share_meeting_code_text_1") + with("share_meeting_code_text_2", "Design review")
                  + with("share_meeting_code_text_4", "123456")
                  + with("share_meeting_code_text_9", "https://meet.example.test/j/1"));
    EXPECT_EQ(fromGui.textFor(KLMeetingInfoViewController::Copy::Password), QStringLiteral("123456"));
    EXPECT_EQ(fromGui.textFor(KLMeetingInfoViewController::Copy::Link), QStringLiteral("https://meet.example.test/j/1"));

    // Only a URL: the greeting and the link.
    EXPECT_EQ(KLMeetingInfoViewController::shareText({}, {{}, {}, {}, QStringLiteral("https://u")}),
              tr("share_meeting_code_text_1") + with("share_meeting_code_text_9", "https://u"));

    // The appointment detail wins, with its short link and password.
    meeting->detail = {{"appointmentName", "Weekly"}, {"starttimeGMT", 1700000000000.0}, {"endtimeGMT", 1700003600000.0},
                       {"password", "654321"}, {"shareUrl", "https://share"}, {"shortJumpUrl", "https://s/j"}};
    auto fromDetail = info(gui);
    const QString share = fromDetail.textFor(KLMeetingInfoViewController::Copy::Share);
    EXPECT_TRUE(share.startsWith(tr("share_meeting_code_text_external") + with("share_meeting_code_text_2", "Weekly")));
    EXPECT_TRUE(share.contains(with("share_meeting_code_text_4", "654321") + with("share_meeting_code_text_5", "https://share")));
    EXPECT_TRUE(share.endsWith(tr("share_meeting_code_text_6") + tr("share_meeting_code_text_7") + tr("share_meeting_code_text_8")));
    EXPECT_FALSE(share.contains("Design review"));
    EXPECT_EQ(fromDetail.copy(KLMeetingInfoViewController::Copy::Password), QStringLiteral("654321"));
    EXPECT_EQ(fromDetail.copy(KLMeetingInfoViewController::Copy::Link), QStringLiteral("https://s/j"));
    EXPECT_EQ(clipboard, (QStringList{"654321", "https://s/j"}));
    EXPECT_EQ(closed, 2);
    EXPECT_EQ(toasts.size(), 2);
}

TEST_F(Panels, WithNoSourceTheShareWritesNothingButClosesAndConfirms)
{
    auto none = info(nullptr);
    EXPECT_TRUE(none.copy(KLMeetingInfoViewController::Copy::Share).isEmpty());
    EXPECT_TRUE(clipboard.isEmpty());
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(toasts, QStringList{QStringLiteral("summary_share_tips")});

    // An empty meeting code copies nothing either.
    auto empty = info(std::make_shared<KLUISDKGuiConfigInternal>());
    EXPECT_TRUE(empty.copy(KLMeetingInfoViewController::Copy::Password).isEmpty());
    EXPECT_TRUE(clipboard.isEmpty());
}

TEST_F(Panels, DialInShowsSixNumbersAtMostInTheInterfaceLanguage)
{
    QJsonArray list;
    for (int i = 1; i <= 8; ++i)
        list << QJsonObject{{"countryZh", QStringLiteral("国家%1").arg(i)}, {"countryEn", QStringLiteral("Country %1").arg(i)},
                            {"number", QStringLiteral("+86 10 000%1").arg(i)}};
    const QStringList english = KLMeetingInfoViewController::dialInLines(list, true);
    ASSERT_EQ(english.size(), 6);
    EXPECT_EQ(english.first(), QStringLiteral("Country 1    +86 10 0001"));
    EXPECT_EQ(KLMeetingInfoViewController::dialInLines(list, false).last(), QStringLiteral("国家6    +86 10 0006"));
    EXPECT_EQ(KLMeetingInfoViewController::dialInLines(QJsonArray{list.at(0), list.at(1)}, true).size(), 2);

    meeting->dialIn = QJsonArray{list.at(2)};
    auto popover = info(nullptr);
    EXPECT_EQ(popover.dialInLines(), QStringList{"Country 3    +86 10 0003"});
    KLLocalization::setLanguage(KLLocalization::Language::Chinese);
    EXPECT_EQ(popover.dialInLines(), QStringList{"国家3    +86 10 0003"});
    KLLocalization::setLanguage(KLLocalization::Language::English);
    EXPECT_EQ(popover.dialInPageUrl(), QStringLiteral("https://meet.example.test/kelvo/web/webvc/conferencePhone"));
}

TEST_F(Panels, StartMutedAndBeautyAreStoredNotAppliedToTheRunningMeeting)
{
    QStringList controls;
    int changes = 0;
    KLMeetingSettingsViewController::Setup setup;
    setup.actionLog = [&](const QString &control) { controls << control; };
    setup.stateChanged = [&](const KLMeetingSettingsState &) { ++changes; };
    auto settings = KLMeetingSettingsViewController::create(meeting, setup);
    auto &store = UserPersistentData::sharedInstance();
    store.writeEnterAudioMuteFlag(false);
    store.writeEnterVideoMuteFlag(true);
    store.writeBeautyFlag(false);
    const bool ownMuted = meeting->own->audioMuted();

    settings->toggleEnterAudioMuted();
    settings->toggleEnterVideoMuted();
    int beautyChanges = 0;
    KLNotificationCenter::defaultCenter().addObserver(this, KLNotificationNames::BeautyChange,
                                                      [&](const KLNotification &) { ++beautyChanges; });
    settings->toggleBeauty();
    KLNotificationCenter::defaultCenter().removeObserver(this);

    EXPECT_TRUE(store.readEnterAudioMuteFlag());
    EXPECT_FALSE(store.readEnterVideoMuteFlag());
    EXPECT_TRUE(store.readEnableBeautyFlag());
    EXPECT_TRUE(settings->state().enterAudioMuted);
    EXPECT_EQ(controls, (QStringList{"setting-mic-on", "setting-camera-off", "setting-beauty-on"}));
    EXPECT_EQ(beautyChanges, 1);
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(meeting->own->audioMuted(), ownMuted);
    EXPECT_TRUE(meeting->calls().isEmpty()) << meeting->calls().join(", ").toStdString();
}

TEST_F(Panels, TheCellPhoneIsCalledOnlyWhenItIsNotInTheCall)
{
    int closes = 0;
    QStringList shownToasts;
    KLMeetingSettingsViewController::Setup setup;
    setup.actionLog = [](const QString &) {};
    setup.closePopover = [&] { ++closes; };
    setup.showToast = [&](const KLToastMessage &message) { shownToasts << message.messageKey; };
    meeting->own = kltest::makeFeed("own", 0, {}, {{"extension", 1}, {"cellphone", 1}});
    auto busy = KLMeetingSettingsViewController::create(meeting, setup);
    ASSERT_TRUE(meeting->own->isExtensionAndCellPhoneOnline());
    busy->callCellPhone();
    EXPECT_TRUE(meeting->calls().isEmpty());
    EXPECT_EQ(closes, 0);

    meeting->own = kltest::makeFeed("own");
    auto free = KLMeetingSettingsViewController::create(meeting, setup);
    EXPECT_EQ(free->state().cellPhoneLabel, tr("MEETING_SETTING_CELLPHONE_TIPS"));
    free->callCellPhone();
    free->callCellPhone(); // the label no longer offers the call
    EXPECT_EQ(meeting->calls(), QStringList{"cellCall own"});
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(shownToasts.size(), 1);
    EXPECT_FALSE(free->state().cellPhoneEnabled);

    // The phone left: the offer comes back.
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::SelfCellPhoneLeave);
    EXPECT_TRUE(kltest::waitUntil([&] { return free->state().cellPhoneEnabled; }));
}

class DeviceView final : public KLDeviceSettingsView {
public:
    QMap<int, QStringList> names;
    QMap<int, int> current;
    QList<int> levels;
    bool preview = false;
    void setDevices(int type, const QStringList &list, int index) override { names[type] = list; current[type] = index; }
    void setLevel(int level) override { levels << level; }
    void setPreviewShown(bool shown) override { preview = shown; }
};

class DeviceWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine->fakeDeviceManager()->setDevices({{"m1", "Mic one", 3, 1}, {"m2", "Mic two", 3, 1},
                                                 {"s1", "Speaker", 2, 1}, {"c1", "Camera", 1, 1}});
        UserPersistentData::sharedInstance().writeDevice(QStringLiteral("m1"), 3);
        manager->initWithConferenceManager(this, false);
        controller->setView(view);
    }
    void TearDown() override
    {
        controller.reset();
        KLTimeScale::setFactor(scale);
        KLRTCMediaSDK::install(nullptr);
    }
    std::shared_ptr<KLFakeMediaSDK> engine = KLFakeMediaSDK::installNew();
    std::shared_ptr<KLDeviceManager> manager = KLDeviceManager::create();
    std::shared_ptr<KLDeviceSettingsController> controller = KLDeviceSettingsController::create(manager);
    std::shared_ptr<DeviceView> view = std::make_shared<DeviceView>();
    std::shared_ptr<FakePanelMeeting> meeting = std::make_shared<FakePanelMeeting>();
    const double scale = KLTimeScale::factor();
};

TEST_F(DeviceWindow, ListsChoicesAndIndexesOutsideTheList)
{
    EXPECT_EQ(view->names[3], (QStringList{"Mic one", "Mic two"}));
    EXPECT_EQ(view->current[3], 0);
    EXPECT_FALSE(controller->chooseDevice(3, 2));
    EXPECT_FALSE(controller->chooseDevice(3, -1));
    EXPECT_FALSE(controller->chooseDevice(9, 0));
    EXPECT_EQ(manager->currentAudioInput()->deviceId, QStringLiteral("m1"));
    EXPECT_TRUE(controller->chooseDevice(3, 1));
    EXPECT_EQ(manager->currentAudioInput()->deviceId, QStringLiteral("m2"));
    EXPECT_EQ(UserPersistentData::sharedInstance().readDeviceWithType(3), QStringLiteral("m2"));

    // Hot plug: the lists are read again.
    engine->fakeDeviceManager()->setDevices({{"m1", "Mic one", 3, 1}, {"m2", "Mic two", 3, 1}, {"m3", "Headset", 3, 1},
                                             {"s1", "Speaker", 2, 1}, {"c1", "Camera", 1, 1}});
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::DEVICE_CHANGE);
    EXPECT_TRUE(kltest::waitUntil([&] { return view->names[3].size() == 3; }));
    EXPECT_EQ(view->current[3], 1);

    // The test sound needs a path.
    controller->playTestSound();
    controller->setTestSoundPath(QStringLiteral("/tmp/bell.wav"));
    controller->playTestSound();
    EXPECT_EQ(engine->callLog()->count("startPlayingFile"), 1);
}

TEST_F(DeviceWindow, ReopeningKeepsOneLevelTimer)
{
    KLTimeScale::setFactor(0.02);
    meeting->own->setILevel(37);
    controller->open(meeting);
    EXPECT_EQ(view->levels, QList<int>{0});
    ASSERT_TRUE(kltest::waitUntil([&] { return view->levels.contains(37); }));

    controller->open(meeting);
    EXPECT_EQ(controller->levelTimerStarts(), 2);
    EXPECT_TRUE(controller->isLevelTimerRunning());
    controller->close();
    kltest::pumpEvents(30);
    const auto ticks = view->levels.size();
    kltest::pumpEvents(150); // several intervals: a timer left from the first opening would tick on
    EXPECT_EQ(view->levels.size(), ticks);
    EXPECT_FALSE(controller->isLevelTimerRunning());
}

TEST(MeetingCodeEntry, CodesLinksAndNames)
{
    struct Case {
        const char *code;
        const char *error;
    };
    for (const Case &c : std::vector<Case>{{"123456", ""},
                                          {"12345", "ERROR_CODE_ERROR"},
                                          {"1234567", "ERROR_CODE_ERROR"},
                                          {"12a456", "ERROR_CODE_ERROR"},
                                          {"https://meet.example.test/j/1", "ERROR_URL_INVALID"},
                                          {"https://meet.example.test/j?uuid=short", "ERROR_URL_INVALID"}})
        EXPECT_EQ(KLMeetingCodeEntry::checkCode(QLatin1String(c.code)), QLatin1String(c.error)) << c.code;

    EXPECT_FALSE(KLMeetingCodeEntry::canJoin(QStringLiteral("Ada"), QString()));

    const QString uuid = QStringLiteral("0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0");
    ASSERT_EQ(uuid.size(), 36);
    QStringList posted;
    KLNotificationCenter::defaultCenter().addObserver(&posted, KLNotificationNames::EnterMeetingWithMeetingId,
                                                      [&](const KLNotification &n) { posted << n.userInfo.value("meetingId").toString(); });
    const auto result = KLMeetingCodeEntry::join(QStringLiteral("Ada"), "https://meet.example.test/j?uuid=" + uuid + "/", false);
    EXPECT_EQ(result.meetingId, uuid);
    EXPECT_EQ(posted, QStringList{uuid});
    EXPECT_EQ(UserPersistentData::sharedInstance().readVanNames(), QStringLiteral("Ada"));

    // A required update checks nothing and posts nothing; an empty field does nothing.
    EXPECT_TRUE(KLMeetingCodeEntry::join(QStringLiteral("   "), "https://x?uuid=" + uuid, true).showDownload);
    EXPECT_TRUE(KLMeetingCodeEntry::join(QString(), QStringLiteral("123456"), false).codeErrorKey.isEmpty());
    EXPECT_EQ(KLMeetingCodeEntry::join(QStringLiteral("   "), QStringLiteral("123456"), false).nameErrorKey,
              QStringLiteral("ERROR_NAME_ONLY_BLANK"));
    EXPECT_EQ(posted.size(), 1);
    KLNotificationCenter::defaultCenter().removeObserver(&posted);
}

} // namespace
