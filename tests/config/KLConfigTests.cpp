// What the meeting reads from the host (its two dictionaries) and the credential check.
#include "model/KLHostCodeTranslation.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "model/KLUISDKGuiConfigInternal.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(MeetingConfig, EmptyDictionaryGivesDefaults)
{
    const KLSDKMeetingConfigInternal config{QVariantMap()};
    EXPECT_TRUE(config.allowNoMic() && config.speakerEnabled());
    EXPECT_FALSE(config.muteAudio() || config.muteVideo() || config.audioOnly() || config.isVanInternal() ||
                 config.webRTCLogEnabled() || config.qlsInfo() || config.iceDetection());
    for (const QString &text : {config.clientAppId(), config.meetingUUID(), config.memberUUID(), config.meetingToken(),
                                config.meetingDomain(), config.userId(), config.appointmentId()})
        EXPECT_TRUE(text.isNull());
}

TEST(MeetingConfig, ReadsHostKeysIgnoresTheOnesItOwnsAndReadsWrongTypesAsNoneOrFalse)
{
    const KLSDKMeetingConfigInternal config{QVariantMap{
        {"clientAppId", "app"}, {"meetingUUID", "m-1"}, {"memberUUID", "u-1"}, {"meetingToken", "tok"},
        {"meetingDomain", "meet.example"}, {"userId", "42"}, {"vanInternal", true}, {"muteAudio", 1},
        {"muteVideo", 2.5}, {"allowNoMic", false}, {"audioOnly", true}, {"speakerEnabled", 0},
        // Never taken from the host:
        {"webRTCLogEnabled", true}, {"sdkVersion", "9.9.9"}, {"appointmentId", "a"},
        {"iceDetection", QVariantMap{{"publicIp", "x"}}}}};
    EXPECT_EQ(QStringList({config.clientAppId(), config.meetingUUID(), config.memberUUID(), config.meetingToken(),
                           config.meetingDomain(), config.userId(), config.sdkVersion()}),
              QStringList({"app", "m-1", "u-1", "tok", "meet.example", "42", "1.0.0"}));
    EXPECT_TRUE(config.isVanInternal() && config.muteAudio() && config.muteVideo() && config.audioOnly());
    EXPECT_FALSE(config.allowNoMic() || config.speakerEnabled() || config.webRTCLogEnabled());
    EXPECT_TRUE(config.appointmentId().isNull() && !config.iceDetection());

    // Wrong types: not the default (true) for the flags, and no text.
    const KLSDKMeetingConfigInternal wrong{QVariantMap{
        {"allowNoMic", "true"}, {"speakerEnabled", QStringList{"1"}}, {"muteAudio", "1"},
        {"meetingUUID", 42}, {"userId", QVariantMap{{"id", "7"}}}, {"meetingToken", true}}};
    EXPECT_FALSE(wrong.allowNoMic() || wrong.speakerEnabled() || wrong.muteAudio());
    for (const QString &text : {wrong.meetingUUID(), wrong.userId(), wrong.meetingToken()})
        EXPECT_TRUE(text.isNull());
}

TEST(MeetingConfig, QlsInfoMustBeTextHoldingAJsonObject)
{
    const auto qls = [](const QVariant &value) {
        return KLSDKMeetingConfigInternal(QVariantMap{{"qlsInfo", value}}).qlsInfo();
    };
    const auto parsed = qls(R"({"project":"p","logstore":"s","logServiceEndpoint":"e"})");
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->value("project").toString() + parsed->value("logstore").toString(), "ps");
    for (const QVariant &bad : {QVariant("{not json"), QVariant("[1,2]"), QVariant(""),
                                QVariant(QVariantMap{{"project", "p"}}), QVariant(3)})
        EXPECT_FALSE(qls(bad).has_value()) << bad.toString().toStdString();
}

TEST(MeetingConfig, SharedConfigIsSafeToReadWhileTheJoinWritesIt)
{
    const auto config = KLSDKMeetingConfigInternal::create({{"userId", "initial"}});
    const QStringList values{QStringLiteral("member-aaaaaaaaaaaaaaaa"), QStringLiteral("b")};
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i) {
            const QString value = values[i % 2];
            config->setMemberUUID(value);
            config->setUserId(value);
            config->setIceDetection(QJsonObject{{"publicIp", value}});
            config->setMuteAudio(i % 2);
        }
        done = true;
    });
    int strangeReads = 0;
    while (!done) {
        const QString member = config->memberUUID(), user = config->userId(); // each read once
        strangeReads += !member.isNull() && !values.contains(member);
        strangeReads += !values.contains(user) && user != "initial";
        const auto ice = config->iceDetection();
        strangeReads += ice && !values.contains(ice->value("publicIp").toString());
    }
    writer.join();
    EXPECT_EQ(strangeReads, 0);
    EXPECT_EQ(config->memberUUID(), values[1]);
}

TEST(DisplayConfig, ReadsKeysWithDefaults)
{
    const KLUISDKGuiConfigInternal empty{QVariantMap()};
    EXPECT_FALSE(empty.meetingInviteMember());
    EXPECT_TRUE(empty.meetingTopic().isNull() && empty.meetingRateUrl().isNull());

    const KLUISDKGuiConfigInternal full{QVariantMap{
        {"inviteMember", 1}, {"appLogo", "logo"}, {"logoBanner", "banner"}, {"meetingTopic", "Weekly"},
        {"meetingTime", "10:00"}, {"meetingCode", "123"}, {"meetingUrl", "https://m/1"}, {"meetingRateUrl", 5}}};
    EXPECT_TRUE(full.meetingInviteMember());
    EXPECT_EQ(QStringList({full.appLogo(), full.logoBanner(), full.meetingTopic(), full.meetingTime(),
                           full.meetingCode(), full.meetingUrl()}),
              QStringList({"logo", "banner", "Weekly", "10:00", "123", "https://m/1"}));
    EXPECT_TRUE(full.meetingRateUrl().isNull());
    EXPECT_FALSE(KLUISDKGuiConfigInternal(QVariantMap{{"inviteMember", "yes"}}).meetingInviteMember());
}

TEST(Credentials, CheckedInOrderWithExactTexts)
{
    const QString noMeeting = QStringLiteral("非法参数: 会议ID为空");
    const QString noUser = QStringLiteral("非法参数：用户ID为空");
    const QString noToken = QStringLiteral("非法参数：会议Token为空");
    const std::pair<QVariantMap, QString> cases[] = { // null text: passes
        {{{"meetingUUID", "m"}, {"memberUUID", "u"}, {"meetingToken", "t"}}, QString()},
        {{{"meetingUUID", "m"}, {"userId", "7"}, {"meetingToken", "t"}}, QString()},
        {{{"meetingUUID", "m"}, {"meetingToken", "t"}}, noUser},
        {{{"meetingUUID", "m"}, {"userId", ""}, {"memberUUID", ""}, {"meetingToken", "t"}}, noUser},
        {{{"meetingUUID", ""}, {"userId", "7"}, {"meetingToken", ""}}, noMeeting},
        {{}, noMeeting},
        {{{"meetingUUID", 5}, {"userId", "7"}, {"meetingToken", "t"}}, noMeeting},
        {{{"meetingUUID", "m"}, {"userId", "7"}}, noToken},
        {{{"meetingUUID", "m"}, {"memberUUID", "u"}, {"meetingToken", ""}}, noToken},
    };
    for (const auto &[dic, expected] : cases) {
        const auto error = KLValidateMeetingCredentials(KLSDKMeetingConfigInternal(dic));
        ASSERT_EQ(error.has_value(), !expected.isNull()) << expected.toStdString();
        if (error) {
            EXPECT_EQ(error->code, 0);
            EXPECT_EQ(error->reason, expected);
        }
    }
}
