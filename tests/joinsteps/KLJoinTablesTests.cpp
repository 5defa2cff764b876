// The join's lookup tables and small decisions: failure keys and message pairs, the beauty
// filter's availability and the stored member-UUID list.
#include "conference/devices/KLBeautyAvailability.h"
#include "conference/join/KLJoinFailures.h"
#include "conference/join/KLMemberUuidStore.h"
#include "host/UserPersistentData.h"
#include "media/fake/KLFakeMediaSDK.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "runtime/KLLocalization.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSettings>

#include <gtest/gtest.h>

TEST(JoinFailures, MeetingInfoAndDetailKeys)
{
    // The codes the join itself fails with are driven end to end by the conference service's
    // lifecycle tests; these are the ones no simulated join produces.
    const char *cases[][3] = {
        // code, meeting-information key, appointment-detail key
        {"91214", "ERROR_MEETING_NOT_FOUND", "SERVER_UNAVLIABLE"},
        {"-1001", "NO_NETWEAK_TIPS", "NO_NETWEAK_TIPS"},
        {"-1009", "NO_NETWEAK_TIPS", "NO_NETWEAK_TIPS"},
        {"", "SERVER_UNAVLIABLE", "SERVER_UNAVLIABLE"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(KLJoinFailures::meetingInfoFailureKey(c[0]), c[1]) << c[0];
        EXPECT_EQ(KLJoinFailures::appointmentDetailFailureKey(c[0]), c[2]) << c[0];
    }
    EXPECT_NE(KLLocalizedString(KLJoinFailures::acknowledgeButtonKey()),
              KLJoinFailures::acknowledgeButtonKey());
}

TEST(JoinFailures, ProjectorMessagePairsAndConfigurationRule)
{
    const KLProjectorErrorMessage network{
        "The network maybe disconnect, please check the local network settings.",
        QString::fromUtf8("网络可能断开了，请检查本地网络设置。")};
    const KLProjectorErrorMessage server{"Failed to connect to the server, please try it again.",
                                         QString::fromUtf8("获取服务器信息失败、请重新投屏。")};
    for (const char *code : {"-1001", "-1009"})
        EXPECT_EQ(KLJoinFailures::projectorFetchFailureMessage(code), network) << code;
    for (const char *code : {"11002", "-1000", ""})
        EXPECT_EQ(KLJoinFailures::projectorFetchFailureMessage(code), server) << code;

    EXPECT_EQ(KLJoinFailures::projectorConnectTimeoutMessage().toJson(),
              (QJsonObject{{"errorMsgEn", "Failed to connect to the server, please try it again."},
                           {"errorMsgZh", QString::fromUtf8("链接投屏服务失败，请重新投屏。")}}));

    EXPECT_TRUE(KLJoinFailures::clientConfigFailureStopsJoin(false, "91212"));
    EXPECT_FALSE(KLJoinFailures::clientConfigFailureStopsJoin(true, "91212")
                 || KLJoinFailures::clientConfigFailureStopsJoin(false, "91213"));
}

TEST(BeautyAvailability, ModelAgainstTheList)
{
    struct Case {
        const char *model, *list;
        bool internal, current, expected;
    };
    const Case cases[] = {
        {"ModelA", "ModelA", false, true, false},
        {"ModelB", "ModelA,ModelB", true, true, false},
        {"ModelB", "ModelA, ModelB ", false, true, false},
        {"ModelC", "ModelA,ModelB", true, false, true},
        {"ModelC", "", false, false, true},
        {"ModelC", ",", true, false, false},
        {"ModelC", "", true, true, true},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(KL_isBeautyAvailable(c.model, c.list, c.internal, c.current), c.expected)
            << c.model << " in " << c.list;
    }

    auto engine = KLFakeMediaSDK::installNew();
    engine->fakeSettingStore()->setComputerModel("ModelA");
    EXPECT_FALSE(KL_checkBeautyIsAvailable("ModelA,ModelB", false, true));
    EXPECT_EQ(engine->callLog()->count("getComputerModel"), 1);
    KLRTCMediaSDK::install(nullptr);
}

class MemberUuidStoreTest : public ::testing::Test {
protected:
    void SetUp() override { QSettings().remove(KLMemberUuidStore::kStorageKey); }
    void TearDown() override { QSettings().remove(KLMemberUuidStore::kStorageKey); }

    static QJsonArray records(int count)
    {
        QJsonArray list;
        for (int i = 0; i < count; ++i)
            list.append(QJsonObject{{"meetingUUID", QString("meeting-%1").arg(i)}, {"memberUUID", QString("member-%1").arg(i)}});
        return list;
    }

    UserPersistentData &store = UserPersistentData::sharedInstance();
};

TEST_F(MemberUuidStoreTest, ReusesTheMeetingsRecordAndCapsTheList)
{
    const QString uuid = KLMemberUuidStore::createUUID();
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$").match(uuid).hasMatch())
        << uuid.toStdString();

    int made = 0;
    const auto make = [&] { return QStringLiteral("NEW-%1").arg(++made); };

    std::optional<QJsonArray> none;
    EXPECT_EQ(KLMemberUuidStore::memberUuidForMeeting(none, "m", make), "NEW-1");
    EXPECT_EQ(none, QJsonArray{(QJsonObject{{"meetingUUID", "m"}, {"memberUUID", "NEW-1"}})});

    std::optional<QJsonArray> list = records(3);
    EXPECT_EQ(KLMemberUuidStore::memberUuidForMeeting(list, "meeting-1", make), "member-1");
    EXPECT_EQ(list->size(), 3);

    // An empty record of the meeting gets a fresh UUID appended.
    list = QJsonArray{QJsonObject{{"meetingUUID", "m"}, {"memberUUID", ""}}, "garbage"};
    EXPECT_EQ(KLMemberUuidStore::memberUuidForMeeting(list, "m", make), "NEW-2");
    EXPECT_EQ(list->size(), 3);

    for (int size : {50, 51, 60}) {
        list = records(size);
        const QString fresh = KLMemberUuidStore::memberUuidForMeeting(list, "other", make);
        EXPECT_EQ(fresh, QStringLiteral("NEW-%1").arg(made));
        EXPECT_EQ(list->size(), std::min(size + 1, KLMemberUuidStore::kMaxRecords)) << size;
        EXPECT_EQ(list->last()["meetingUUID"], "other");
        // The oldest records are the ones dropped.
        EXPECT_EQ(list->first()["meetingUUID"],
                  QStringLiteral("meeting-%1").arg(size + 1 - list->size()));
    }
}

TEST_F(MemberUuidStoreTest, AssignsThroughThePersistentStore)
{
    auto config = KLSDKMeetingConfigInternal::create({});
    const QString first = KLMemberUuidStore::assignMemberUuid(*config, "conf-1", store);
    EXPECT_EQ(config->memberUUID(), first);
    EXPECT_EQ(KLMemberUuidStore::assignMemberUuid(*config, "conf-1", store), first);
    EXPECT_NE(KLMemberUuidStore::assignMemberUuid(*config, "conf-2", store), first);

    EXPECT_FALSE(store.readStringWithKey(KLMemberUuidStore::kStorageKey).contains('\n')); // compact
    EXPECT_EQ(KLMemberUuidStore::readRecords(store)->size(), 2);

    // A damaged list is replaced by a fresh one.
    store.writeString("{not json", KLMemberUuidStore::kStorageKey);
    EXPECT_FALSE(KLMemberUuidStore::readRecords(store));
    KLMemberUuidStore::assignMemberUuid(*config, "conf-3", store);
    EXPECT_EQ(KLMemberUuidStore::readRecords(store)->size(), 1);
}
