// Reading the meeting information and what the join builds from it for the media engine:
// the summary decision, business and registration infos, connection parameter, ICE detection.
#include "cloudlog/KLQLSLogger.h"
#include "conference/join/KLIceDetection.h"
#include "conference/join/KLMediaSessionInfo.h"
#include "conference/join/KLMeetingInformation.h"
#include "media/fake/KLFakeMediaSDK.h"

#include <QJsonArray>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <tuple>

namespace {

QJsonObject reply(const QJsonObject &extra = {})
{
    QJsonObject base{
        {"roomid", 880012345678.0},
        {"iceServers", QJsonArray{QJsonObject{{"urls", "turn:127.0.0.1:3478"}}}},
        {"rtcserverWsUrl", "wss://127.0.0.1:9443/media"},
        {"memberInfo", QJsonObject{{"empId", "E100"}, {"memberUUID", "M-UUID"},
                                   {"masterEmpId", "E1"}, {"displayName", "Ada"},
                                   {"extensionPhone", 0}}},
        {"mcuAppointmentId", 0},
        {"token", "server-token"},
        {"rtcZone", "zone-a"},
    };
    for (auto it = extra.begin(); it != extra.end(); ++it)
        base.insert(it.key(), it.value());
    return base;
}

QJsonObject mcuReply(const QJsonValue &extensionPhone, const QJsonValue &password)
{
    QJsonObject member = reply().value("memberInfo").toObject();
    member.insert("extensionPhone", extensionPhone);
    QJsonObject extra{{"mcuAppointmentId", 777}, {"memberInfo", member}};
    if (!password.isUndefined())
        extra.insert("passWord", password);
    return reply(extra);
}

} // namespace

TEST(MeetingInformation, ReadsTheReplyAndSurvivesBrokenOnes)
{
    const auto info = KLMeetingInformation::fromReply(reply());
    EXPECT_EQ(info.appointmentId, "880012345678");
    EXPECT_EQ(info.iceServers.size(), 1);
    EXPECT_EQ(info.rtcServerWsUrl, "wss://127.0.0.1:9443/media");
    EXPECT_EQ(QStringList({info.empId, info.uuid, info.masterEmpId, info.displayName}),
              QStringList({"E100", "M-UUID", "E1", "Ada"}));
    EXPECT_TRUE(info.isPallasMeeting());
    EXPECT_EQ(KLMeetingInformation::fromReply(reply({{"roomid", "R-7"}})).appointmentId, "R-7");
    EXPECT_FALSE(KLMeetingInformation::fromReply(reply({{"mcuAppointmentId", "42"}}))
                     .isPallasMeeting());

    for (const QJsonValue &broken : {QJsonValue(), QJsonValue("text"), QJsonValue(QJsonArray{1}),
                                     QJsonValue(QJsonObject{{"memberInfo", "x"}, {"roomid", true},
                                                            {"iceServers", "x"}})}) {
        const auto empty = KLMeetingInformation::fromReply(broken);
        EXPECT_TRUE(empty.appointmentId.isEmpty() && empty.uuid.isNull() && empty.iceServers.isEmpty());
        EXPECT_TRUE(empty.isPallasMeeting());
    }
}

TEST(MeetingInformation, SummaryModuleDecision)
{
    const QString regular = QString::fromUtf8(KLRegularEmployeeType);
    struct Case {
        const char *name;
        qint64 mode;
        bool shown;
        QJsonObject extra;
        QString userType;
        bool internal;
        KLMeetingSummaryState expected;
    };
    const Case cases[] = {
        {"mcu hides", 0, true, {{"mcuAppointmentId", 5}}, regular, true, {false, false, {}}},
        {"reply shows, language opens", 0, true,
         {{"showSummaryModule", true}, {"summaryLanguage", "zh"}}, {}, true, {true, true, "zh"}},
        {"reply hides over regular type", 0, true, {{"showSummaryModule", false}}, regular, true,
         {false, false, {}}},
        {"regular type without reply key", 0, true, {}, regular, true, {true, false, {}}},
        {"other type without reply key", 0, true, {}, "外包", true, {false, false, {}}},
        {"no stored type", 0, true, {}, {}, true, {false, false, {}}},
        {"not offered stays off", 0, false, {{"showSummaryModule", true}}, regular, true,
         {false, false, {}}},
        {"external never", 0, true, {{"showSummaryModule", true}, {"summaryLanguage", "en"}},
         regular, false, {false, true, "en"}},
        {"projector unchanged", 1, true, {{"mcuAppointmentId", 5}}, {}, false, {true, false, {}}},
    };
    for (const Case &c : cases) {
        const KLMeetingSummaryState current{c.shown, false, {}};
        const auto info = KLMeetingInformation::fromReply(reply(c.extra));
        const auto got = KL_meetingSummaryState(c.mode, current, info, c.userType, c.internal);
        EXPECT_EQ(std::tuple(got.isShowMeetingSummaryModule, got.isOpenSummary, got.summaryLanguage),
                  std::tuple(c.expected.isShowMeetingSummaryModule, c.expected.isOpenSummary,
                             c.expected.summaryLanguage)) << c.name;
    }
}

TEST(MediaSessionInfo, BizInfoForConferenceAndMcuMeetings)
{
    const auto pallas = KL_initBizInfo(KLMeetingInformation::fromReply(reply()), 1, "M-UUID", "SID");
    EXPECT_EQ(pallas, (QJsonObject{{"bizType", "conference"}, {"room", 880012345678.0},
                                   {"ptype", "mux-pubsub"}, {"mtype", "main"},
                                   {"joinReason", "normalPublisherStreamJoin"},
                                   {"recvVideoDefault", true}, {"mediaSid", "SID"},
                                   {"display", "Ada"}, {"empId", "E100"},
                                   {"participant", "M-UUID"}}));
    EXPECT_FALSE(KL_initBizInfo(KLMeetingInformation::fromReply(reply()), 0, "U", "S")
                     .value("recvVideoDefault").toBool());

    struct Case {
        QJsonValue extension, password, number, expectedPassword;
    };
    const Case cases[] = {
        {8123, "pw", 8123, "pw"},
        {"0", QJsonValue(QJsonValue::Undefined), "M-UUID", ""},
        {QJsonValue(QJsonValue::Undefined), QJsonValue(QJsonValue::Null), "M-UUID", ""},
    };
    for (const Case &c : cases) {
        const auto biz = KL_initBizInfo(KLMeetingInformation::fromReply(mcuReply(c.extension, c.password)),
                                        0, "M-UUID", "SID");
        EXPECT_EQ(QJsonArray({biz["bizType"], biz["number"], biz["destinationNumber"], biz["password"]}),
                  QJsonArray({"mcu", c.number, "777", c.expectedPassword}));
        EXPECT_FALSE(biz.contains("ptype"));
    }

    // Missing member fields become empty texts, not absent keys.
    const auto bare = KL_initBizInfo(KLMeetingInformation::fromReply(QJsonObject{}), 0, {}, {});
    for (const char *key : {"mediaSid", "display", "empId", "participant"})
        EXPECT_EQ(bare.value(key), QJsonValue("")) << key;
    EXPECT_FALSE(bare.contains("room"));
}

TEST(MediaSessionInfo, RegistrationInfoTokenAndServer)
{
    const auto info = KLMeetingInformation::fromReply(reply());
    const QJsonObject internal = KL_initRtcWsRegInfo(info, true, "meeting-token");
    EXPECT_EQ(internal, (QJsonObject{{"signalingServer", "wss://127.0.0.1:9443/media"},
                                     {"shouldRegisterBack", true},
                                     {"regInfo", QJsonObject{{"appointmentId", 880012345678.0},
                                                             {"zone", "zone-a"},
                                                             {"memberUuid", "M-UUID"},
                                                             {"token", "server-token"}}}}));
    EXPECT_EQ(KL_initRtcWsRegInfo(info, false, "meeting-token").value("regInfo")["token"],
              "meeting-token");
    const auto noServer = KLMeetingInformation::fromReply(reply({{"rtcserverWsUrl", ""}}));
    const QJsonObject external = KL_initRtcWsRegInfo(noServer, false, QString());
    EXPECT_FALSE(external.contains("signalingServer"));
    EXPECT_EQ(external.value("regInfo")["token"], QJsonValue(""));
}

TEST(MediaSessionInfo, CloudLogContextAndEngineDefaults)
{
    auto engine = KLFakeMediaSDK::installNew();
    const auto pallas = KLMeetingInformation::fromReply(reply());
    const auto mcu = KLMeetingInformation::fromReply(mcuReply(0, "pw"));
    KL_applyMeetingKindDefaults(pallas);
    EXPECT_EQ(engine->callLog()->count("setDefaultsForBitrateAllocatorIgnoreBWE"), 0);
    KL_applyMeetingKindDefaults(mcu);
    EXPECT_EQ(engine->callLog()->last("setDefaultsForBitrateAllocatorIgnoreBWE")->args, QJsonArray{true});
    KLRTCMediaSDK::install(nullptr);

    KLQLSLogger logger;
    KLCloudLogMeetingContext::from("CONF", mcu, "SID").apply(logger);
    EXPECT_EQ(QStringList({logger.roomId(), logger.meetingType(), logger.memberUUID()}),
              QStringList({"880012345678", "mcumeeting", "M-UUID"}));
    EXPECT_EQ(KLCloudLogMeetingContext::from("C", pallas, "S").meetingType, "pallasmeeting");
}

TEST(MediaSessionInfo, ConnectionParamForMeetingsAndProjectors)
{
    const QJsonArray ice{QJsonObject{{"urls", "turn:127.0.0.1"}}};
    const QJsonObject reg{{"shouldRegisterBack", true}};
    const QJsonObject biz{{"bizType", "conference"}};

    const auto meeting = KL_buildConnectionParam(0, ice, reg, biz, true, {3, true, true});
    EXPECT_EQ(meeting.connectionParam,
              (QJsonObject{{"iceServices", ice}, {"rtcWsRegInfo", reg}, {"bizInfo", biz}}));
    EXPECT_TRUE(meeting.openDataChannel && meeting.useSimulcast);

    for (qint64 mode : {1, 2}) {
        const auto projector = KL_buildConnectionParam(mode, ice, reg, biz, false, {3, true, false});
        const QJsonObject &p = projector.connectionParam;
        EXPECT_EQ(QJsonArray({p["isMultiScreen"].toBool(), p["kMultiScreenPaceMultiplier"], p["disableAvSync"],
                              p["prefersLateDecoding"]}), QJsonArray({mode == 1, 3, true, false}));
        EXPECT_FALSE(projector.openDataChannel || projector.useSimulcast);
    }
}

TEST(IceDetection, ListsCutToThreeAndEmptyListsLeftOut)
{
    QJsonArray five, rtts;
    for (int i = 0; i < 5; ++i) {
        five.append(QJsonObject{{"ip", QStringLiteral("203.0.113.%1").arg(i)}});
        rtts.append(QJsonObject{{"server", "turn:127.0.0.1"}, {"rtt", i * 10}});
    }
    const QJsonObject both = KL_iceDetectionDictionary(five, rtts).value("iceDetection").toObject();
    ASSERT_EQ(both.value("publicIp").toArray().size(), 3);
    EXPECT_EQ(both.value("publicIp")[2]["ip"], "203.0.113.2");
    EXPECT_EQ(both.value("iceRtt").toArray().size(), 3);

    const QJsonObject onlyRtt = KL_iceDetectionDictionary({}, QJsonArray{rtts[0]})["iceDetection"].toObject();
    EXPECT_EQ(onlyRtt.keys(), QStringList{"iceRtt"});
    EXPECT_EQ(KL_iceDetectionDictionary({}, {}), (QJsonObject{{"iceDetection", QJsonObject{}}}));

    EXPECT_EQ(KL_serverReflexiveIp(five), "203.0.113.0");
    EXPECT_TRUE(KL_serverReflexiveIp({}).isNull() && KL_serverReflexiveIp(QJsonArray{"203.0.113.9"}).isNull());

    KLQLSLogger logger;
    KL_reportIceDetection(logger, five, "192.168.1.5");
    EXPECT_EQ(QStringList({logger.srflxIp(), logger.ip()}), QStringList({"203.0.113.0", "192.168.1.5"}));
}
