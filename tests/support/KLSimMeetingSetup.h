#pragma once

// The set-up every simulator-backed suite shares: one simulator for the suite with the user
// signed in as a host would have left it (the scenario's access token, entry unmuted), a
// platform that grants capture, and the meeting dictionary of the scenario's first meeting.
// Header-only: the suites that use it link the simulator; the support library does not.

#include "MeetingSim.h"

#include "host/UserPersistentData.h"
#include "platform/KLFakePlatform.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QVariantMap>

#include <memory>

namespace kltest {

/// Starts the suite's simulator and signs the user in; null (with `error` set) when it cannot
/// start. `firstMeeting` receives the scenario's first meeting.
inline kelvosim::MeetingSim *startSuiteSimulator(QJsonObject *firstMeeting, QString *error,
                                                 const kelvosim::MeetingSimOptions &options = {})
{
    auto *sim = new kelvosim::MeetingSim(options);
    if (!sim->start(error)) {
        delete sim;
        return nullptr;
    }
    *firstMeeting = sim->scenario().value("meetings").toArray().first().toObject();
    UserPersistentData &data = UserPersistentData::sharedInstance();
    data.writeAccessToken(sim->scenario().value("accessToken").toString());
    data.writeWorkId(QStringLiteral("E10001"));
    data.writeEnterAudioMuteFlag(false);
    data.writeEnterVideoMuteFlag(false);
    return sim;
}

/// A platform that has a camera and grants microphone and camera, installed for the SDK.
inline std::shared_ptr<KLFakePlatform> installGrantingPlatform()
{
    auto platform = std::make_shared<KLFakePlatform>();
    platform->setOsVersion(KLOSVersion{13, 0, 0});
    platform->setAuthorizationStatus(KLMediaType::Audio, KLAuthorizationStatusAuthorized);
    platform->setAuthorizationStatus(KLMediaType::Video, KLAuthorizationStatusAuthorized);
    platform->setHasVideoCaptureDevice(true);
    KLPlatform::install(platform);
    return platform;
}

/// The meeting dictionary a host passes to join `meeting` on `sim`, over verified TLS. A
/// simulator without Janus serves its own media server, which only the built-in engine speaks.
inline QVariantMap simMeetingDictionary(const kelvosim::MeetingSim &sim, const QJsonObject &meeting,
                                        bool internal)
{
    return {{"meetingUUID", meeting.value("meetingUUID").toString()},
            {"mediaEngine", sim.janus() ? QStringLiteral("webrtc") : QStringLiteral("builtin")},
            {"memberUUID", meeting.value("selfMemberUUID").toString()},
            {"meetingToken", meeting.value("meetingToken").toString()},
            {"meetingDomain", QStringLiteral("127.0.0.1:%1").arg(sim.port())},
            {"apiBaseUrl", sim.baseUrl()},
            {"itMonitorBaseUrl", sim.baseUrl()},
            {"caFile", sim.caFile()},
            {"vanInternal", internal}};
}

} // namespace kltest
