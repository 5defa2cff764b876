#include "KLRecordingPrinter.h"

#include "cloudlog/KLQLSLogger.h"
#include "clientconfig/KLClientConfigManager.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "runtime/KLDictionary.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

namespace {

const QStringList kCommonKeys = {
    "time", "genTime", "level", "os", "version", "agent", "sessionId", "traceId", "timeZone",
    "module", "meeting", "roomId", "project", "meetingId", "memberUUid", "userName", "userId",
    "computerModel", "topic"};

} // namespace

TEST(KLQLSRecord, TextsOfLevelsGroupsZonesAndRoomIds)
{
    EXPECT_EQ(KLQLSLogger::stringsOfLogLevels(1), QStringLiteral("trace"));
    EXPECT_EQ(KLQLSLogger::stringsOfLogLevels(6), QStringLiteral("fatal"));
    EXPECT_EQ(KLQLSLogger::stringsOfLogLevels(7), QString());
    EXPECT_EQ(KLQLSLogger::stringsOfGroupTypes(3), QStringLiteral("error"));
    EXPECT_EQ(KLQLSLogger::stringsOfGroupTypes(4), QString());

    EXPECT_EQ(KLQLSRecord::timeZoneText(8 * 3600), QStringLiteral("UTC+8"));
    EXPECT_EQ(KLQLSRecord::timeZoneText(-5 * 3600), QStringLiteral("UTC-5"));
    EXPECT_EQ(KLQLSRecord::timeZoneText(10 * 3600), QStringLiteral("UTC+10"));
    EXPECT_EQ(KLQLSRecord::timeZoneText(0), QStringLiteral("UTC+0"));
    EXPECT_EQ(KLQLSRecord::timeZoneText(19800), QStringLiteral("UTC+5:30"));
    EXPECT_EQ(KLQLSRecord::timeZoneText(-12600), QStringLiteral("UTC-3:30"));

    EXPECT_EQ(KL_integerText(QJsonValue(" -17xyz")), QStringLiteral("-17"));
    EXPECT_EQ(KL_integerText(QJsonValue("abc")), QStringLiteral("0"));
    EXPECT_EQ(KL_integerText(QJsonValue("99999999999999999999")),
              QStringLiteral("9223372036854775807"));
    EXPECT_EQ(KL_integerText(QJsonValue(12.9)), QStringLiteral("12"));
    EXPECT_EQ(KL_integerText(QJsonValue()), QStringLiteral("0"));
}

TEST(KLQLSRecord, CommonFieldsThenCallerValuesThenTopic)
{
    KLQLSLogger logger;
    QJsonObject record = logger.buildRecord(7, 0, {});
    for (const QString &key : kCommonKeys)
        EXPECT_TRUE(record.value(key).isString()) << key.toStdString();
    EXPECT_EQ(record.value("level"), QString());
    EXPECT_EQ(record.value("topic"), QString());
    EXPECT_EQ(record.value("meetingId"), QString()); // committed before the meeting is known
    EXPECT_EQ(record.value("agent"), QStringLiteral("KelvoUISDK_Linux"));
    EXPECT_EQ(record.value("project"), QStringLiteral("ecology"));
    EXPECT_TRUE(record.value("os").toString().startsWith("Linux "));
    const QRegularExpression time(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}$)");
    EXPECT_TRUE(time.match(record.value("time").toString()).hasMatch());
    EXPECT_TRUE(time.match(record.value("genTime").toString()).hasMatch());
    const QRegularExpression uuid("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$");
    EXPECT_TRUE(uuid.match(logger.traceId()).hasMatch()) << logger.traceId().toStdString();
    EXPECT_EQ(record.value("traceId"), logger.traceId());
    EXPECT_NE(KLQLSLogger().traceId(), logger.traceId());

    auto config = KLSDKMeetingConfigInternal::create({});
    config->setUserId("u-1");
    config->setSdkVersion("3.2.1");
    logger.setMeetingConfig(config);
    logger.initWithConferenceId("conf-1", QJsonValue("4711"), "m-1", "e-1", "Ann", "mcumeeting", "s-1");
    logger.setSessionId("s-2");
    logger.setComputerModel("ThinkPad");
    logger.setLogModule("conference");
    const QJsonObject caller{{"project", "mine"}, {"time", "then"}, {"topic", "theirs"}, {"n", 3}};
    record = logger.buildRecord(4, 2, caller);
    const QJsonObject expected{{"meetingId", "conf-1"}, {"roomId", "4711"}, {"memberUUid", "m-1"},
                               {"userName", "Ann"}, {"meeting", "mcumeeting"}, {"sessionId", "s-2"},
                               {"computerModel", "ThinkPad"}, {"module", "conference"},
                               {"userId", "u-1"}, {"version", "3.2.1"}, {"level", "warn"},
                               {"project", "mine"}, {"time", "then"}, {"topic", "event"}, {"n", 3}};
    for (auto it = expected.begin(); it != expected.end(); ++it)
        EXPECT_EQ(record.value(it.key()), it.value()) << it.key().toStdString();
    EXPECT_FALSE(record.contains("projectId") || record.contains("projectMode"));

    logger.initWithConferenceId("conf-1", qint64(-3), "m-1", "e-1", "Ann", "mcumeeting", "s-1");
    EXPECT_EQ(logger.roomId(), QStringLiteral("-3"));
    config.reset(); // only weakly held: the configuration's fields become empty
    EXPECT_EQ(logger.buildRecord(1, 1, caller).value("userId"), QString());
}

TEST(KLQLSRecord, ProjectorFieldsAndAddresses)
{
    KLQLSLogger logger;
    logger.setLogModule("projector");
    QJsonObject record = logger.buildRecord(3, 1, {{"k", "v"}});
    EXPECT_FALSE(record.contains("projectId"));
    EXPECT_EQ(record.value("projectDetailType"), QStringLiteral("multiscreen"));
    EXPECT_EQ(record.value("projectMode"), QStringLiteral("native_mprojector"));
    logger.setProjectId("p-9");
    EXPECT_EQ(logger.buildRecord(3, 1, {{"k", "v"}}).value("projectId"), QStringLiteral("p-9"));

    logger.setLocalIp("10.0.0.2");
    logger.setLocalIp("fe80::1");
    logger.setSrflxIp("2001:db8::5");
    EXPECT_EQ(logger.ip(), QStringLiteral("10.0.0.2"));
    EXPECT_EQ(logger.ip6(), QStringLiteral("fe80::1"));
    EXPECT_EQ(logger.srflxIp6(), QStringLiteral("2001:db8::5"));
    EXPECT_EQ(logger.srflxIp(), QString());
    record = logger.buildRecord(3, 1, {{"k", "v"}});
    EXPECT_FALSE(record.contains("ip") || record.contains("srflxIp6"));
}

TEST(KLQLSRecord, DirectPostEntryKeepsTextsAndNumbersOnly)
{
    const QJsonObject record{{"text", "a b"}, {"empty", ""}, {"list", QJsonArray{1, 2}},
                             {"map", QJsonObject{{"x", 1}}}, {"int", 42}, {"real", 2.5},
                             {"big", 1e15}, {"flag", true}, {"none", QJsonValue()}};
    const LogGroup group = KLQLSRecord::directPostGroup(record, "error");
    EXPECT_EQ(group.topic(), QStringLiteral("error"));
    EXPECT_EQ(group.source(), QString());
    ASSERT_EQ(group.logs().size(), 1);
    QJsonObject entry = group.logs().at(0).toObject();
    EXPECT_TRUE(entry.take("__time__").isDouble());
    EXPECT_EQ(entry, (QJsonObject{{"text", "a b"}, {"int", "42"}, {"real", "2.5"},
                                  {"big", "1000000000000000"}, {"flag", "1"}}));

    const QJsonDocument package = QJsonDocument::fromJson(group.GetJsonPackage().toUtf8());
    EXPECT_EQ(package.object().value("__topic__"), QStringLiteral("error"));
    EXPECT_EQ(package.object().value("__logs__").toArray(), group.logs());
}

namespace {

/// A collector whose staff records are caught, with the staff flag put back afterwards.
class KLQLSRoutes : public ::testing::Test {
protected:
    void SetUp() override
    {
        logger.setHostHandOver([this](const QJsonObject &record) {
            std::lock_guard lock(mutex);
            handedOver.push_back(record);
            handOverThread = QThread::currentThread()->objectName();
        });
        config->setIsVanInternal(true);
        logger.setMeetingConfig(config);
    }
    void TearDown() override
    {
        KLClientConfigManager::sharedInstance().setIsStaff(false);
        kltest::RecordingPrinter::uninstall();
    }
    size_t handedCount()
    {
        std::lock_guard lock(mutex);
        return handedOver.size();
    }

    std::shared_ptr<kltest::RecordingPrinter> log = kltest::RecordingPrinter::install();
    std::shared_ptr<KLSDKMeetingConfigInternal> config = KLSDKMeetingConfigInternal::create({});
    KLQLSLogger logger;
    std::mutex mutex;
    std::vector<QJsonObject> handedOver;
    QString handOverThread;
};

} // namespace

TEST_F(KLQLSRoutes, StaffRecordsGoToTheHostOnTheSerialQueue)
{
    KLClientConfigManager::sharedInstance().setIsStaff(true);
    logger.commitMonitorLevel(5, 3, {});
    ASSERT_TRUE(kltest::waitUntil([&] { return handedCount() == 1; }));
    std::lock_guard lock(mutex);
    EXPECT_EQ(handOverThread, QStringLiteral("com.vantora.kelvo.serial.queue"));
    EXPECT_EQ(handedOver[0].value("topic"), QStringLiteral("error"));
    EXPECT_EQ(handedOver[0].value("level"), QStringLiteral("error"));
    EXPECT_EQ(log->count("warn", QStringLiteral("输入参数为空")), 1);
}

TEST_F(KLQLSRoutes, InternalUploadWithoutKeysIsOffAndSaysSoOnce)
{
    config->setQlsInfo(QJsonObject{{"project", "p"}, {"logServiceEndpoint", "e"}, {"logstore", "s"}});
    logger.setMeetingConfig(config);
    EXPECT_FALSE(logger.logClient().canPost());
    logger.commitMonitorLevel(3, 1, {{"value", "a"}});
    logger.commitMonitorLevel(3, 1, {{"value", "b"}});
    EXPECT_EQ(log->count("warn", QStringLiteral("direct log upload is off")), 1);
    EXPECT_EQ(handedCount(), 0u);

    config->setQlsInfo(QJsonObject{{"project", "p"}, {"logServiceEndpoint", "https://e"},
                                   {"accessKeyId", "id"}, {"accessKeySecret", "sec"},
                                   {"securityToken", "t"}});
    logger.setMeetingConfig(config);
    const LogClient client = logger.logClient();
    EXPECT_TRUE(client.canPost());
    EXPECT_EQ(client.GetEndPoint(), QStringLiteral("e"));
    EXPECT_EQ(client.GetToken(), QStringLiteral("t"));
}
