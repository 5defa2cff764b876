#pragma once

// The meeting API over signed HTTPS, used for internal staff. Every operation is one
// form-encoded POST with the common and authentication parameters and the HMAC signing
// headers; completions run on the main thread.

#include "gateway/KLMeetingApiSigner.h"
#include "gateway/KLReachability.h"
#include "gateway/KLSDKMeetingApiProtocol.h"

#include <QJsonObject>

#include <atomic>
#include <memory>

struct KLHttpResult;

class KLSDKMeetingHTTPApi final : public KLSDKMeetingApiProtocol {
public:
    /// Requests go to the configuration's API base (its "apiBaseUrl", else the meeting
    /// domain), trusting its extra CA file. Starts watching reachability (`reachability`, or
    /// the system's when none is given); the network counts as unavailable until the first
    /// response or reachable report.
    explicit KLSDKMeetingHTTPApi(KLMeetingConfigPtr config,
                                 std::unique_ptr<KLReachability> reachability = nullptr,
                                 KLMeetingApiSigner signer = KLMeetingApiSigner());
    ~KLSDKMeetingHTTPApi() override;

    void addMeetingMemberWithAppointment(const QJsonValue &appointmentId,
                                         const QList<KLParticipantPtr> &memberList,
                                         KLApiSuccessBlock success,
                                         KLApiFailureBlock failure) override;
    void getAppointmentDetailById(const QString &appointmentId, KLApiSuccessBlock success,
                                  KLApiFailureBlock failure) override;
    void muteMemberWithAppointment(const KLParticipantPtr &appointment, bool status,
                                   KLApiSuccessBlock success, KLApiFailureBlock failure) override;
    void vmuteMemberWithAppointment(const KLParticipantPtr &appointment, bool status,
                                    KLApiSuccessBlock success, KLApiFailureBlock failure) override;
    void findMemberWithKeywords(const QString &keyword, KLApiSuccessBlock success,
                                KLApiFailureBlock failure) override;
    void getMeetingInfoWithConfig(const KLMeetingConfigPtr &config,
                                  const std::optional<QJsonObject> &iceServers,
                                  const QString &vanNames, KLApiSuccessBlock success,
                                  KLApiFailureBlock failure) override;
    void callMeetingMemberWithAppointment(const KLParticipantPtr &appointment,
                                          const QString &callNumber, const QString &type,
                                          KLApiSuccessBlock success,
                                          KLApiFailureBlock failure) override;
    void finishAppointmentWithConfig(const KLMeetingConfigPtr &config, KLApiSuccessBlock success,
                                     KLApiFailureBlock failure) override;
    void hangUpMeetingMemberWithAppointment(const KLParticipantPtr &appointment,
                                            const QString &type, KLApiSuccessBlock success,
                                            KLApiFailureBlock failure) override;
    void getMeetingRoomStatusWithAppointment(const QJsonValue &appointmentId, const QString &rooms,
                                             KLApiSuccessBlock success,
                                             KLApiFailureBlock failure) override;
    void robRoomWithAppointment(const QJsonValue &appointmentId, const QString &memberUuid,
                                KLApiSuccessBlock success, KLApiFailureBlock failure) override;
    void openSummaryWithAppointment(const KLParticipantPtr &appointment, const QString &language,
                                    bool isTrain, bool sendMail, KLApiSuccessBlock success,
                                    KLApiFailureBlock failure) override;
    void changeMemberSummaryLangWithAppointment(const KLParticipantPtr &appointment,
                                                const QString &language,
                                                KLApiSuccessBlock success,
                                                KLApiFailureBlock failure) override;
    void stopSummaryWithAppointment(const KLParticipantPtr &appointment,
                                    KLApiSuccessBlock success, KLApiFailureBlock failure) override;
    void getCallInNumberByLetterWithSuccessBlock(KLApiSuccessBlock success,
                                                 KLApiFailureBlock failure) override;
    void getClientConfigWithConfig(const KLMeetingConfigPtr &config, KLApiSuccessBlock success,
                                   KLApiFailureBlock failure) override;
    void getClientSwitchConfigWithConfig(const KLMeetingConfigPtr &config,
                                         KLApiSuccessBlock success,
                                         KLApiFailureBlock failure) override;
    void savePcJumpStatusWithUuid(const QString &uuid, const QString &random,
                                  KLApiSuccessBlock success, KLApiFailureBlock failure) override;
    void getMeetingContactWithSuccessBlock(KLApiSuccessBlock success,
                                           KLApiFailureBlock failure) override;
    void getIceServerListWithConfig(const KLMeetingConfigPtr &config, KLApiSuccessBlock success,
                                    KLApiFailureBlock failure) override;
    void getMeetingInfoByPassword(const QString &password, KLApiSuccessBlock success,
                                  KLApiFailureBlock failure) override;
    void notifyItMonitorForMultiProjectorWithType(const QString &type, const QString &projectId,
                                                  const QString &meetingId, const QString &status,
                                                  KLApiSuccessBlock success,
                                                  KLApiFailureBlock failure) override;
    void openAudioForMultiProjector(const QJsonValue &appointmentId, KLApiSuccessBlock success,
                                    KLApiFailureBlock failure) override;
    void multiScreenRobRoomWithAppointmentId(const QJsonValue &appointmentId,
                                             const QString &memberUuid, bool enableCall,
                                             KLApiSuccessBlock success,
                                             KLApiFailureBlock failure) override;
    void getStartMultiScreenRoomStatusWithAppointmentId(const QJsonValue &appointmentId,
                                                        KLApiSuccessBlock success,
                                                        KLApiFailureBlock failure) override;
    void shareMultiScreenMemberForMemberUuid(const QString &memberUuid, const QJsonValue &type,
                                             bool enableShare, bool enableCall,
                                             KLApiSuccessBlock success,
                                             KLApiFailureBlock failure) override;
    void shareMultiScreenAllWithAppointmentId(const QJsonValue &appointmentId,
                                              const QJsonValue &type, bool enableShare,
                                              bool enableCall, bool excludeMyself,
                                              KLApiSuccessBlock success,
                                              KLApiFailureBlock failure) override;
    void addMemberMultiScreenAppointmentId(const QJsonValue &appointmentId, bool startAudio,
                                           const QJsonArray &members, KLApiSuccessBlock success,
                                           KLApiFailureBlock failure) override;
    void notifyMultiScreenWithAppointmentId(const QJsonValue &appointmentId,
                                            const QString &memberUuid, const QJsonValue &status,
                                            KLApiSuccessBlock success,
                                            KLApiFailureBlock failure) override;
    void findUserAndRoomWithKey(const QString &key, KLApiSuccessBlock success,
                                KLApiFailureBlock failure) override;

    bool isNetWorkAvailable() const override;
    /// This implementation does not use the channel.
    void setConferenceChannel(std::shared_ptr<KLConferenceSignalChannel> channel) override;

    /// The request pipeline: final parameters, signing headers, POST of `path` relative to the
    /// API base. Completions (exactly one block, or the "NetWorkUnAvaliable" notification)
    /// arrive on the main thread.
    void httpPostRequestFunction(const QString &path, const QJsonObject &params,
                                 KLApiSuccessBlock success, KLApiFailureBlock failure);

    /// State the completions share; they may outlive the object.
    struct Shared {
        std::atomic<bool> netWorkAvaliable{false};
        QString apiBaseUrl;
        QString itMonitorBaseUrl;
        QString caFile;
    };

private:
    void startReachability(std::unique_ptr<KLReachability> reachability);
    QString workId() const;

    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<KLReachability> m_reachability;
    KLMeetingApiSigner m_signer;
};
