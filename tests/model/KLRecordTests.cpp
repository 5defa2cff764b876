// The meeting service's records read from and written back to JSON, and the host's copies.
#include "model/KLCallState.h"
#include "model/KLConferenceItemModel.h"
#include "model/KLMediaObject.h"
#include "model/KLParticipant.h"
#include "runtime/KLLocalization.h"

#include <KelvoUISDK/KLSDKMeetingUser.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <array>

namespace {

using State8 = std::array<qint64, 8>;
using State9 = std::array<qint64, 9>;

QJsonObject jsonObject(const char *text) { return QJsonDocument::fromJson(text).object(); }

/// hasVideo, mute, online, ringing, vmute, extension, cellphone, multiScreen.
State8 states(const KLCallState &s)
{
    return {s.hasVideo, s.mute, s.online, s.ringing, s.vmute, s.extension, s.cellphone, s.multiScreen};
}

/// callType, cellphone, extension, hasVideo, mute, online, ringing, vmute, multiScreen.
State9 states(const KLSDKMeetingUserCallState &s)
{
    return {s.callType, s.cellphone, s.extension, s.hasVideo, s.mute, s.online, s.ringing, s.vmute, s.multiScreen};
}

/// Restores the interface language a test switched.
class KLSDKMeetingUserFromParticipant : public testing::Test {
protected:
    void TearDown() override { KLLocalization::setLanguage(m_saved); }
    KLLocalization::Language m_saved = KLLocalization::language();
};

// Every key of a participant and of a meeting detail, spelled as the meeting service sends it.
const char *const kFullParticipant = R"({
  "aliasName": "al", "aliasNamePinYin": "alp", "appointmentId": 9001, "audioStreamType": "ast",
  "audioType": "at", "bu": "BU1", "building": "B7", "callUUID": "cu", "cellPhone": "138", "city": "Shenzhen",
  "callState": {"hasVideo": 1, "mute": 0, "online": 1, "ringing": -1, "vmute": 1, "extension": -1, "cellphone": 0,
                "multiScreen": 2},
  "companyName": "co", "country": "CN", "deptName": "dn", "deptNameEn": "dne", "deptNameSplit": "a/b",
  "deptNameEnSplit": "A/B", "displayNamePinYin": "Zhang San", "displayName": "张三", "email": "z@x", "empId": "E1",
  "extensionPhone": "6001", "floor": "3", "jobName": "dev", "joinType": true, "lastName": "张",
  "lastNamePinYin": "Zhang", "memberId": 77, "memberType": 3, "memberUUID": "m-1", "roomId": "r1", "roomType": 1,
  "roomName": "Room", "pallasUUID": "p1", "screenCode": "sc", "status": "st", "userId": "u1", "groupName": "g"
})";

const char *const kFullMeeting = R"({
  "appointmenType": "1", "appointmenTypeText": "normal", "appointmentDesc": "desc", "appointmentId": 42,
  "appointmentName": "Weekly", "appointmentUUID": "a-uuid", "endtimeGMT": 1700003600000, "guideUrl": "https://guide",
  "isSendMail": 1, "isSendSms": 0, "masterEmpId": "E1", "masterUserId": 7, "masterUserName": "张三",
  "masterUserNameEn": "Zhang", "mcuAppointmentId": 43, "meetingType": 2, "password": "pw", "passwordExpire": 0,
  "rtcUUID": "rtc", "shareUrl": "https://share", "shortJumpUrl": "https://s", "sign": "sig",
  "starttimeGMT": 1700000000000, "status": 1, "statusText": "ongoing", "useMcu": false, "isScreen": 2,
  "memberList": [{"memberUUID": "m-1", "memberType": 1, "joinType": 0, "memberId": 5, "appointmentId": 42,
                  "callState": {"hasVideo": 0, "mute": 1, "online": 1, "ringing": 0, "vmute": 1, "extension": -1,
                                "cellphone": -1, "multiScreen": 0}}],
  "roomList": [{"memberUUID": "r-1", "memberType": 2, "joinType": 0, "memberId": 6, "appointmentId": 42, "roomType": 1}]
})";

} // namespace

TEST(KLCallState, IntegerFieldsTakeNumbersAndBooleansOnlyAndResetUnreports)
{
    QString error;
    const auto state = KLCallState::createWithDictionary(
        jsonObject(R"({"online": true, "mute": 1, "vmute": 1.9, "ringing": null, "extra": "x", "multiScreen": -1})"), &error);
    ASSERT_NE(state, nullptr) << error.toStdString();
    EXPECT_EQ(states(*state), (State8{0, 1, 1, 0, 1, 0, 0, -1}));
    state->reset(); // online and projection role 0, the rest not reported: every field changes
    EXPECT_EQ(states(*state), (State8{-1, -1, 0, -1, -1, -1, -1, 0}));

    for (const char *bad : {R"({"online": "1"})", R"({"online": 1e300})", R"({"online": [1]})"}) {
        EXPECT_EQ(KLCallState::createWithDictionary(jsonObject(bad), &error), nullptr) << bad;
        EXPECT_TRUE(error.startsWith("KLCallState: key \"online\" must be an integer")) << error.toStdString();
    }
}

TEST(KLParticipant, EveryKeyReadsAndWritesBackUnchanged)
{
    const QJsonObject full = jsonObject(kFullParticipant);
    QString error;
    const auto participant = KLParticipant::createWithDictionary(full, &error);
    ASSERT_NE(participant, nullptr) << error.toStdString();
    EXPECT_TRUE(error.isNull());
    EXPECT_EQ(participant->toJson(), full); // also keeps the boolean joinType a boolean
}

TEST(KLParticipant, IdNumbersDefaultToZeroAndNumbersBecomeText)
{
    auto participant = KLParticipant::createWithDictionary(jsonObject(R"({"memberId": null, "roomType": null})"));
    ASSERT_NE(participant, nullptr);
    for (const QJsonValue &number : {participant->appointmentId, participant->joinType, participant->memberType,
                                     participant->memberId}) {
        EXPECT_TRUE(number.isDouble());
        EXPECT_EQ(number.toInteger(-1), 0);
    }
    // Only those four get the default.
    EXPECT_TRUE(participant->roomType.isNull() && participant->memberUUID.isNull() && !participant->callState());

    participant = KLParticipant::createWithDictionary(
        jsonObject(R"({"empId": 12345678901234567, "floor": 2.5, "status": false, "unknown": [1]})"));
    ASSERT_NE(participant, nullptr);
    EXPECT_EQ(QStringList({participant->empId, participant->floor, participant->status}),
              QStringList({"12345678901234567", "2.5", "false"}));
}

// Each field finds its own key among look-alikes (prefixes, longer names, other cases,
// non-ASCII neighbours), and unknown keys around them change nothing.
TEST(KLParticipant, FieldsFindTheirKeysAmongLookAlikes)
{
    const auto participant = KLParticipant::createWithDictionary(jsonObject(R"({
        "zzz": 1, "deptNameEnSplitX": "no", "deptNameEnSplit": "D-EN-S", "deptNameSplit": "D-S",
        "deptNameEn": "D-EN", "deptName": "D", "Email": "no", "émail": "no", "email": "e@x",
        "empid": "no", "empId": "E1", "": "no", "memberUUID": "M-1", "roomName": null,
        "callState": {"online": 1, "Online": 0, "mute": 1, "mutex": 0}})"));
    ASSERT_NE(participant, nullptr);
    EXPECT_EQ(QStringList({participant->deptNameEnSplit, participant->deptNameEn, participant->deptName,
                           participant->email, participant->empId, participant->memberUUID}),
              QStringList({"D-EN-S", "D-EN", "D", "e@x", "E1", "M-1"}));
    EXPECT_TRUE(participant->roomName.isNull() && participant->cellPhone.isNull());
    ASSERT_NE(participant->callState(), nullptr);
    EXPECT_EQ(states(*participant->callState()), (State8{0, 1, 1, 0, 0, 0, 0, 0}));
}

TEST(KLParticipant, WrongTypeFailsNamingTheKey)
{
    QString error;
    EXPECT_EQ(KLParticipant::createWithDictionary(jsonObject(R"({"memberId": "77"})"), &error), nullptr);
    EXPECT_EQ(error, "KLParticipant: key \"memberId\" must be a number or a boolean, got a string");
    EXPECT_EQ(KLParticipant::createWithDictionary(jsonObject(R"({"email": {"a": 1}})"), &error), nullptr);
    EXPECT_EQ(error, "KLParticipant: key \"email\" must be a string or a number, got an object");
    EXPECT_EQ(KLParticipant::createWithDictionary(jsonObject(R"({"callState": [1]})"), &error), nullptr);
    EXPECT_EQ(error, "KLParticipant: key \"callState\" must be an object, got an array");
}

TEST(KLParticipant, CallStateIsSharedAndReplaceable)
{
    const auto participant = KLParticipant::createWithDictionary(jsonObject(R"({"callState": {"online": 1}})"));
    ASSERT_NE(participant, nullptr);
    participant->callState()->ringing = 1; // the record's own state, not a copy
    auto replacement = std::make_shared<KLCallState>(*participant->callState());
    replacement->mute = 1;
    participant->setCallState(replacement);
    const QJsonObject written = participant->toJson()[QStringLiteral("callState")].toObject();
    EXPECT_EQ(written[QStringLiteral("ringing")], 1);
    EXPECT_EQ(written[QStringLiteral("mute")], 1);
    // The online flag read in place follows the state now held, and reads 0 without one.
    EXPECT_EQ(participant->callStateOnline(), 1);
    replacement->online = 0;
    EXPECT_EQ(participant->callStateOnline(), 0);
    participant->setCallState(nullptr);
    EXPECT_EQ(participant->callStateOnline(), 0);
    EXPECT_EQ(KLParticipant::createWithDictionary(jsonObject("{}"))->callStateOnline(), 0);
}

TEST(KLConferenceItemModel, EveryKeyReadsAndWritesBackAndNestedParticipantsGetDefaults)
{
    QJsonObject full = jsonObject(kFullMeeting);
    QString error;
    const auto model = KLConferenceItemModel::createWithDictionary(full, &error);
    ASSERT_NE(model, nullptr) << error.toStdString();
    EXPECT_EQ(model->toJson(), full);
    full.insert(QStringLiteral("brandNewField"), QJsonObject{{QStringLiteral("x"), 1}}); // ignored
    EXPECT_NE(KLConferenceItemModel::createWithDictionary(full), nullptr);

    const auto sparse = KLConferenceItemModel::createWithDictionary(jsonObject(R"({"memberList": [{"memberUUID": "m-1"}, {}]})"));
    ASSERT_NE(sparse, nullptr);
    ASSERT_EQ(sparse->memberList.size(), 2u);
    EXPECT_EQ(sparse->memberList[1]->memberType.toInteger(-1), 0);
    EXPECT_TRUE(sparse->roomList.empty() && sparse->appointmentId.isNull());
}

TEST(KLConferenceItemModel, WrongTypesFailWithThePathAndTheExpectedType)
{
    const std::pair<const char *, const char *> cases[] = {
        {R"({"appointmentName": "x", "memberList": "m-1,m-2"})",
         R"(key "memberList" must be an array of objects, got a string)"},
        {R"({"roomList": [{}, {"callState": {"vmute": {}}}]})",
         R"(key "roomList[1].callState.vmute" must be an integer, got an object)"},
        {R"({"memberList": [{}, 3]})", R"(key "memberList[1]" must be an object, got a number)"}};
    for (const auto &[json, expected] : cases) {
        QString error;
        EXPECT_EQ(KLConferenceItemModel::createWithDictionary(jsonObject(json), &error), nullptr) << json;
        EXPECT_EQ(error, "KLConferenceItemModel: " + QString::fromUtf8(expected));
    }
}

TEST(KLMediaObject, FirstSampleOnlyWhenAnObjectPushesKeepOrderAndJsonRoundTrips)
{
    const QJsonObject first = jsonObject(R"({"ssrc": "11", "iLevel": 3})");
    KLMediaObject bucket(QStringLiteral("11"), QStringLiteral("sendAudio"), QStringLiteral("Ann"), first);
    bucket.pushStats(jsonObject(R"({"ssrc": "11", "iLevel": 4})"));
    bucket.pushStats(jsonObject(R"({"ssrc": "11", "iLevel": 5})"));
    ASSERT_EQ(bucket.mediaStatus.size(), 3);
    EXPECT_EQ(bucket.mediaStatus.first(), first);
    EXPECT_EQ(bucket.mediaStatus.last()[QStringLiteral("iLevel")].toInt(), 5);
    for (const QJsonValue &notObject : {QJsonValue(QJsonValue::Undefined), QJsonValue(QJsonArray())})
        EXPECT_TRUE(KLMediaObject({}, QStringLiteral("videoBwe"), {}, notObject).mediaStatus.isEmpty());

    QString error;
    const auto copy = KLMediaObject::createWithDictionary(bucket.toJson(), &error);
    ASSERT_NE(copy, nullptr) << error.toStdString();
    EXPECT_EQ(copy->toJson(), bucket.toJson());
    EXPECT_EQ(copy->type + copy->memberUserName, "sendAudioAnn");
    EXPECT_EQ(KLMediaObject::createWithDictionary(jsonObject(R"({"mediaStatus": [{}, 1]})"), &error), nullptr);
    EXPECT_TRUE(error.contains("\"mediaStatus[1]\"")) << error.toStdString();
}

TEST(KLSDKMeetingUserCallState, DictionaryGivesZeroForMissingOrWrongTypeAndResetKeepsCallType)
{
    KLSDKMeetingUserCallState state = KLSDKMeetingUserCallState::callStateWithDictionary(
        {{"callType", 1}, {"cellphone", 2}, {"extension", 3}, {"hasVideo", 4}, {"mute", -5},
         {"online", true}, {"vmute", QStringLiteral("1")}, {"multiScreen", 2}});
    EXPECT_EQ(states(state), (State9{1, 2, 3, 4, -5, 1, 0, 0, 2}));
    state.reset(); // every field but callType changes
    EXPECT_EQ(states(state), (State9{1, -1, -1, -1, -1, 0, -1, -1, 0}));
}

TEST_F(KLSDKMeetingUserFromParticipant, CopiesTheTableInTheInterfaceLanguageAndConvertsNumbers)
{
    const auto participant = KLParticipant::createWithDictionary(jsonObject(R"({
      "memberUUID": "m-1", "displayName": "张三", "displayNamePinYin": "Zhang San",
      "deptNameSplit": "研发/平台", "deptNameEnSplit": "RD/Platform", "userId": "u-9",
      "empId": "E1", "roomType": 1, "memberType": 2.0, "memberId": 5, "joinType": true,
      "status": "st", "pallasUUID": "p1", "city": "Shenzhen",
      "callState": {"online": 1, "mute": 1, "vmute": -1, "hasVideo": 1, "ringing": 0,
                    "extension": -1, "cellphone": 1, "multiScreen": 2}})"));
    ASSERT_NE(participant, nullptr);

    // Name and department path in the interface language; English falls back when it has none.
    const auto noEnglish = KLParticipant::createWithDictionary(
        jsonObject(R"({"displayName": "X", "displayNamePinYin": "", "deptNameSplit": "D"})"));
    ASSERT_NE(noEnglish, nullptr);
    const auto shown = [&](const KLParticipant &p) { return KLSDKMeetingUser(p).name + "|" + KLSDKMeetingUser(p).deptNameSplit; };
    KLLocalization::setLanguage(KLLocalization::Language::English);
    EXPECT_EQ(shown(*participant) + " " + shown(*noEnglish), "Zhang San|RD/Platform X|D");

    KLLocalization::setLanguage(KLLocalization::Language::Chinese);
    const KLSDKMeetingUser user(*participant);
    EXPECT_EQ(QStringList({user.name, user.nameEn(), user.deptNameSplit, user.uuid, user.userId, user.empId, user.city}),
              QStringList({"张三", "Zhang San", "研发/平台", "m-1", "u-9", "E1", "Shenzhen"}));
    EXPECT_EQ(user.roomType, 1);
    EXPECT_EQ(user.memberType, 2);
    EXPECT_EQ(user.memberId.toLongLong(), 5);
    EXPECT_EQ(user.joinType.typeId(), QMetaType::Bool);
    EXPECT_EQ(user.appointmentId.toLongLong(), 0); // the participant's default
    EXPECT_TRUE(user.jobDesc.isEmpty() && !user.jobDesc.isNull());
    EXPECT_TRUE(user.userAvatarUrl.isEmpty() && !user.userAvatarUrl.isNull());
    for (const QString &unfilled : {user.displayName, user.displayNamePinYin, user.pallasUUID, user.status,
                                    user.deptNameSplitEn()})
        EXPECT_TRUE(unfilled.isNull());
    // Seven states copied; callType and multiScreen are not the participant's to give.
    EXPECT_EQ(states(user.callState), (State9{0, 1, -1, 1, 1, 1, 0, -1, 0}));
}

TEST(KLSDKMeetingUserFromDictionary, UserIdComesFromEmpIdAndWrongTypesReadAsNone)
{
    const QVariantMap callState{{"online", 1}, {"callType", 1}, {"multiScreen", 2}};
    const KLSDKMeetingUser user(QVariantMap{
        {"memberUUID", "m-1"}, {"displayName", "X"}, {"displayNamePinYin", "Y"}, {"empId", "E1"},
        {"userId", "ignored"}, {"email", 12}, {"memberType", "2"}, {"roomType", 1}, {"jobDesc", "dev"},
        {"appointmentId", "A-1"}, {"memberId", 5}, {"callState", callState}});
    EXPECT_EQ(QStringList({user.uuid, user.userId, user.empId, user.name, user.nameEn(), user.jobDesc}),
              QStringList({"m-1", "E1", "E1", "X", "Y", "dev"}));
    EXPECT_TRUE(user.displayName.isNull() && user.email.isNull() && user.userAvatarUrl.isNull());
    EXPECT_EQ(user.memberType, 0);
    EXPECT_EQ(user.roomType, 1);
    // Objects are taken as they are, without a type test.
    EXPECT_EQ(user.appointmentId, QVariant(QStringLiteral("A-1")));
    EXPECT_EQ(user.memberId, QVariant(5));
    EXPECT_FALSE(user.joinType.isValid());
    EXPECT_EQ(states(user.callState), (State9{1, 0, 0, 0, 0, 1, 0, 0, 2}));

    // A call state that is no dictionary gives an all-zero state.
    EXPECT_EQ(states(KLSDKMeetingUser(QVariantMap{{"callState", "online"}}).callState), State9{});
}
