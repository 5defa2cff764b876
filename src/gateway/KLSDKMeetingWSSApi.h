#pragma once

// The meeting API carried over the signal channel, for meetings that are not of the internal
// kind. A few operations travel as "meeting_control" requests; the others are not carried and
// stay silent (no request, no block). Blocks run on the signal channel's transport queue;
// callers that touch the interface move to the main thread themselves.

#include "gateway/KLReachability.h"
#include "gateway/KLSDKMeetingApiProtocol.h"

#include <QJsonObject>

#include <atomic>
#include <memory>
#include <mutex>

class KLSDKMeetingWSSApi final : public KLSDKMeetingApiProtocol {
public:
    /// Starts watching reachability (`reachability`, or the system's when none is given).
    explicit KLSDKMeetingWSSApi(std::unique_ptr<KLReachability> reachability = nullptr);
    ~KLSDKMeetingWSSApi() override;

    void addMeetingMemberWithAppointment(const QJsonValue &, const QList<KLParticipantPtr> &,
                                         KLApiSuccessBlock, KLApiFailureBlock) override {}
    void getAppointmentDetailById(const QString &, KLApiSuccessBlock, KLApiFailureBlock) override {}
    void muteMemberWithAppointment(const KLParticipantPtr &appointment, bool status,
                                   KLApiSuccessBlock success, KLApiFailureBlock failure) override;
    void vmuteMemberWithAppointment(const KLParticipantPtr &appointment, bool status,
                                    KLApiSuccessBlock success, KLApiFailureBlock failure) override;
    void findMemberWithKeywords(const QString &, KLApiSuccessBlock, KLApiFailureBlock) override {}
    void getMeetingInfoWithConfig(const KLMeetingConfigPtr &config,
                                  const std::optional<QJsonObject> &iceServers,
                                  const QString &vanNames, KLApiSuccessBlock success,
                                  KLApiFailureBlock failure) override;
    void callMeetingMemberWithAppointment(const KLParticipantPtr &, const QString &,
                                          const QString &, KLApiSuccessBlock,
                                          KLApiFailureBlock) override {}
    void finishAppointmentWithConfig(const KLMeetingConfigPtr &config, KLApiSuccessBlock success,
                                     KLApiFailureBlock failure) override;
    void hangUpMeetingMemberWithAppointment(const KLParticipantPtr &appointment,
                                            const QString &type, KLApiSuccessBlock success,
                                            KLApiFailureBlock failure) override;
    void getMeetingRoomStatusWithAppointment(const QJsonValue &, const QString &,
                                             KLApiSuccessBlock, KLApiFailureBlock) override {}
    void robRoomWithAppointment(const QJsonValue &, const QString &, KLApiSuccessBlock,
                                KLApiFailureBlock) override {}
    void openSummaryWithAppointment(const KLParticipantPtr &, const QString &, bool, bool,
                                    KLApiSuccessBlock, KLApiFailureBlock) override {}
    void changeMemberSummaryLangWithAppointment(const KLParticipantPtr &, const QString &,
                                                KLApiSuccessBlock, KLApiFailureBlock) override {}
    void stopSummaryWithAppointment(const KLParticipantPtr &, KLApiSuccessBlock,
                                    KLApiFailureBlock) override {}
    void getCallInNumberByLetterWithSuccessBlock(KLApiSuccessBlock, KLApiFailureBlock) override {}
    void getClientConfigWithConfig(const KLMeetingConfigPtr &config, KLApiSuccessBlock success,
                                   KLApiFailureBlock failure) override;
    void getClientSwitchConfigWithConfig(const KLMeetingConfigPtr &config,
                                         KLApiSuccessBlock success,
                                         KLApiFailureBlock failure) override;
    void savePcJumpStatusWithUuid(const QString &, const QString &, KLApiSuccessBlock,
                                  KLApiFailureBlock) override {}
    void getMeetingContactWithSuccessBlock(KLApiSuccessBlock, KLApiFailureBlock) override {}
    void getIceServerListWithConfig(const KLMeetingConfigPtr &config, KLApiSuccessBlock success,
                                    KLApiFailureBlock failure) override;
    void getMeetingInfoByPassword(const QString &, KLApiSuccessBlock, KLApiFailureBlock) override {}
    void notifyItMonitorForMultiProjectorWithType(const QString &, const QString &,
                                                  const QString &, const QString &,
                                                  KLApiSuccessBlock, KLApiFailureBlock) override {}
    void openAudioForMultiProjector(const QJsonValue &, KLApiSuccessBlock,
                                    KLApiFailureBlock) override {}
    void multiScreenRobRoomWithAppointmentId(const QJsonValue &, const QString &, bool,
                                             KLApiSuccessBlock, KLApiFailureBlock) override {}
    void getStartMultiScreenRoomStatusWithAppointmentId(const QJsonValue &, KLApiSuccessBlock,
                                                        KLApiFailureBlock) override {}
    void shareMultiScreenMemberForMemberUuid(const QString &, const QJsonValue &, bool, bool,
                                             KLApiSuccessBlock, KLApiFailureBlock) override {}
    void shareMultiScreenAllWithAppointmentId(const QJsonValue &, const QJsonValue &, bool, bool,
                                              bool, KLApiSuccessBlock,
                                              KLApiFailureBlock) override {}
    void addMemberMultiScreenAppointmentId(const QJsonValue &, bool, const QJsonArray &,
                                           KLApiSuccessBlock, KLApiFailureBlock) override {}
    void notifyMultiScreenWithAppointmentId(const QJsonValue &, const QString &,
                                            const QJsonValue &, KLApiSuccessBlock,
                                            KLApiFailureBlock) override {}
    void findUserAndRoomWithKey(const QString &, KLApiSuccessBlock, KLApiFailureBlock) override {}

    bool isNetWorkAvailable() const override;
    void setConferenceChannel(std::shared_ptr<KLConferenceSignalChannel> channel) override;

    /// The common routine: a "meeting_control" request with `messageType` and `params`. A reply
    /// with response true and code 200 passes its data to `success`; anything else (an expired
    /// request included, code -1) is recorded and passed to `failure` as the code's decimal
    /// text and the message. Without a channel nothing is sent.
    void request(const QString &messageType, const QJsonObject &params, KLApiSuccessBlock success,
                 KLApiFailureBlock failure);

    /// "linux/pc/<architecture>" in lower case: the model text the service keys its client
    /// configuration on.
    static QString modelInfo();

private:
    std::shared_ptr<std::atomic<bool>> m_netWorkAvaliable;
    std::unique_ptr<KLReachability> m_reachability;
    mutable std::mutex m_mutex;
    std::shared_ptr<KLConferenceSignalChannel> m_conferenceSignalChannel;
};
