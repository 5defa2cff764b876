#include "KLRecordCapture.h"

#include "conference/devices/KLDeviceManager.h"
#include "host/UserPersistentData.h"
#include "media/fake/KLFakeMediaSDK.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"

#include <QJsonArray>

#include <gtest/gtest.h>

#include <atomic>

namespace {

constexpr int kCam = KLRTCMediaDeviceTypeCamera, kOut = KLRTCMediaDeviceTypeSpeaker,
              kMic = KLRTCMediaDeviceTypeMic;

/// A device named "<id> name".
KLRTCMediaDevice dev(int type, const QString &id, int transport = 1)
{
    return {id, id + QStringLiteral(" name"), type, transport};
}

void persist(const QString &id, int type)
{
    UserPersistentData::sharedInstance().writeDevice(id, type);
}
QString persisted(int type)
{
    return UserPersistentData::sharedInstance().readDeviceWithType(type);
}

/// "<microphone id> <speaker id> <camera id>", "-" for none.
QString chosen(const KLDeviceManager &manager)
{
    const auto id = [](const std::optional<KLRTCMediaDevice> &d) {
        return d ? d->deviceId : QStringLiteral("-");
    };
    return QStringList{id(manager.currentAudioInput()), id(manager.currentAudioOutput()),
                       id(manager.currntVideoInput())}
        .join(' ');
}

/// A fresh manager on a fresh fake engine, with nothing persisted and records caught.
class KLDeviceManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (auto key : {UserPersistentDataKeys::kDevAudioInput,
                         UserPersistentDataKeys::kDevAudioOutput,
                         UserPersistentDataKeys::kDevVideoInput})
            UserPersistentData::sharedInstance().removeObjectForKey(QLatin1String(key));
        auto &center = KLNotificationCenter::defaultCenter();
        center.addObserver(this, KLNotificationNames::DEVICE_CHANGE,
                           [this](const KLNotification &note) { deviceChanges += !note.object; });
        center.addObserver(this, KLNotificationNames::ChangeVideoDevice,
                           [this](const KLNotification &) { videoChanges++; }, &service);
    }
    void TearDown() override
    {
        KLNotificationCenter::defaultCenter().removeObserver(this);
        KLRTCMediaSDK::install(nullptr);
    }
    std::shared_ptr<KLFakeMediaConnection> connect()
    {
        auto connection = std::static_pointer_cast<KLFakeMediaConnection>(
            engine->createConnection({}, 1, 0, false, false, {}));
        manager->setMediaConnection(connection);
        return connection;
    }
    QJsonArray lastArgs(const QString &call) { return engine->callLog()->last(call)->args; }

    const int service = 0; // stands for the conference service
    std::shared_ptr<KLFakeMediaSDK> engine = KLFakeMediaSDK::installNew();
    std::shared_ptr<KLFakeMediaDeviceManager> devices = engine->fakeDeviceManager();
    std::shared_ptr<KLDeviceManager> manager = KLDeviceManager::create();
    kltest::RecordCapture records;
    std::atomic<int> deviceChanges{0}, videoChanges{0};
};

} // namespace

TEST_F(KLDeviceManagerTest, InitialChoiceRules)
{
    devices->setDevices({dev(kMic, "m1"), dev(kMic, "BuiltInHeadphoneInputDevice"),
                         dev(kMic, "bt-mic", 2), dev(kOut, "s1"),
                         dev(kOut, "BuiltInHeadphoneOutputDevice"), dev(kOut, "bt-out", 2),
                         dev(kCam, "c1"), dev(kCam, "c2")});
    persist("m1", kMic);
    persist("c2", kCam);
    manager->initWithConferenceManager(&service, true);
    EXPECT_EQ(chosen(*manager), "bt-mic bt-out c2");

    // Automatic Bluetooth switching off: the built-in headphones beat the persisted choice.
    persist("m1", kMic);
    auto second = KLDeviceManager::create();
    second->initWithConferenceManager(&service, false);
    EXPECT_EQ(chosen(*second), "BuiltInHeadphoneInputDevice BuiltInHeadphoneOutputDevice c2");

    // Without either, the persisted devices are restored.
    devices->setDevices({dev(kMic, "m1"), dev(kMic, "m2"), dev(kMic, "usb-7", 7),
                         dev(kOut, "s1"), dev(kOut, "s2"), dev(kCam, "c1"), dev(kCam, "c2")});
    persist("m2", kMic);
    persist("s2", kOut);
    auto third = KLDeviceManager::create();
    third->initWithConferenceManager(&service, true);
    EXPECT_EQ(chosen(*third), "m2 s2 c2");

    // A persisted input of transport 7 is not restored; an unlisted one falls back too.
    persist("usb-7", kMic);
    persist("gone", kOut);
    persist("gone", kCam);
    auto fourth = KLDeviceManager::create();
    fourth->initWithConferenceManager(&service, true);
    EXPECT_EQ(chosen(*fourth), "m1 s1 c1");
    EXPECT_EQ(persisted(kMic), "m1");
}

TEST_F(KLDeviceManagerTest, SwitchPersistsReportsAndTellsTheConnection)
{
    devices->setDevices({{"m1", "", kMic, 1}, dev(kMic, "m2"), dev(kOut, "s1"), dev(kOut, "s2"),
                         dev(kCam, "c1"), dev(kCam, "c2")});
    manager->initWithConferenceManager(&service, false);
    auto connection = connect();
    records.clear();

    manager->setCurrentAudioInput(dev(kMic, "m2"));
    manager->setCurrentAudioOutput(dev(kOut, "s2"));
    manager->setCurrntVideoInput(dev(kCam, "c2"));
    EXPECT_EQ(QStringList({persisted(kMic), persisted(kOut), persisted(kCam)}).join(' '),
              "m2 s2 c2");
    EXPECT_EQ(connection->callNames(), QStringList({"changeAudioInputDevice",
                                                    "changeAudioOutputDevice",
                                                    "changeVideoInputDevice"}));
    EXPECT_EQ(lastArgs("changeAudioInputDevice"), QJsonArray({"m2"}));
    EXPECT_EQ(lastArgs("changeVideoInputDevice"), QJsonArray({"c2", 1280, 720}));
    EXPECT_EQ(videoChanges, 1);

    const auto input = records.withValue("switchAudioInputDevice");
    ASSERT_EQ(input.size(), 1u);
    EXPECT_EQ(input[0].value("before"), "null"); // m1 has no name
    EXPECT_EQ(input[0].value("after"), "m2 name");
    EXPECT_EQ(input[0].value("topic"), KLQLSLogger::stringsOfGroupTypes(1));
    const auto video = records.withValue("switchVideoDevice");
    ASSERT_EQ(video.size(), 1u);
    EXPECT_EQ(video[0].value("before"), "c1 name");

    // Choosing the current device again changes nothing, even under another name.
    persist("elsewhere", kMic);
    records.clear();
    manager->setCurrentAudioInput({"m2", "renamed", kMic, 1});
    EXPECT_TRUE(records.settle().empty());
    EXPECT_EQ(persisted(kMic), "elsewhere");
    EXPECT_EQ(connection->callNames().size(), 3);

    // Without a connection a switch is remembered and reported, but nothing is posted.
    manager->setMediaConnection({});
    manager->setCurrntVideoInput(dev(kCam, "c1"));
    EXPECT_EQ(persisted(kCam), "c1");
    EXPECT_EQ(records.withValue("switchVideoDevice").size(), 1u);
    EXPECT_EQ(videoChanges, 1);
}

TEST_F(KLDeviceManagerTest, UnplugMovesToTheFirstRemainingEvenWhenNotCurrent)
{
    devices->setDevices({dev(kMic, "m1"), dev(kMic, "m2"), dev(kMic, "m3"), dev(kOut, "s1")});
    persist("m2", kMic);
    manager->initWithConferenceManager(&service, true);
    auto connection = connect();
    ASSERT_EQ(chosen(*manager), "m2 s1 -");
    records.clear();

    ASSERT_TRUE(devices->unplugDevice("m3", kMic));
    EXPECT_EQ(chosen(*manager), "m1 s1 -");
    EXPECT_EQ(persisted(kMic), "m1");
    EXPECT_EQ(lastArgs("changeAudioInputDevice"), QJsonArray({"m1"}));
    EXPECT_EQ(deviceChanges, 1);
    const auto switched = records.withValue("switchAudioInputDevice");
    ASSERT_EQ(switched.size(), 1u);
    EXPECT_EQ(switched[0].value("before"), "m2 name");

    // The last speaker leaving: nothing remains to choose, only the notice goes out.
    records.clear();
    ASSERT_TRUE(devices->unplugDevice("s1", kOut));
    EXPECT_EQ(deviceChanges, 2);
    EXPECT_TRUE(records.settle().empty());
    EXPECT_FALSE(connection->callNames().contains("changeAudioOutputDevice"));
}

TEST_F(KLDeviceManagerTest, PluggedDeviceBecomesCurrent)
{
    devices->setDevices({dev(kMic, "m1"), dev(kCam, "c1")});
    manager->initWithConferenceManager(&service, true);
    connect();

    ASSERT_TRUE(devices->plugDevice(dev(kMic, "headset", 2)));
    ASSERT_TRUE(devices->plugDevice(dev(kCam, "usb-cam")));
    EXPECT_EQ(chosen(*manager), "headset - usb-cam");
    EXPECT_EQ(persisted(kMic), "headset");
    EXPECT_EQ(lastArgs("changeAudioInputDevice"), QJsonArray({"headset"}));
    EXPECT_EQ(lastArgs("changeVideoInputDevice"), QJsonArray({"usb-cam", 1280, 720}));
    EXPECT_EQ(deviceChanges, 2);
    EXPECT_EQ(videoChanges, 1);
}

TEST_F(KLDeviceManagerTest, InventoryHasOneRecordPerDevice)
{
    devices->setDevices({dev(kMic, "m1", 3), {"", "", kOut, 4}, {"x1", "X", 9, 5}});
    manager->uploadAllDeviceToQls();
    auto inventory = records.withValue("enumDevice");
    ASSERT_EQ(inventory.size(), 3u);
    for (QJsonObject &record : inventory) { // keep only the device fields
        for (const QString &key : record.keys()) {
            if (!QStringList({"deviceName", "deviceId", "type", "transportType"}).contains(key))
                record.remove(key);
        }
    }
    EXPECT_EQ(inventory[0], QJsonObject({{"deviceName", "m1 name"}, {"deviceId", "m1"},
                                         {"type", "audioInput"}, {"transportType", 3}}));
    EXPECT_EQ(inventory[1], QJsonObject({{"type", "audioOutput"}, {"transportType", 4}}));
    EXPECT_EQ(inventory[2], QJsonObject({{"deviceName", "X"}, {"deviceId", "x1"},
                                         {"transportType", 5}}));
}
