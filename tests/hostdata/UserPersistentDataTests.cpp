#include "KLRecordingPrinter.h"

#include "clientconfig/KLClientConfigManager.h"
#include "host/KLSecureString.h"
#include "host/UserPersistentData.h"

#include <QFile>
#include <QJsonObject>
#include <QSettings>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

class UserPersistentDataTest : public ::testing::Test {
protected:
    void SetUp() override { QSettings().clear(); }
    void TearDown() override { kltest::RecordingPrinter::uninstall(); KLClientConfigManager::sharedInstance().setIsStaff(false); }
    static QVariant raw(const char *key) { return QSettings().value(QLatin1String(key)); }

    UserPersistentData &store = UserPersistentData::sharedInstance();
};

} // namespace

TEST_F(UserPersistentDataTest, NormalizesAllDigitWorkIds)
{
    EXPECT_EQ(store.readNormalizeWorkId(), QStringLiteral("0"));
    const char *cases[][2] = {
        {"", "0"}, {"007", "7"}, {"000", "0"}, {"A0042", "A0042"}, {"0042x", "0042x"},
        {" 42", " 42"}, {"-42", "-42"}, {"\u0664\u0662", "\u0664\u0662"}, // not ASCII digits
        {"00123456789012345678901234567890", "123456789012345678901234567890"}}; // > 64 bits
    for (const auto &c : cases) {
        ASSERT_TRUE(store.writeWorkId(QString::fromUtf8(c[0])));
        EXPECT_EQ(store.readNormalizeWorkId(), QString::fromUtf8(c[1])) << c[0];
    }
}

TEST_F(UserPersistentDataTest, SecureStringsAreEncryptedBinaryData)
{
    auto log = kltest::RecordingPrinter::install();
    const QString key = QStringLiteral("KEY_SECRET");
    EXPECT_TRUE(store.readSecureStringWithKey(key).isEmpty());
    ASSERT_TRUE(store.writeSecureString(QStringLiteral("token-Ä"), key));
    EXPECT_EQ(raw("KEY_SECRET").toByteArray(), *KLSecureString::encrypt(QStringLiteral("token-Ä"), {}));
    EXPECT_EQ(store.readSecureStringWithKey(key), QStringLiteral("token-Ä"));
    EXPECT_TRUE(store.readStringWithKey(key).isNull()); // binary data is not a plain string

    // A plain string written by the host is unreadable until converted, once.
    ASSERT_TRUE(store.writeString(QStringLiteral("E12345"), QStringLiteral("KEY_WORK_ID")));
    EXPECT_EQ(store.readWorkId(), QString());
    EXPECT_TRUE(store.convertDefaultsWithKey(QStringLiteral("KEY_WORK_ID")));
    EXPECT_FALSE(store.convertDefaultsWithKey(QStringLiteral("KEY_WORK_ID")));
    EXPECT_FALSE(store.convertDefaultsWithKey(QStringLiteral("KEY_ABSENT")));
    EXPECT_EQ(store.readWorkId(), QStringLiteral("E12345"));

    QSettings().setValue(key, QByteArray(16, '\x5a')); // one block with bad padding
    EXPECT_EQ(store.readSecureStringWithKey(key), QString());
    EXPECT_EQ(log->count("error", QStringLiteral("KEY_SECRET does not decrypt")), 1);
    EXPECT_EQ(log->count("error", QStringLiteral("KEY_WORK_ID holds no encrypted data")), 1);
}

TEST_F(UserPersistentDataTest, GenericValuesReadAbsentAsNoneCutFractionsAndReachTheFile)
{
    const QString key = QStringLiteral("KEY_GENERIC");
    EXPECT_TRUE(store.readStringWithKey(key).isNull());
    EXPECT_FALSE(store.readBOOLWithKey(key));
    EXPECT_EQ(store.readIntegerWithKey(key) + store.readDoubleWithKey(key), 0.0);
    ASSERT_TRUE(store.writeString(QStringLiteral(""), key));
    EXPECT_TRUE(store.readStringWithKey(key).isNull()); // stored empty reads as absent
    ASSERT_TRUE(store.writeDouble(2.75, key));
    EXPECT_EQ(store.readDoubleWithKey(key), 2.75);
    EXPECT_EQ(store.readIntegerWithKey(key), 2); // cut, not rounded

    // As a process that did not write them reads them from the INI file: all text.
    QSettings().setValue(key, QStringLiteral("false"));
    EXPECT_FALSE(store.readBOOLWithKey(key));
    QSettings().setValue(key, QStringLiteral("0.5"));
    EXPECT_TRUE(store.readBOOLWithKey(key) && store.readIntegerWithKey(key) == 0);

    ASSERT_TRUE(store.writePipeName(QStringLiteral("host-pipe-1")));
    QFile file(QSettings().fileName());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("KEY_PIPE_NAME=host-pipe-1"));
}

TEST_F(UserPersistentDataTest, FlagDefaultsAreWrittenOnFirstReadAndPresenceFlags)
{
    EXPECT_FALSE(store.readEnterAudioMuteFlag() || store.readEnterVideoMuteFlag());
    EXPECT_EQ(raw("KEY_ENTER_AUDIO_ENABLE"), QVariant(false));
    EXPECT_EQ(raw("KEY_ENTER_VIDEO_ENABLE"), QVariant(false));
    ASSERT_TRUE(store.writeEnterAudioMuteFlag(true));
    EXPECT_TRUE(store.readEnterAudioMuteFlag());

    KLClientConfigManager::sharedInstance().setIsStaff(true); // the beauty default, then kept
    EXPECT_TRUE(store.readEnableBeautyFlag());
    KLClientConfigManager::sharedInstance().setIsStaff(false);
    EXPECT_TRUE(store.readEnableBeautyFlag());
    EXPECT_EQ(raw("KEY_ENABLE_BEAUTY_FLAG_1"), QVariant(true));

    EXPECT_FALSE(store.isNewVersionAlreadyShow() || store.isNewMeetingNoteAlreadyShow() || store.isAppSupprotVideoBeauty());
    ASSERT_TRUE(store.writeNewVersionAlreadyShowFlag() && store.writeNewMeetingNoteAlreadyShowFlag());
    ASSERT_TRUE(store.writeBOOL(false, QStringLiteral("KEY_SUPPORT_VIDEO_BEAUTY")));
    EXPECT_TRUE(store.isNewVersionAlreadyShow() && store.isNewMeetingNoteAlreadyShow() && store.isAppSupprotVideoBeauty());
}

TEST_F(UserPersistentDataTest, DevicesByTypeAndMeetingRecords)
{
    ASSERT_TRUE(store.writeDevice("cam", 1) && store.writeDevice("spk", 2) && store.writeDevice("mic", 3));
    EXPECT_EQ(raw("KEY_DEV_VIDEOINPUT").toString() + raw("KEY_DEV_AUDIOOUTPUT").toString() + raw("KEY_DEV_AUDIOINPUT").toString(),
              "camspkmic");
    EXPECT_EQ(store.readDeviceWithType(2), "spk");
    const QStringList before = QSettings().allKeys();
    for (int type : {0, 4, -1}) {
        EXPECT_FALSE(store.writeDevice(QStringLiteral("other"), type));
        EXPECT_TRUE(store.readDeviceWithType(type).isEmpty() && !store.readDeviceWithType(type).isNull());
    }
    EXPECT_EQ(QSettings().allKeys(), before);

    EXPECT_TRUE(store.readClientMeetingInfo().isEmpty());
    const QJsonArray records{QJsonObject{{"meetingId", "m1"}}};
    ASSERT_TRUE(store.writeClientMeetingInfo(records));
    EXPECT_EQ(store.readClientMeetingInfo(), records);
}

TEST_F(UserPersistentDataTest, ConcurrentWritersLoseNothing)
{
    const auto key = [](int t, int k) { return QStringLiteral("KEY_T%1_%2").arg(t).arg(k); };
    {
        std::vector<std::jthread> writers;
        for (int t = 0; t < 4; ++t) {
            writers.emplace_back([&, t]() {
                for (int k = 0; k < 40; ++k) {
                    store.writeInteger(t * 1000 + k, key(t, k));
                    store.readEnterVideoMuteFlag();
                }
            });
        }
    } // joined
    for (int i = 0; i < 160; ++i)
        EXPECT_EQ(store.readIntegerWithKey(key(i / 40, i % 40)), i / 40 * 1000 + i % 40);
}
