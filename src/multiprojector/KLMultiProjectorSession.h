#pragma once

// The multi-projector window's controller logic, without widgets: it starts the meeting in
// mode 1, is the meeting's data source, and decides what every end path, the audio meeting,
// the calls and the title do. The window draws what it is told through KLMultiProjectorView;
// dialogs and tips go through the shared dialog queue and toast manager; the host hears of the
// session through the host pipe (KLMessageMode).
//
// Threads: every entry point may be called from any thread; the work moves to the main thread,
// where all of the session's state lives. Meeting-service answers are handled there too.

#include "conference/registry/KLConferenceManagerDataSource.h"

#include <QJsonObject>
#include <QString>

#include <functional>
#include <memory>

class KLConferenceService;
class KLMessageMode;
class KLMultiProjectorContext;
class KLMultiProjectorView;
class KLSDKMeetingConfigInternal;
class KLTimer;
struct KLNotification;

/// Where the host hears of the session. Defaults: the shared host pipe and
/// KLHostUtils::closeApp.
struct KLMultiProjectorHostHooks {
    KLMessageMode *messages = nullptr;
    std::function<void()> closeApp;
};

class KLMultiProjectorSession final
    : public KLConferenceManagerDataSource,
      public std::enable_shared_from_this<KLMultiProjectorSession> {
public:
    /// The window's four parameters, plus an optional meeting configuration (API and service
    /// bases, CA file); without one the service makes an internal user's configuration.
    struct Options {
        QString conferenceId;
        /// "sender" makes a sender; anything else a receiver.
        QString clientMode;
        bool withAudio = false;
        QString projectId;
        std::shared_ptr<KLSDKMeetingConfigInternal> meetingConfig;
    };
    using HostHooks = KLMultiProjectorHostHooks;

    /// A sender closes the app this long after telling the host its cast ended.
    static constexpr double kSenderCloseDelaySeconds = 2.0;
    /// A dialog announcing the end closes the app by itself after this long.
    static constexpr double kEndDialogCloseSeconds = 20.0;
    /// After leaving full screen the window hides this much later.
    static constexpr double kHideAfterFullScreenSeconds = 1.0;

    static bool isSenderMode(const QString &clientMode);
    /// Creates the conference service in mode 1, becomes its data source and joins.
    static std::shared_ptr<KLMultiProjectorSession> start(const Options &options,
                                                          std::shared_ptr<KLMultiProjectorView> view,
                                                          HostHooks hooks = {});
    /// A session over a meeting that is already set up (not joined here).
    static std::shared_ptr<KLMultiProjectorSession> create(std::shared_ptr<KLMultiProjectorContext> context,
                                                           std::shared_ptr<KLMultiProjectorView> view,
                                                           HostHooks hooks = {});
    ~KLMultiProjectorSession() override;
    KLMultiProjectorSession(const KLMultiProjectorSession &) = delete;
    KLMultiProjectorSession &operator=(const KLMultiProjectorSession &) = delete;

    /// The meeting made by `start`; null for a session made with `create`.
    std::shared_ptr<KLConferenceService> service() const { return m_service; }
    bool isSender() const;

    // --- Data source of the meeting ---------------------------------------------------------
    void enterRoomSuccess() override;
    void refreshRoom() override {}
    void leaveRoomWithReason(int reason) override;
    void clientRendererViewOnMainScreen(const std::shared_ptr<KLFeedClient> &) override {}
    void clientRendererViewOnSmallScreen() override {}
    void updateRendererViewContent(const std::shared_ptr<KLFeedClient> &) override {}
    std::shared_ptr<KLRTCMediaVideoRenderView>
    rendererViewForClient(const std::shared_ptr<KLFeedClient> &) override { return nullptr; }
    std::shared_ptr<KLRTCMediaVideoRenderView>
    previewRendererViewForClient(const std::shared_ptr<KLFeedClient> &) override { return nullptr; }

    // --- User actions (each is written to the host's action log) ---------------------------
    void shareBarStopSharePressed();
    void shareBarOpenAudioPressed();
    void viewerClosePressed();
    void viewerMemberPressed();
    /// The share bar was laid out; the first time starts a sender's call flow and its tip.
    void shareBarDidReset();
    /// The application lost focus: a sender's window hides.
    void applicationDidResignActive();
    /// The window is closing: the meeting is left and the app closed.
    void windowWillClose();

    // --- Host and system events (also driven by their notifications) ----------------------
    void stopShareFromHost();
    void systemWillSleep();
    void desktopSharingStarted();
    void inviteSucceeded(bool withAudio);
    void appointmentDetailArrived(const QString &meetingName);
    /// Re-runs the title rule and the share bar state.
    void refreshTitle();

    /// Main-thread reads.
    bool isSleepStage() const { return m_isSleepStage; }
    QString mprojectorTitle() const { return m_mprojectorTitle; }

    /// The message pair sent to the host when the system sleeps.
    static QJsonObject sleepMessages();

private:
    KLMultiProjectorSession(std::shared_ptr<KLMultiProjectorContext> context,
                            std::shared_ptr<KLMultiProjectorView> view, HostHooks hooks);
    void observeNotifications();
    void onMain(std::function<void(KLMultiProjectorSession &)> work);

    // Reports (KLMultiProjectorSessionReports.cpp).
    void actionLog(const QString &button) const;
    void commitRecord(int level, int group, const QJsonObject &record) const;
    void reportItMonitorEnd() const;
    void reportStatus(int status, std::function<void()> then = {});
    void stopShareToQls(bool stopAll) const;
    void endCastForMembers(const QString &uuids, bool enableCall, std::function<void()> then);
    bool isSharing() const;
    QString ownUuid() const;

    // End paths (KLMultiProjectorSessionStop.cpp).
    void showStopDialog();
    void endCast(const QString &uuids, bool withCalls);
    void pauseCast();
    void finishCast();
    void leaveAndClose();
    void closeSoon(double seconds);
    void closeStep();
    void showEndDialog(const QString &messageKey, std::function<void()> onPress);
    void sleepWhileCasting();
    void sleepWhileWatching();

    // Audio meeting and calls (KLMultiProjectorSessionCalls.cpp).
    void openAudioThenCall();
    void audioMeetingOpened();
    void showCallDialog();
    void callAllMember(bool withSelf);
    void showTip(const QString &text) const;
    void askBusyRooms();
    void busyRoomsArrived(const QJsonValue &payload);

    std::shared_ptr<KLMultiProjectorContext> m_context;
    std::shared_ptr<KLMultiProjectorView> m_view;
    std::shared_ptr<KLConferenceService> m_service;
    KLMessageMode *m_messages;
    std::function<void()> m_closeApp;

    // Main thread only.
    bool m_isSleepStage = false;
    bool m_shareBarWasReset = false;
    bool m_closeStepDone = false;
    QString m_mprojectorTitle;
    std::unique_ptr<KLTimer> m_closeTimer;
    std::unique_ptr<KLTimer> m_hideTimer;
};
