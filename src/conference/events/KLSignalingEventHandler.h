#pragma once

// Turns the meeting service's signalling pushes (and the reply to the member-list request)
// into changes of the meeting: participants' call states, who is registered, local mute
// flags, notices, notifications for the views, the host's user events, and the hang-up when
// the local user is removed.
//
// The conference service owns one handler and forwards `handleKelvoSignalingMessage` to it.
// The handler reads and changes the meeting only through KLSignalingEventContext; its one
// piece of state is the offline-notification throttle.
//
// Threads: pushes arrive on the signal channel's queue, one at a time. The throttle's timer
// posts from the main thread.

#include "conference/events/KLSignalingEventContext.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>

class KLCallState;
class KLFeedClient;
class KLOfflineNotificationThrottle;
class KLToastManager;
struct KLSignalingMessage;

/// Event numbers of the pushes (the number at "data.body.eventId").
namespace KLSignalingEvent {
inline constexpr qint64 Ring = 0;
inline constexpr qint64 Online = 1;
inline constexpr qint64 Offline = 2;
inline constexpr qint64 AudioMuted = 3;
inline constexpr qint64 AudioUnmuted = 4;
inline constexpr qint64 Speaking = 5;
inline constexpr qint64 StoppedTalking = 6;
inline constexpr qint64 FloorChange = 7;
inline constexpr qint64 VideoMuted = 8;
inline constexpr qint64 VideoUnmuted = 9;
inline constexpr qint64 Kick = 10;
inline constexpr qint64 SummaryLine = 11;
inline constexpr qint64 MembersAdded = 20;
inline constexpr qint64 MembersDeleted = 21;
inline constexpr qint64 MemberList = 22;
inline constexpr qint64 MeetingDeleted = 25;
inline constexpr qint64 SummaryStarted = 26;
inline constexpr qint64 SummaryStopped = 27;
inline constexpr qint64 ProjectionAccepted = 28;
inline constexpr qint64 ProjectionRejected = 29;
inline constexpr qint64 ProjectionReceiveStarted = 30;
inline constexpr qint64 ProjectionReceiveEnded = 31;
inline constexpr qint64 ProjectionSendStarted = 32;
inline constexpr qint64 ProjectionSendEnded = 33;
inline constexpr qint64 ProjectionEnded = 34;
inline constexpr qint64 ProjectionAudioOpened = 35;
/// The member-list request's own number, which its reply carries: handled as MemberList.
inline constexpr qint64 MemberListReply = 10001;
/// A tips push ({"data": {"type": "tips", "body": {"eventId": 10002, "errorCode", ...}}}).
/// The channel hands the service only the body's number, so the push names itself there.
inline constexpr qint64 Tips = 10002;
} // namespace KLSignalingEvent

/// Host event codes of `onMeetingUserStatusChange`.
namespace KLMeetingUserEvent {
inline constexpr int Online = 0;
inline constexpr int Offline = 1;
inline constexpr int AudioMuted = 2;
inline constexpr int AudioUnmuted = 3;
inline constexpr int VideoMuted = 4;
inline constexpr int VideoUnmuted = 5;
inline constexpr int Speaking = 6;
inline constexpr int StoppedSpeaking = 7;
inline constexpr int FloorChange = 8;
} // namespace KLMeetingUserEvent

/// Collaborators a test may replace; empty members mean the process-wide ones.
struct KLSignalingEventHandlerOptions {
    /// The offline throttle's clock; the current time when empty.
    std::function<QDateTime()> now;
    /// Notices; KLToastManager::shared() when null.
    KLToastManager *toasts = nullptr;
};

class KLSignalingEventHandler : public std::enable_shared_from_this<KLSignalingEventHandler> {
public:
    /// A tips push whose "errorCode" is this is only logged.
    static constexpr qint64 kSilentTipsErrorCode = 5003;
    /// The leave reason of every forced end here (removed, kicked, meeting deleted).
    static constexpr int kHangupReasonRemoved = 0;

    /// The handler holds `context` weakly: once the meeting is gone, every call does nothing.
    static std::shared_ptr<KLSignalingEventHandler>
    create(std::weak_ptr<KLSignalingEventContext> context,
           KLSignalingEventHandlerOptions options = {});
    ~KLSignalingEventHandler();

    KLSignalingEventHandler(const KLSignalingEventHandler &) = delete;
    KLSignalingEventHandler &operator=(const KLSignalingEventHandler &) = delete;

    /// Dispatches one push by its event number; numbers without a meaning are ignored, and so
    /// are member events about members that are not registered.
    void handleKelvoSignalingMessage(const KLSignalingMessage &message);
    /// Logs `tips` and, unless its "errorCode" is 5003, posts "ToastMessageIncoming" with
    /// "message" = `tips`.
    void handleTipsMessage(const QJsonObject &tips);
    /// When the own desk phone and mobile phone are both in the meeting: mutes the own
    /// microphone locally and posts "SelfCellPhoneEnter".
    void checkExtensionAndCellPhoneOnlineStatus();
    /// Stops the offline throttle (the meeting is over).
    void stop();

    /// The offline-notification throttle (read by tests).
    KLOfflineNotificationThrottle &offlineThrottle() const { return *m_offlineThrottle; }

private:
    using Context = KLSignalingEventContext;
    using FeedPtr = std::shared_ptr<KLFeedClient>;
    using CallStatePtr = std::shared_ptr<KLCallState>;

    KLSignalingEventHandler(std::weak_ptr<KLSignalingEventContext> context,
                            KLSignalingEventHandlerOptions options);

    // Dispatch and shared helpers (KLSignalingEventHandler.cpp).
    std::shared_ptr<Context> context() const;
    KLToastManager &toasts() const;
    bool dispatchMemberEvent(Context &ctx, qint64 event, const QJsonObject &body,
                             const FeedPtr &member);
    bool dispatchMeetingEvent(Context &ctx, const KLSignalingMessage &message,
                              const QJsonObject &body, const FeedPtr &member);
    static void post(const Context &ctx, const QString &name, const QVariantMap &userInfo = {});
    static void postAboutClient(const Context &ctx, const QString &name, const FeedPtr &member);
    static void tellHost(Context &ctx, const FeedPtr &member, int event);
    static CallStatePtr newCallState(const QJsonObject &body);
    static CallStatePtr callStateOf(const FeedPtr &member);
    static void replaceCallState(const Context &ctx, const FeedPtr &member,
                                 const CallStatePtr &newState);
    static QJsonArray joinedMemberLists(const QJsonObject &body);
    void announceOffline(const FeedPtr &member);

    // Members coming and going (KLSignalingEventMembers.cpp).
    void handleRingMessage(Context &ctx, const FeedPtr &member);
    void handleOnlineMessage(Context &ctx, const QJsonObject &body, const FeedPtr &member);
    void markPhoneLegEntered(Context &ctx, const QJsonObject &body, const FeedPtr &member);
    void alignMuteFlagsOfOnlineMember(Context &ctx, const FeedPtr &member);
    void alignOwnMuteFlags(Context &ctx, const FeedPtr &own);
    void handleOfflineMessage(Context &ctx, const QJsonObject &body, const FeedPtr &member);
    bool ownCellPhoneLeft(Context &ctx, const QJsonObject &body, const FeedPtr &own);
    void markPhoneLegLeft(Context &ctx, const QJsonObject &body, const FeedPtr &member);
    void ownCellPhoneLeave(Context &ctx, const FeedPtr &own);
    void handleAddMemberMessage(Context &ctx, const QJsonObject &body);
    void handleDelMemberMessage(Context &ctx, const QJsonObject &body);
    void handleWssConnectMessage(Context &ctx, const QJsonObject &body);
    void checkFirstMemberList(Context &ctx);
    void checkRoomsToCall(Context &ctx);
    void handleDelConferenceMessage(Context &ctx);
    void checkExtensionAndCellPhoneOnlineStatus(Context &ctx);

    // Mute, video, speaking, floor and kick (KLSignalingEventMedia.cpp).
    void handleAudioMessage(Context &ctx, const QJsonObject &body, const FeedPtr &member,
                            bool muted);
    void handleVideoMessage(Context &ctx, const QJsonObject &body, const FeedPtr &member,
                            bool muted);
    void unmuteVideoOfMember(Context &ctx, const FeedPtr &member);
    void handleFloorChangeMessage(Context &ctx, const FeedPtr &member);
    void handleKickMemberMessage(Context &ctx, const FeedPtr &member);

    // Summary, projection and tips (KLSignalingEventSession.cpp).
    void handleMeetingSummaryMessage(Context &ctx, const QJsonObject &body,
                                     const FeedPtr &member);
    void handleSummarySwitch(Context &ctx, const QJsonObject &body, bool started);
    bool handleProjectionMessage(Context &ctx, qint64 event, const QJsonObject &body,
                                 const FeedPtr &member);
    void handleProjectionEnded(Context &ctx, const FeedPtr &member);
    void handleProjectionAudioOpened(Context &ctx);

    const std::weak_ptr<KLSignalingEventContext> m_context;
    const KLSignalingEventHandlerOptions m_options;
    std::shared_ptr<KLOfflineNotificationThrottle> m_offlineThrottle;
};
