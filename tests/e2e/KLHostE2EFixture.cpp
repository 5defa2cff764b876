#include "KLHostE2EFixture.h"

#include "SimScenario.h"

#include "KLTestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

namespace e2e {

namespace {

const QString kSelfEmployee = QStringLiteral("E10001");

QJsonObject firstMeeting(const QJsonObject &scenario)
{
    return scenario.value(QLatin1String("meetings")).toArray().first().toObject();
}

void replaceFirstMeeting(QJsonObject &scenario, const QJsonObject &meeting)
{
    QJsonArray meetings = scenario.value(QLatin1String("meetings")).toArray();
    meetings.replace(0, meeting);
    scenario.insert(QLatin1String("meetings"), meetings);
}

void setField(QJsonObject &object, const char *section, const char *key, const QJsonValue &value)
{
    QJsonObject inner = object.value(QLatin1String(section)).toObject();
    inner.insert(QLatin1String(key), value);
    object.insert(QLatin1String(section), inner);
}

} // namespace

ScenarioEdit selfChairsTheMeeting()
{
    return [](QJsonObject &, QJsonObject &meeting) {
        setField(meeting, "meetingInfo", "masterEmpId", kSelfEmployee);
        setField(meeting, "appointmentDetail", "masterEmpId", kSelfEmployee);
        // A guest learns who chairs from its own member record in the meeting information.
        const QString self = meeting.value(QLatin1String("selfMemberUUID")).toString();
        QJsonArray members = meeting.value(QLatin1String("members")).toArray();
        for (qsizetype i = 0; i < members.size(); ++i) {
            QJsonObject member = members.at(i).toObject();
            if (member.value(QLatin1String("memberUUID")).toString() == self) {
                member.insert(QStringLiteral("masterEmpId"), kSelfEmployee);
                members.replace(i, member);
            }
        }
        meeting.insert(QStringLiteral("members"), members);
    };
}

ScenarioEdit silentMediaServer()
{
    // The signalling endpoint takes the WebSocket but has no answer for the media engine's
    // registration (it carries no request id), so the media connection never comes up.
    return [](QJsonObject &, QJsonObject &meeting) {
        setField(meeting, "meetingInfo", "rtcserverWsUrl",
                 QStringLiteral("wss://127.0.0.1:{{port}}/nimbrameeting/websocket/channelwithauth"));
    };
}

ScenarioEdit noRatingPageForInternalUsers()
{
    return [](QJsonObject &scenario, QJsonObject &) { setField(scenario, "clientConfig", "showRate", false); };
}

QString devicesWithoutMicrophone()
{
    return QStringLiteral(R"([{"id":"cam-1","name":"Camera","type":1},{"id":"spk-1","name":"Speakers","type":2}])");
}

void HostE2ETest::TearDown()
{
    host.reset();
    if (sim)
        sim->stop();
}

void HostE2ETest::startSimulator(const ScenarioEdit &edit)
{
    kelvosim::MeetingSimOptions options;
    if (edit) {
        QJsonObject scenario;
        QString error;
        ASSERT_TRUE(kelvosim::SimScenario::load(QString(), &scenario, &error)) << error.toStdString();
        QJsonObject joined = firstMeeting(scenario);
        edit(scenario, joined);
        replaceFirstMeeting(scenario, joined);
        ASSERT_TRUE(m_scenarioDir.isValid());
        options.scenarioPath = QDir(m_scenarioDir.path()).filePath(QStringLiteral("scenario.json"));
        QFile file(options.scenarioPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(scenario).toJson());
    }
    sim = std::make_unique<kelvosim::MeetingSim>(options);
    QString error;
    ASSERT_TRUE(sim->start(&error)) << error.toStdString();
    meeting = firstMeeting(sim->scenario());
}

QStringList HostE2ETest::baseArguments(const QString &workId) const
{
    QStringList arguments{QStringLiteral("--meeting-uuid"), meeting.value(QLatin1String("meetingUUID")).toString(),
                          QStringLiteral("--token"), meeting.value(QLatin1String("meetingToken")).toString(),
                          QStringLiteral("--domain"), QStringLiteral("127.0.0.1:%1").arg(sim->port()),
                          QStringLiteral("--ca-file"), sim->caFile(),
                          QStringLiteral("--meeting"), QStringLiteral("apiBaseUrl=") + sim->baseUrl(),
                          QStringLiteral("--meeting"), QStringLiteral("itMonitorBaseUrl=") + sim->baseUrl(),
                          QStringLiteral("--store"),
                          QStringLiteral("KEY_ACCESS_TOKEN=") + sim->scenario().value(QLatin1String("accessToken")).toString(),
                          QStringLiteral("--store"), QStringLiteral("KEY_WORK_ID=") + workId,
                          QStringLiteral("--events"), QStringLiteral("-"),
                          QStringLiteral("--control"), QStringLiteral("-"), QStringLiteral("--language"), QStringLiteral("en")};
    // The simulator's own media server speaks only to the built-in engine.
    if (!sim->janus())
        arguments << QStringLiteral("--meeting") << QStringLiteral("mediaEngine=builtin");
    return arguments;
}

QStringList HostE2ETest::hostArguments(const HostRun &run, bool drawn) const
{
    QStringList arguments = baseArguments(kSelfEmployee);
    if (!drawn)
        arguments << QStringLiteral("--headless");
    // Staff name themselves by employee number; guests by the member record they were invited as.
    if (run.internal)
        arguments << QStringLiteral("--internal") << QStringLiteral("--user-id") << kSelfEmployee;
    else
        arguments << QStringLiteral("--member-uuid") << selfUuid();
    return arguments + run.extraArguments;
}

void HostE2ETest::launchHost(const HostRun &run, bool drawn)
{
    if (!sim) {
        ASSERT_NO_FATAL_FAILURE(startSimulator());
    }
    host = std::make_unique<HostProcess>();
    ASSERT_TRUE(host->start(hostArguments(run, drawn), run.environment)) << "kelvo-host did not start";
}

void HostE2ETest::press(const QJsonObject &dialog, int button)
{
    host->send({{"cmd", "dialog"}, {"id", dialog.value(QLatin1String("id"))}, {"button", button}});
}

void HostE2ETest::awaitJoined()
{
    ASSERT_TRUE(await(typeIs(QStringLiteral("joined")))) << host->transcript();
}

void HostE2ETest::awaitOwnStreamPublished()
{
    const bool published = kltest::waitUntil([this] {
        const auto frames = sim->mediaFrames();
        return std::any_of(frames.cbegin(), frames.cend(), [](const kelvosim::SimMediaFrame &frame) {
            return frame.message.value(QLatin1String("type")).toString() == QLatin1String("publish");
        });
    }, HostProcess::kDeadlineMs);
    ASSERT_TRUE(published) << host->transcript();
}

void HostE2ETest::awaitMemberListRead()
{
    ASSERT_TRUE(await(userStatus(0, uuidOf(QStringLiteral("E10002"))))) << host->transcript();
}

void HostE2ETest::awaitSignallingRegistered(bool internal)
{
    // The simulator binds a connection to the meeting while it handles the register frame, and
    // pushes queued after that frame was recorded are sent after the binding.
    const auto isRegister = [internal](const kelvosim::SignallingFrame &frame) {
        if (internal)
            return frame.json.value(QLatin1String("body")).toObject().value(QLatin1String("eventId")).toInt() == 10001;
        return frame.json.value(QLatin1String("messageType")).toString() == QLatin1String("register");
    };
    const bool registered = kltest::waitUntil([&] {
        const auto frames = sim->signallingFrames();
        return std::any_of(frames.cbegin(), frames.cend(), isRegister);
    }, HostProcess::kDeadlineMs);
    ASSERT_TRUE(registered) << host->transcript();
}

void HostE2ETest::expectClosedAndExit(int code)
{
    ASSERT_TRUE(await(typeIs(QStringLiteral("closed")))) << host->transcript();
    ASSERT_TRUE(host->waitForExit()) << "the host did not end after \"closed\"" << host->transcript();
    EXPECT_EQ(host->exitCode(), code) << host->transcript();
    EXPECT_EQ(host->count(typeIs(QStringLiteral("closed"))), 1) << host->transcript();
    EXPECT_EQ(host->indexOf(typeIs(QStringLiteral("closed"))), host->events().size() - 1)
        << "nothing of the meeting may follow \"closed\"" << host->transcript();
}

QString HostE2ETest::cloudLogSettings() const
{
    const QJsonObject service = sim->scenario().value(QLatin1String("logService")).toObject();
    const QJsonObject info{{"project", service.value(QLatin1String("project"))},
                           {"logServiceEndpoint", service.value(QLatin1String("endpoint"))},
                           {"logstore", "meeting-track"},
                           {"logServiceAddress", QStringLiteral("127.0.0.1:%1").arg(sim->port())}};
    return QString::fromUtf8(QJsonDocument(info).toJson(QJsonDocument::Compact));
}

QString HostE2ETest::selfUuid() const
{
    return meeting.value(QLatin1String("selfMemberUUID")).toString();
}

QString HostE2ETest::uuidOf(const QString &empId) const
{
    for (const char *list : {"members", "rooms"}) {
        for (const QJsonValue &entry : meeting.value(QLatin1String(list)).toArray()) {
            if (entry.toObject().value(QLatin1String("empId")).toString() == empId)
                return entry.toObject().value(QLatin1String("memberUUID")).toString();
        }
    }
    return {};
}

} // namespace e2e
