#pragma once

// The meeting-service operations the conference service and the views call. Two
// implementations carry them: KLSDKMeetingHTTPApi (signed HTTPS, internal staff) and the
// implementation over the signalling channel. Each operation ends in at most one call of its
// success or failure block; the implementations document which ones stay silent.

#include <QJsonArray>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class KLConferenceSignalChannel;
class KLParticipant;
class KLSDKMeetingConfigInternal;

/// Receives the reply's payload; undefined when the reply carried none.
using KLApiSuccessBlock = std::function<void(const QJsonValue &payload)>;
/// Receives the error code and message (either may be empty).
using KLApiFailureBlock = std::function<void(const QString &code, const QString &message)>;

using KLParticipantPtr = std::shared_ptr<KLParticipant>;
using KLMeetingConfigPtr = std::shared_ptr<KLSDKMeetingConfigInternal>;

class KLSDKMeetingApiProtocol {
public:
    virtual ~KLSDKMeetingApiProtocol() = default;

    /// Invites people and rooms: entries of member type 1 by employee id, 3 by e-mail and
    /// phones, 2 (rooms) by room id; other types are skipped.
    virtual void addMeetingMemberWithAppointment(const QJsonValue &appointmentId,
                                                 const QList<KLParticipantPtr> &memberList,
                                                 KLApiSuccessBlock success,
                                                 KLApiFailureBlock failure) = 0;
    virtual void getAppointmentDetailById(const QString &appointmentId, KLApiSuccessBlock success,
                                          KLApiFailureBlock failure) = 0;
    /// Audio mute of a participant (its appointment id, member UUID and member id).
    virtual void muteMemberWithAppointment(const KLParticipantPtr &appointment, bool status,
                                           KLApiSuccessBlock success,
                                           KLApiFailureBlock failure) = 0;
    /// Video mute of a participant.
    virtual void vmuteMemberWithAppointment(const KLParticipantPtr &appointment, bool status,
                                            KLApiSuccessBlock success,
                                            KLApiFailureBlock failure) = 0;
    virtual void findMemberWithKeywords(const QString &keyword, KLApiSuccessBlock success,
                                        KLApiFailureBlock failure) = 0;
    /// The meeting information; `iceServers` is the local ICE detection result, if any.
    virtual void getMeetingInfoWithConfig(const KLMeetingConfigPtr &config,
                                          const std::optional<QJsonObject> &iceServers,
                                          const QString &vanNames, KLApiSuccessBlock success,
                                          KLApiFailureBlock failure) = 0;
    virtual void callMeetingMemberWithAppointment(const KLParticipantPtr &appointment,
                                                  const QString &callNumber, const QString &type,
                                                  KLApiSuccessBlock success,
                                                  KLApiFailureBlock failure) = 0;
    /// Ends the meeting for everyone; nothing happens without an appointment id.
    virtual void finishAppointmentWithConfig(const KLMeetingConfigPtr &config,
                                             KLApiSuccessBlock success,
                                             KLApiFailureBlock failure) = 0;
    virtual void hangUpMeetingMemberWithAppointment(const KLParticipantPtr &appointment,
                                                    const QString &type,
                                                    KLApiSuccessBlock success,
                                                    KLApiFailureBlock failure) = 0;
    /// `rooms`: room ids joined with ",".
    virtual void getMeetingRoomStatusWithAppointment(const QJsonValue &appointmentId,
                                                     const QString &rooms,
                                                     KLApiSuccessBlock success,
                                                     KLApiFailureBlock failure) = 0;
    virtual void robRoomWithAppointment(const QJsonValue &appointmentId,
                                        const QString &memberUuid, KLApiSuccessBlock success,
                                        KLApiFailureBlock failure) = 0;
    virtual void openSummaryWithAppointment(const KLParticipantPtr &appointment,
                                            const QString &language, bool isTrain, bool sendMail,
                                            KLApiSuccessBlock success,
                                            KLApiFailureBlock failure) = 0;
    virtual void changeMemberSummaryLangWithAppointment(const KLParticipantPtr &appointment,
                                                        const QString &language,
                                                        KLApiSuccessBlock success,
                                                        KLApiFailureBlock failure) = 0;
    virtual void stopSummaryWithAppointment(const KLParticipantPtr &appointment,
                                            KLApiSuccessBlock success,
                                            KLApiFailureBlock failure) = 0;
    virtual void getCallInNumberByLetterWithSuccessBlock(KLApiSuccessBlock success,
                                                         KLApiFailureBlock failure) = 0;
    virtual void getClientConfigWithConfig(const KLMeetingConfigPtr &config,
                                           KLApiSuccessBlock success,
                                           KLApiFailureBlock failure) = 0;
    virtual void getClientSwitchConfigWithConfig(const KLMeetingConfigPtr &config,
                                                 KLApiSuccessBlock success,
                                                 KLApiFailureBlock failure) = 0;
    virtual void savePcJumpStatusWithUuid(const QString &uuid, const QString &random,
                                          KLApiSuccessBlock success,
                                          KLApiFailureBlock failure) = 0;
    virtual void getMeetingContactWithSuccessBlock(KLApiSuccessBlock success,
                                                   KLApiFailureBlock failure) = 0;
    virtual void getIceServerListWithConfig(const KLMeetingConfigPtr &config,
                                            KLApiSuccessBlock success,
                                            KLApiFailureBlock failure) = 0;
    virtual void getMeetingInfoByPassword(const QString &password, KLApiSuccessBlock success,
                                          KLApiFailureBlock failure) = 0;
    /// Tells the IT-monitoring service that a projector cast started or stopped.
    virtual void notifyItMonitorForMultiProjectorWithType(const QString &type,
                                                          const QString &projectId,
                                                          const QString &meetingId,
                                                          const QString &status,
                                                          KLApiSuccessBlock success,
                                                          KLApiFailureBlock failure) = 0;
    virtual void openAudioForMultiProjector(const QJsonValue &appointmentId,
                                            KLApiSuccessBlock success,
                                            KLApiFailureBlock failure) = 0;
    virtual void multiScreenRobRoomWithAppointmentId(const QJsonValue &appointmentId,
                                                     const QString &memberUuid, bool enableCall,
                                                     KLApiSuccessBlock success,
                                                     KLApiFailureBlock failure) = 0;
    virtual void getStartMultiScreenRoomStatusWithAppointmentId(const QJsonValue &appointmentId,
                                                                KLApiSuccessBlock success,
                                                                KLApiFailureBlock failure) = 0;
    virtual void shareMultiScreenMemberForMemberUuid(const QString &memberUuid,
                                                     const QJsonValue &type, bool enableShare,
                                                     bool enableCall, KLApiSuccessBlock success,
                                                     KLApiFailureBlock failure) = 0;
    virtual void shareMultiScreenAllWithAppointmentId(const QJsonValue &appointmentId,
                                                      const QJsonValue &type, bool enableShare,
                                                      bool enableCall, bool excludeMyself,
                                                      KLApiSuccessBlock success,
                                                      KLApiFailureBlock failure) = 0;
    virtual void addMemberMultiScreenAppointmentId(const QJsonValue &appointmentId,
                                                   bool startAudio, const QJsonArray &members,
                                                   KLApiSuccessBlock success,
                                                   KLApiFailureBlock failure) = 0;
    virtual void notifyMultiScreenWithAppointmentId(const QJsonValue &appointmentId,
                                                    const QString &memberUuid,
                                                    const QJsonValue &status,
                                                    KLApiSuccessBlock success,
                                                    KLApiFailureBlock failure) = 0;
    virtual void findUserAndRoomWithKey(const QString &key, KLApiSuccessBlock success,
                                        KLApiFailureBlock failure) = 0;

    /// Whether the network counts as reachable.
    virtual bool isNetWorkAvailable() const = 0;
    /// Hands over the signal channel (used by the implementation over signalling).
    virtual void setConferenceChannel(std::shared_ptr<KLConferenceSignalChannel> channel) = 0;
};
