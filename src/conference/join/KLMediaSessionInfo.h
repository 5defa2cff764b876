#pragma once

// What the media engine is told about the meeting it joins, built from the meeting
// information: the business info (who joins which room, on which kind of media server), the
// registration info for the media signalling server, the cloud log's meeting context and the
// media connection's parameter. All builders are pure; KL_applyMeetingKindDefaults() and
// KLCloudLogMeetingContext::apply() are the only calls with effects.

#include "conference/join/KLMeetingInformation.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QtGlobal>

#include <memory>

class KLQLSLogger;
class KLRTCMediaSDK;

/// The business info of the media engine ("bizInfo"). Meetings on the conference media
/// servers join room "roomid" as a publisher ("bizType" "conference"); MCU meetings dial
/// "mcuAppointmentId" ("bizType" "mcu") with the member's extension, or its member UUID when
/// the extension's integer value is 0. Both carry the media sid `pallasSid`, the display name,
/// the emp id and the participant `uuid`, each as the empty text when unknown.
/// `conferenceMode` 1 (a projection receiver's screen) receives video from the start.
QJsonObject KL_initBizInfo(const KLMeetingInformation &info, qint64 conferenceMode,
                           const QString &uuid, const QString &pallasSid);

/// The media signalling registration info ("rtcWsInfo"): the server when the meeting
/// information names one, "shouldRegisterBack" true and "regInfo" with the room, zone and
/// member UUID. An internal user registers with the reply's token, an external one with the
/// meeting token of its configuration (the empty text when there is none). Keys whose value
/// the reply lacks are left out of "regInfo", the token excepted.
QJsonObject KL_initRtcWsRegInfo(const KLMeetingInformation &info, bool isVanInternal,
                                const QString &meetingToken);

/// An MCU meeting's bandwidth is managed by the MCU, so the engine's allocator is told to
/// ignore its own estimate (a process-wide default; `engine` null means the shared one).
/// Meetings on the conference media servers leave the engine alone.
void KL_applyMeetingKindDefaults(const KLMeetingInformation &info,
                                 std::shared_ptr<KLRTCMediaSDK> engine = nullptr);

/// The identities every cloud log record of the meeting carries.
struct KLCloudLogMeetingContext {
    QString conferenceId;
    QJsonValue roomId;
    QString memberUUID;
    QString empId;
    QString displayName;
    /// "pallasmeeting" or "mcumeeting".
    QString meetingType;
    QString sid;

    static KLCloudLogMeetingContext from(const QString &conferenceId,
                                         const KLMeetingInformation &info,
                                         const QString &pallasSid);
    /// Starts the meeting context on `logger`.
    void apply(KLQLSLogger &logger) const;
};

/// The projector options of the client configuration that travel in the connection parameter.
struct KLProjectorConnectionOptions {
    qint32 kMultiScreenPaceMultiplier = 0;
    bool disableAvSyncForMultiProjector = false;
    bool prefersLateDecodingForMultiProjector = false;
};

/// Everything createConnection needs besides the delegate.
struct KLConnectionParameters {
    QJsonObject connectionParam;
    int mode = 1;
    int transport = 0;
    bool openDataChannel = true;
    bool useSimulcast = true;
};

/// The media connection's parameter. Meetings (`conferenceMode` 0) carry the ICE servers, the
/// registration and business infos and open the data channel (chat travels on it); projector
/// runs add the multi-screen options and leave the data channel closed. Simulcast is used on
/// the conference media servers only (`isPallasMeeting`).
KLConnectionParameters KL_buildConnectionParam(qint64 conferenceMode,
                                               const QJsonArray &iceServers,
                                               const QJsonObject &rtcWsInfo,
                                               const QJsonObject &bizInfo, bool isPallasMeeting,
                                               const KLProjectorConnectionOptions &projector = {});
