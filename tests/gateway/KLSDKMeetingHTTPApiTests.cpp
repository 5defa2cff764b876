// The meeting API over real TLS against the local meeting service, which checks every
// signature, token and parameter the way the real service does.

#include "MeetingSim.h"

#include "cloudlog/KLQLSLogger.h"
#include "clientconfig/KLClientConfigManager.h"
#include "gateway/KLSDKMeetingHTTPApi.h"
#include "host/UserPersistentData.h"
#include "model/KLParticipant.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "runtime/KLMainThread.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"

#include "KLRecordingPrinter.h"
#include "KLTestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpServer>

#include <gtest/gtest.h>

namespace {

class ManualReachability : public KLReachability {
public:
    void startMonitoring(Handler handler) override { m_handler = std::move(handler); }
    void report(Status status) { m_handler(status); }

private:
    Handler m_handler;
};

struct Outcome {
    bool succeeded = false;
    bool failed = false;
    bool onMainThread = false;
    QJsonValue payload;
    QString code;
    QString message;
    bool done() const { return succeeded || failed; }
};

using Operation = std::function<void(KLApiSuccessBlock, KLApiFailureBlock)>;

class KLSDKMeetingHTTPApiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sim = new kelvosim::MeetingSim();
        QString error;
        ASSERT_TRUE(sim->start(&error)) << error.toStdString();
        const QJsonObject scenario = sim->scenario();
        meeting = scenario.value("meetings").toArray().first().toObject();
        UserPersistentData &data = UserPersistentData::sharedInstance();
        data.writeAccessToken(scenario.value("accessToken").toString());
        data.writeWorkId(QStringLiteral("E10001"));
        data.writeSysUMid(QStringLiteral("umid-0001"));
    }
    static void TearDownTestSuite()
    {
        delete sim;
        sim = nullptr;
    }

    void SetUp() override
    {
        sim->clearFaults();
        sim->clearRequests();
        KLClientConfigManager::sharedInstance().setIsStaff(true);
        config = configFor(sim->caFile());
        api = makeApi(config);
    }

    KLMeetingConfigPtr configFor(const QString &caFile, const QString &base = sim->baseUrl()) const
    {
        auto made = KLSDKMeetingConfigInternal::create(
            {{"meetingUUID", meeting.value("meetingUUID").toString()},
             {"memberUUID", meeting.value("selfMemberUUID").toString()},
             {"apiBaseUrl", base},
             {"itMonitorBaseUrl", sim->baseUrl()},
             {"caFile", caFile}});
        made->setAppointmentId(QString::number(meeting.value("appointmentId").toInteger()));
        return made;
    }

    std::unique_ptr<KLSDKMeetingHTTPApi> makeApi(const KLMeetingConfigPtr &with)
    {
        auto manual = std::make_unique<ManualReachability>();
        reachability = manual.get();
        return std::make_unique<KLSDKMeetingHTTPApi>(with, std::move(manual));
    }

    static Outcome run(const Operation &operation)
    {
        const auto outcome = begin(operation);
        kltest::waitUntil([outcome] { return outcome->done(); }, 10000);
        return *outcome;
    }

    /// Starts the operation; the outcome fills in when a block is called.
    static std::shared_ptr<Outcome> begin(const Operation &operation)
    {
        auto outcome = std::make_shared<Outcome>();
        operation(
            [outcome](const QJsonValue &payload) {
                outcome->succeeded = true;
                outcome->onMainThread = KLMainThread::isCurrent();
                outcome->payload = payload;
            },
            [outcome](const QString &code, const QString &message) {
                outcome->failed = true;
                outcome->onMainThread = KLMainThread::isCurrent();
                outcome->code = code;
                outcome->message = message;
            });
        return outcome;
    }

    KLParticipantPtr firstMember() const
    {
        return KLParticipant::createWithDictionary(
            meeting.value("members").toArray().first().toObject());
    }

    static inline kelvosim::MeetingSim *sim = nullptr;
    static inline QJsonObject meeting;
    KLMeetingConfigPtr config;
    std::unique_ptr<KLSDKMeetingHTTPApi> api;
    ManualReachability *reachability = nullptr;
};

TEST_F(KLSDKMeetingHTTPApiTest, EveryOperationIsSignedAndAcceptedByTheService)
{
    KLSDKMeetingHTTPApi &a = *api;
    const KLParticipantPtr member = firstMember();
    const QJsonValue appointment = meeting.value("appointmentId");
    const QString memberUuid = member->memberUUID;
    auto room = KLParticipant::createWithDictionary(
        meeting.value("rooms").toArray().first().toObject());
    const QList<QPair<QString, Operation>> operations = {
        {"/conference/api/addMember", [&](auto s, auto f) { a.addMeetingMemberWithAppointment(appointment, {member, room}, s, f); }},
        {"/conference/api/v2/detailAppointment", [&](auto s, auto f) { a.getAppointmentDetailById(QString::number(appointment.toInteger()), s, f); }},
        {"/conference/api/muteMeetingMember", [&](auto s, auto f) { a.muteMemberWithAppointment(member, true, s, f); }},
        {"/conference/api/vmuteMeetingMember", [&](auto s, auto f) { a.vmuteMemberWithAppointment(member, false, s, f); }},
        {"/conference/api/findMember", [&](auto s, auto f) { a.findMemberWithKeywords("Chen+Jing & co", s, f); }},
        {"/conference/api/meetingInfo", [&](auto s, auto f) { a.getMeetingInfoWithConfig(config, QJsonObject{{"stun", 12}}, "Guest", s, f); }},
        {"/conference/api/callMeetingMember", [&](auto s, auto f) { a.callMeetingMemberWithAppointment(member, "6001", "1", s, f); }},
        {"/conference/api/v2/hangUpAll", [&](auto s, auto f) { a.finishAppointmentWithConfig(config, s, f); }},
        {"/conference/api/hangUpMeetingMember", [&](auto s, auto f) { a.hangUpMeetingMemberWithAppointment(member, "1", s, f); }},
        {"/conference/api/getRoomsStatus", [&](auto s, auto f) { a.getMeetingRoomStatusWithAppointment(appointment, "R-SH-3F-01,R-SH-3F-02", s, f); }},
        {"/conference/api/robRoom", [&](auto s, auto f) { a.robRoomWithAppointment(appointment, memberUuid, s, f); }},
        {"/conference/api/v3/openSummary", [&](auto s, auto f) { a.openSummaryWithAppointment(member, "zh", false, true, s, f); }},
        {"/conference/api/v3/changeMemberSummaryLang", [&](auto s, auto f) { a.changeMemberSummaryLangWithAppointment(member, "en", s, f); }},
        {"/conference/api/v3/stopSummary", [&](auto s, auto f) { a.stopSummaryWithAppointment(member, s, f); }},
        {"/conference/api/v2/getCallInNumberByLetter", [&](auto s, auto f) { a.getCallInNumberByLetterWithSuccessBlock(s, f); }},
        {"/conference/api/getClientConfig", [&](auto s, auto f) { a.getClientConfigWithConfig(config, s, f); }},
        {"/conference/api/v2/getSwitchConfig", [&](auto s, auto f) { a.getClientSwitchConfigWithConfig(config, s, f); }},
        {"/webvc/savePcJumpStatus", [&](auto s, auto f) { a.savePcJumpStatusWithUuid("u-1", "r-2", s, f); }},
        {"/conference/api/v2/meetingContact", [&](auto s, auto f) { a.getMeetingContactWithSuccessBlock(s, f); }},
        {"/conference/gbc/getIceServerList", [&](auto s, auto f) { a.getIceServerListWithConfig(config, s, f); }},
        {"/conference/api/v2/checkPassword", [&](auto s, auto f) { a.getMeetingInfoByPassword(meeting.value("appointmentDetail")["password"].toString(), s, f); }},
        {"/openapi/ProjectorUsedApi.json", [&](auto s, auto f) { a.notifyItMonitorForMultiProjectorWithType("start", "P-1", meeting.value("meetingUUID").toString(), "1", s, f); }},
        {"/conference/api/v2/openAudioForMultiScreen", [&](auto s, auto f) { a.openAudioForMultiProjector(appointment, s, f); }},
        {"/conference/api/v2/multiScreenRobRoom", [&](auto s, auto f) { a.multiScreenRobRoomWithAppointmentId(appointment, memberUuid, true, s, f); }},
        {"/conference/api/v2/getStartMultiScreenRoomStatus", [&](auto s, auto f) { a.getStartMultiScreenRoomStatusWithAppointmentId(appointment, s, f); }},
        {"/conference/api/v2/shareMultiScreenMember", [&](auto s, auto f) { a.shareMultiScreenMemberForMemberUuid(memberUuid, 1, true, false, s, f); }},
        {"/conference/api/v2/shareMultiScreenAll", [&](auto s, auto f) { a.shareMultiScreenAllWithAppointmentId(appointment, 1, true, true, false, s, f); }},
        {"/conference/api/v2/addMemberMultiScreen", [&](auto s, auto f) { a.addMemberMultiScreenAppointmentId(appointment, true, QJsonArray{memberUuid}, s, f); }},
        {"/conference/api/v2/notifyMultiScreen", [&](auto s, auto f) { a.notifyMultiScreenWithAppointmentId(appointment, memberUuid, 1, s, f); }},
        {"/conference/api/v2/findUserAndRoom", [&](auto s, auto f) { a.findUserAndRoomWithKey("R-SH", s, f); }},
    };
    for (const auto &[path, operation] : operations) {
        const Outcome outcome = run(operation);
        EXPECT_TRUE(outcome.succeeded) << path.toStdString() << " failed: "
                                       << outcome.code.toStdString() << " "
                                       << outcome.message.toStdString();
        EXPECT_TRUE(outcome.onMainThread) << path.toStdString();
        const auto received = sim->requests(path);
        ASSERT_EQ(received.size(), 1) << path.toStdString();
        EXPECT_FALSE(received.first().rejected)
            << path.toStdString() << ": " << received.first().rejectReason.toStdString();
    }
    EXPECT_TRUE(api->isNetWorkAvailable());

    const auto mute = sim->requests("/conference/api/muteMeetingMember").first().form;
    EXPECT_EQ(mute.value("appointment_id"), QString::number(appointment.toInteger()));
    EXPECT_EQ(mute.value("member_id"), QString::number(member->memberId.toInteger()));
    EXPECT_EQ(mute.value("status"), "true");
    EXPECT_TRUE(mute.contains("type") && mute.value("type").isEmpty());
    EXPECT_EQ(mute.value("ownerId"), "E10001");
    EXPECT_EQ(sim->requests("/conference/api/findMember").first().form.value("keyword"),
              "Chen+Jing & co");
    const auto added = sim->requests("/conference/api/addMember").first().form;
    const QJsonObject data = QJsonDocument::fromJson(added.value("data").toUtf8()).object();
    EXPECT_EQ(data.value("roomIds").toString(), room->roomId);
    EXPECT_EQ(data.value("memberList").toArray(),
              (QJsonArray{QJsonObject{{"empId", member->empId}}}));
    const auto info = sim->requests("/conference/api/meetingInfo").first().form;
    EXPECT_FALSE(info.contains("outerMemberUUID")) << "staff users send no outer identity";
    EXPECT_EQ(QJsonDocument::fromJson(info.value("iceServers").toUtf8()).object(),
              (QJsonObject{{"stun", 12}}));
}

TEST_F(KLSDKMeetingHTTPApiTest, ServerErrorsReachTheFailureBlockAndAreRecorded)
{
    auto logConfig = KLSDKMeetingConfigInternal::create(
        {{"caFile", sim->caFile()},
         {"qlsInfo", QString::fromUtf8(QJsonDocument(QJsonObject{
                                           {"project", "kelvo-sim"},
                                           {"logServiceEndpoint", "cn-sim.log.kelvo.local"},
                                           {"logstore", "meeting-api"},
                                           {"logServiceAddress", QStringLiteral("127.0.0.1:%1").arg(sim->port())}})
                                           .toJson())}});
    KLQLSLogger::sharedInstance().setMeetingConfig(logConfig);
    const KLParticipantPtr member = firstMember();

    sim->setFault("/conference/api/callMeetingMember",
                  kelvosim::Fault::of(kelvosim::Fault::Kind::ErrorCode, "-20", "room busy"));
    Outcome outcome = run([&](auto s, auto f) { api->callMeetingMemberWithAppointment(member, "1", "1", s, f); });
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.code, "-20");
    EXPECT_EQ(outcome.message, "room busy");

    sim->setFault("/conference/api/hangUpMeetingMember",
                  kelvosim::Fault::of(kelvosim::Fault::Kind::ErrorCode, "-20", "room busy"));
    outcome = run([&](auto s, auto f) { api->hangUpMeetingMemberWithAppointment(member, "1", s, f); });
    EXPECT_EQ(outcome.code, "-20");

    sim->setFault("/conference/api/robRoom", kelvosim::Fault::of(kelvosim::Fault::Kind::ErrorList, "E7", "listed"));
    outcome = run([&](auto s, auto f) { api->robRoomWithAppointment(1, "m", s, f); });
    EXPECT_EQ(outcome.code, "E7");
    EXPECT_EQ(outcome.message, "listed");

    // The client configuration is passed on whatever its status says.
    sim->setFault("/conference/api/getClientConfig", kelvosim::Fault::of(kelvosim::Fault::Kind::ErrorCode, "-1", "no"));
    outcome = run([&](auto s, auto f) { api->getClientConfigWithConfig(config, s, f); });
    EXPECT_TRUE(outcome.succeeded);

    ASSERT_TRUE(kltest::waitUntil([] { return sim->logEntries("meeting-api").size() >= 3; }));
    const auto entries = sim->logEntries("meeting-api");
    auto find = [&](const QString &fragment) {
        for (const QJsonObject &entry : entries)
            if (entry.value("url").toString().contains(fragment))
                return entry;
        return QJsonObject();
    };
    const QJsonObject warning = find("callMeetingMember");
    EXPECT_EQ(warning.value("value").toString(), "apiWarning");
    EXPECT_EQ(warning.value("level").toString(), "warn");
    EXPECT_EQ(warning.value("topic").toString(), "event");
    EXPECT_EQ(warning.value("errCode").toString(), "-20");
    const QJsonObject error = find("hangUpMeetingMember");
    EXPECT_EQ(error.value("value").toString(), "apiError");
    EXPECT_EQ(error.value("level").toString(), "error");
    EXPECT_EQ(find("robRoom").value("errMsg").toString(), "listed");
    KLQLSLogger::sharedInstance().setMeetingConfig(nullptr);
}

TEST_F(KLSDKMeetingHTTPApiTest, TransportFailuresFollowTheNetworkFlag)
{
    int unavailable = 0;
    KLNotificationCenter::defaultCenter().addObserver(
        this, KLNotificationNames::NetWorkUnAvaliable, [&](const KLNotification &) { ++unavailable; });

    // Before any response the network does not count as available: no block, a notification.
    {
        QTcpServer refusing; // a port nobody listens on once closed
        refusing.listen(QHostAddress::LocalHost);
        const quint16 port = refusing.serverPort();
        refusing.close();
        auto offline = makeApi(configFor(sim->caFile(), QStringLiteral("https://127.0.0.1:%1").arg(port)));
        const auto pending = begin([&](auto s, auto f) { offline->findMemberWithKeywords("x", s, f); });
        EXPECT_TRUE(kltest::waitUntil([&] { return unavailable == 1; }));
        kltest::pumpEvents(50);
        EXPECT_FALSE(pending->done());
    }
    api = makeApi(config);

    // After one response it does: the failure block gets the error code and no message.
    EXPECT_TRUE(run([&](auto s, auto f) { api->getMeetingContactWithSuccessBlock(s, f); }).succeeded);
    sim->setFault("/conference/api/v2/checkPassword", kelvosim::Fault::of(kelvosim::Fault::Kind::NotJson));
    const Outcome outcome = run([&](auto s, auto f) { api->getMeetingInfoByPassword("1", s, f); });
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.code, "3840");
    EXPECT_TRUE(outcome.message.isEmpty());

    reachability->report(KLReachability::Status::NotReachable);
    EXPECT_FALSE(api->isNetWorkAvailable());
    int available = 0;
    KLNotificationCenter::defaultCenter().addObserver(
        this, KLNotificationNames::NetWorkAvaliable, [&](const KLNotification &) { ++available; });
    reachability->report(KLReachability::Status::ReachableViaWiFi);
    EXPECT_TRUE(api->isNetWorkAvailable());
    EXPECT_EQ(available, 1);
    KLNotificationCenter::defaultCenter().removeObserver(this);
}

TEST_F(KLSDKMeetingHTTPApiTest, AServerTheClientDoesNotTrustFailsTheRequest)
{
    api = makeApi(configFor(QString())); // the system's authorities only
    reachability->report(KLReachability::Status::ReachableViaWiFi);
    const Outcome outcome = run([&](auto s, auto f) { api->getMeetingContactWithSuccessBlock(s, f); });
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.code, "-1202");
    EXPECT_TRUE(sim->requests("/conference/api/v2/meetingContact").isEmpty());
}

TEST_F(KLSDKMeetingHTTPApiTest, SilentEndsCallNoBlock)
{
    config->setAppointmentId(QString());
    bool called = false;
    api->finishAppointmentWithConfig(config, [&](const QJsonValue &) { called = true; },
                                     [&](const QString &, const QString &) { called = true; });
    sim->setFault("/openapi/ProjectorUsedApi.json", kelvosim::Fault::of(kelvosim::Fault::Kind::Close));
    reachability->report(KLReachability::Status::ReachableViaWiFi);
    const auto printer = kltest::RecordingPrinter::install();
    const auto pending = begin([&](auto s, auto f) { api->notifyItMonitorForMultiProjectorWithType("stop", "P", "M", "1", s, f); });
    EXPECT_TRUE(kltest::waitUntil([&] {
        kltest::drainLogger();
        return printer->count("info", "notifyItMonitorForMultiProjector failed") == 1;
    }));
    kltest::RecordingPrinter::uninstall();
    // A later request is answered after the earlier ones have ended.
    EXPECT_TRUE(run([&](auto s, auto f) { api->getMeetingContactWithSuccessBlock(s, f); }).succeeded);
    EXPECT_FALSE(called);
    EXPECT_FALSE(pending->done());
    EXPECT_TRUE(sim->requests("/conference/api/v2/hangUpAll").isEmpty());
    // Qt resends a request whose connection closed before any answer, so it may arrive more
    // than once.
    EXPECT_FALSE(sim->requests("/openapi/ProjectorUsedApi.json").isEmpty());
}

} // namespace

// Replies no service should send: each fails its own request with the JSON reading error and a
// log line, and the next request is answered as usual.
TEST_F(KLSDKMeetingHTTPApiTest, BrokenDeepAndMisencodedRepliesFailOnlyTheirRequest)
{
    reachability->report(KLReachability::Status::ReachableViaWiFi);
    const QByteArray whole = R"({"success":true,"content":[{"memberUUID":"m-1","displayName":"Ann"}]})";
    const int depth = 10000;
    const struct {
        const char *name;
        QByteArray body;
    } replies[] = {
        {"truncated", whole.left(whole.size() / 2)},
        {"nested 10,000 deep", "{\"success\":true,\"content\":" + QByteArray(depth, '[') + QByteArray(depth, ']') + "}"},
        {"invalid UTF-8", "{\"success\":true,\"content\":[{\"displayName\":\"A\xff\xfe\xc3\"}]}"},
    };
    const QString path = QStringLiteral("/conference/api/v2/meetingContact");
    const auto printer = kltest::RecordingPrinter::install();
    for (const auto &reply : replies) {
        kelvosim::Fault fault = kelvosim::Fault::of(kelvosim::Fault::Kind::Body);
        fault.payload = reply.body;
        fault.times = 1;
        sim->setFault(path, fault);
        const Outcome outcome = run([&](auto s, auto f) { api->getMeetingContactWithSuccessBlock(s, f); });
        EXPECT_TRUE(outcome.failed) << reply.name;
        EXPECT_EQ(outcome.code, "3840") << reply.name;
        EXPECT_TRUE(run([&](auto s, auto f) { api->getMeetingContactWithSuccessBlock(s, f); }).succeeded) << reply.name;
    }
    kltest::drainLogger();
    EXPECT_EQ(printer->count("info", "isn't in the correct format"), 3);
    kltest::RecordingPrinter::uninstall();
}

// TLS is never given up: a redirect to plain HTTP is not followed, and a certificate issued for
// another host name is refused although its authority is trusted.
TEST_F(KLSDKMeetingHTTPApiTest, NeitherAPlainRedirectNorACertificateForAnotherHostIsAccepted)
{
    reachability->report(KLReachability::Status::ReachableViaWiFi);
    QTcpServer plain;
    ASSERT_TRUE(plain.listen(QHostAddress::LocalHost));
    kelvosim::Fault redirect = kelvosim::Fault::of(kelvosim::Fault::Kind::Redirect);
    redirect.payload = QStringLiteral("http://127.0.0.1:%1/conference/api/v2/meetingContact")
                           .arg(plain.serverPort()).toUtf8();
    redirect.times = 1;
    sim->setFault("/conference/api/v2/meetingContact", redirect);
    Outcome outcome = run([&](auto s, auto f) { api->getMeetingContactWithSuccessBlock(s, f); });
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.code, "-1011"); // the 302 itself, as a status no request accepts
    kltest::pumpEvents(100);
    EXPECT_FALSE(plain.hasPendingConnections()) << "the plain HTTP address was contacted";
    EXPECT_TRUE(run([&](auto s, auto f) { api->getMeetingContactWithSuccessBlock(s, f); }).succeeded);

    // The same authority and certificate on a loopback address the certificate does not name.
    kelvosim::MeetingSim::Options options;
    options.certDir = sim->certDir();
    options.address = QHostAddress(QStringLiteral("127.0.0.2"));
    kelvosim::MeetingSim elsewhere(options);
    QString error;
    ASSERT_TRUE(elsewhere.start(&error)) << error.toStdString();
    auto misnamed = makeApi(configFor(sim->caFile(), elsewhere.baseUrl()));
    reachability->report(KLReachability::Status::ReachableViaWiFi);
    outcome = run([&](auto s, auto f) { misnamed->getMeetingContactWithSuccessBlock(s, f); });
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.code, "-1202");
    EXPECT_TRUE(elsewhere.requests("/conference/api/v2/meetingContact").isEmpty());
}
