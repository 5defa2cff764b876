#include "SoakCommon.h"

#include "SimScenario.h"

#include "conference/service/KLConferenceService.h"
#include "host/UserPersistentData.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "platform/KLFakePlatform.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>

namespace soak {

void say(const QString &line)
{
    std::printf("%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

bool SoakWorld::start(int members, int latencyMs, QString *error)
{
    QJsonObject scenario;
    if (!kelvosim::SimScenario::load({}, &scenario, error))
        return false;
    // The meeting of the default scenario, grown to `members` with made-up colleagues, half of
    // them online at the start.
    QJsonArray meetings = scenario.value("meetings").toArray();
    QJsonObject meeting = meetings.at(0).toObject();
    QJsonArray list = meeting.value("members").toArray();
    const QJsonObject model = list.at(1).toObject();
    for (int i = int(list.size()); i < members - 1; ++i) {
        QJsonObject member = model;
        member.insert("memberUUID", QStringLiteral("50AC0000-0000-4000-8000-%1").arg(i, 12, 10, QLatin1Char('0')));
        member.insert("memberId", 710000 + i);
        member.insert("empId", QStringLiteral("E2%1").arg(i, 4, 10, QLatin1Char('0')));
        member.insert("displayName", QStringLiteral("成员%1").arg(i));
        member.insert("displayNamePinYin", QStringLiteral("Cheng Yuan %1").arg(i));
        member.insert("email", QStringLiteral("member%1@kelvo.example").arg(i));
        QJsonObject state = member.value("callState").toObject();
        state.insert("online", i % 2);
        member.insert("callState", state);
        list.append(member);
    }
    // A second guest, known only by a phone number: unlike the scenario's guest (known by an
    // e-mail address, so never in the SDK's list) it is listed and goes online and offline.
    for (const QJsonValue &value : std::as_const(list)) {
        if (value["memberType"].toInt() != 3)
            continue;
        QJsonObject guest = value.toObject();
        guest.insert("memberUUID", QStringLiteral("50AC0000-0000-4000-9000-000000000001"));
        guest.insert("memberId", 719999);
        guest.insert("displayName", QStringLiteral("Phone Guest"));
        guest.insert("email", QString());
        guest.insert("cellPhone", QStringLiteral("+1 415 555 0199"));
        list.append(guest);
        break;
    }
    meeting.insert("members", list);
    meetings[0] = meeting;
    scenario.insert("meetings", meetings);

    // Every address the meeting hands out names the relay; the relay forwards to the simulator.
    m_proxy = std::make_unique<LatencyProxy>();
    if (latencyMs > 0 && !m_proxy->listen()) {
        *error = QStringLiteral("the latency relay cannot listen");
        return false;
    }
    QFile file(m_dir.filePath("soak-scenario.json"));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const quint16 advertised = latencyMs > 0 ? m_proxy->port() : 0;
    file.write(QJsonDocument(advertised ? kelvosim::SimScenario::substitute(scenario, advertised).toObject()
                                        : scenario).toJson());
    file.close();

    kelvosim::MeetingSimOptions options;
    options.scenarioPath = file.fileName();
    m_sim = std::make_unique<kelvosim::MeetingSim>(options);
    if (!m_sim->start(error))
        return false;
    if (latencyMs > 0)
        m_proxy->forwardTo(m_sim->port(), latencyMs);
    m_clientPort = advertised ? advertised : m_sim->port();
    m_meeting = m_sim->scenario().value("meetings").toArray().first().toObject();

    UserPersistentData &data = UserPersistentData::sharedInstance();
    data.writeAccessToken(m_sim->scenario().value("accessToken").toString());
    data.writeWorkId(QStringLiteral("E10001"));
    data.writeEnterAudioMuteFlag(false);
    data.writeEnterVideoMuteFlag(false);
    m_platform = std::make_shared<KLFakePlatform>();
    m_platform->setOsVersion(KLOSVersion{13, 0, 0});
    m_platform->setAuthorizationStatus(KLMediaType::Audio, KLAuthorizationStatusAuthorized);
    m_platform->setAuthorizationStatus(KLMediaType::Video, KLAuthorizationStatusAuthorized);
    m_platform->setHasVideoCaptureDevice(true);
    KLPlatform::install(m_platform);
    return true;
}

void SoakWorld::forgetRecords()
{
    m_sim->clearRequests();
    m_sim->clearMediaFrames();
    m_platform->clearCalls();
}

QString SoakWorld::selfUuid() const
{
    return m_meeting.value("selfMemberUUID").toString();
}

QStringList SoakWorld::otherMembers() const
{
    QStringList uuids;
    for (const QJsonValue &member : m_meeting.value("members").toArray())
        if (member["memberUUID"].toString() != selfUuid())
            uuids << member["memberUUID"].toString();
    return uuids;
}

QVariantMap SoakWorld::meetingDictionary() const
{
    const QString base = QStringLiteral("https://127.0.0.1:%1").arg(m_clientPort);
    return {{"meetingUUID", m_meeting.value("meetingUUID").toString()},
            {"memberUUID", selfUuid()},
            {"meetingToken", m_meeting.value("meetingToken").toString()},
            {"meetingDomain", QStringLiteral("127.0.0.1:%1").arg(m_clientPort)},
            {"apiBaseUrl", base},
            {"itMonitorBaseUrl", base},
            {"caFile", m_sim->caFile()},
            {"mediaEngine", "builtin"}, // the simulator's own media server
            {"vanInternal", false}};
}

std::shared_ptr<KLConferenceService> SoakWorld::makeService(std::shared_ptr<KLSDKMeetingEventDelegate> delegate,
                                                           std::shared_ptr<KLConferenceManagerDataSource> layout) const
{
    auto service = KLConferenceService::create(KLSDKMeetingConfigInternal::create(meetingDictionary()),
                                               std::move(delegate));
    service->setDataSource(layout);
    return service;
}

void CountingDelegate::onError(int code, const QString &reason)
{
    seen();
    ++errors;
    say(QStringLiteral("  delegate error %1 %2").arg(code).arg(reason));
}

void CountingDelegate::seen()
{
    if (closed.load())
        ++lateCalls;
}

void CountingDelegate::run(std::function<void()> &hook)
{
    std::function<void()> once;
    {
        std::lock_guard lock(m_mutex);
        once = std::exchange(hook, nullptr);
    }
    if (once)
        once();
}

} // namespace soak
