#include "HostSimulator.h"

#include "MeetingSim.h"

#include <KelvoUISDK/KLUISDKMeetingConfigKeys.h>

#include <QJsonArray>

namespace kelvohost {

HostSimulator::HostSimulator() = default;
HostSimulator::~HostSimulator() = default;

bool HostSimulator::start(const QString &scenarioPath, QString *error, bool janus)
{
    kelvosim::MeetingSimOptions options;
    options.scenarioPath = scenarioPath;
    QString why;
    // KELVO_DEMO_MEDIA=simulated keeps the simulated media server: the pictures of the window
    // are taken that way, so that a machine without a microphone does not put its notice on all.
    if (janus && qEnvironmentVariable("KELVO_DEMO_MEDIA") == QLatin1String("simulated")) {
        janus = false;
        why = QStringLiteral("KELVO_DEMO_MEDIA=simulated");
    }
    options.janus = janus && kelvosim::SimJanus::installed(&why);
    if (!options.janus && !why.isEmpty())
        qWarning("kelvo-host: the meeting's media stay simulated (%s)", qPrintable(why));
    m_sim = std::make_unique<kelvosim::MeetingSim>(options);
    return m_sim->start(error);
}

namespace {

// The self member's employee number: the work id a host would have stored for its user.
QString selfWorkId(const QJsonObject &meeting)
{
    const QString self = meeting.value(QLatin1String("selfMemberUUID")).toString();
    for (const QJsonValue &member : meeting.value(QLatin1String("members")).toArray()) {
        if (member.toObject().value(QLatin1String("memberUUID")).toString() == self)
            return member.toObject().value(QLatin1String("empId")).toString();
    }
    return {};
}

} // namespace

void HostSimulator::completeOptions(HostOptions &options) const
{
    const QJsonObject scenario = m_sim->scenario();
    const QJsonObject meeting = scenario.value(QLatin1String("meetings")).toArray().first().toObject();
    const auto fill = [&options](const char *key, const QVariant &value) {
        if (!options.meeting.contains(QLatin1String(key)))
            options.meeting.insert(QLatin1String(key), value);
    };
    fill(KLSDKMeetingConfigMeetingUUID, meeting.value(QLatin1String("meetingUUID")).toString());
    if (!options.meeting.contains(QLatin1String(KLSDKMeetingConfigUserId)))
        fill(KLSDKMeetingConfigMemberUUID, meeting.value(QLatin1String("selfMemberUUID")).toString());
    fill(KLSDKMeetingConfigMeetingToken, meeting.value(QLatin1String("meetingToken")).toString());
    fill(KLSDKMeetingConfigMeetingDomain, QStringLiteral("127.0.0.1:%1").arg(m_sim->port()));
    fill(KLSDKMeetingConfigApiBaseUrl, m_sim->baseUrl());
    fill(KLSDKMeetingConfigItMonitorBaseUrl, m_sim->baseUrl());
    fill(KLSDKMeetingConfigCaFile, m_sim->caFile());
    // A scenario with a Janus media server names the WebRTC engine; without Janus the simulator
    // serves its own media server, which only the built-in engine speaks.
    if (scenario.contains(QLatin1String("mediaEngine")))
        fill(KLSDKMeetingConfigMediaEngine, scenario.value(QLatin1String("mediaEngine")).toString());
    else if (!m_sim->janus())
        fill(KLSDKMeetingConfigMediaEngine, QStringLiteral("builtin"));

    // The window's header and loading page show what a host would pass for this meeting.
    const auto show = [&options](const char *key, const QString &value) {
        if (!options.gui.contains(QLatin1String(key)) && !value.isEmpty())
            options.gui.insert(QLatin1String(key), value);
    };
    show(KLUISDKGuiConfigMeetingTopic,
         meeting.value(QLatin1String("appointmentDetail")).toObject().value(QLatin1String("appointmentName")).toString());
    QString code = QString::number(meeting.value(QLatin1String("appointmentId")).toInteger());
    for (qsizetype at = code.size() - 3; at > 0; at -= 3)
        code.insert(at, QLatin1Char(' '));
    show(KLUISDKGuiConfigMeetingCode, code == QLatin1String("0") ? QString() : code);

    // The store entries the user gave come later and so win.
    options.store.insert(options.store.begin(),
                         {{QStringLiteral("KEY_ACCESS_TOKEN"), scenario.value(QLatin1String("accessToken")).toString()},
                          {QStringLiteral("KEY_WORK_ID"), selfWorkId(meeting)}});
}

} // namespace kelvohost
