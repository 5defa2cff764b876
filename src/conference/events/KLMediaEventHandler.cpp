// Dispatch of the engine's connection events, the collaborators every concern shares, and the
// two entry steps: connected (what to publish) and media path up (the meeting is entered).
#include "conference/events/KLMediaEventHandler.h"

#include "cloudlog/KLQLSLogger.h"
#include "conference/registry/KLFeedClient.h"
#include "gateway/KLSDKMeetingApiProtocol.h"
#include "host/KLMessageMode.h"
#include "host/UserPersistentData.h"
#include "media/KLRTCMediaConnection.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLDictionary.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLSDKLog.h"

namespace {
const QString kTag = QStringLiteral("KLMediaEventHandler");

// What a multi-projector sender tells the host before the app closes.
QJsonObject hostErrorMessages(int code)
{
    if (code == KLMediaEventHandler::kHostErrorConnectFailed) {
        return {{QStringLiteral("errorMsgEn"),
                 QStringLiteral("Failed to connect to the server, please try it again.")},
                {QStringLiteral("errorMsgZh"), QStringLiteral("链接投屏服务失败，请重新投屏。")}};
    }
    // The host shows this text as it is; the no-break spaces keep its line breaks where the
    // host's translators placed them.
    return {{QStringLiteral("errorMsgEn"),
             QStringLiteral("The network is disconnect, please\u00A0check\u00A0your network "
                            "settings\u00A0and\u00A0retry")},
            {QStringLiteral("errorMsgZh"),
             QStringLiteral("投屏连接断开，请检查网络连接后重新投屏。")}};
}
} // namespace

std::shared_ptr<KLMediaEventHandler>
KLMediaEventHandler::create(std::weak_ptr<KLMediaEventContext> context,
                            KLMediaEventHandlerOptions options)
{
    return std::shared_ptr<KLMediaEventHandler>(
        new KLMediaEventHandler(std::move(context), std::move(options)));
}

KLMediaEventHandler::KLMediaEventHandler(std::weak_ptr<KLMediaEventContext> context,
                                         KLMediaEventHandlerOptions options)
    : m_context(std::move(context)), m_options(std::move(options))
{
}

// ---- Collaborators ----------------------------------------------------------------------

std::shared_ptr<KLMediaEventContext> KLMediaEventHandler::context() const
{
    auto ctx = m_context.lock();
    if (!ctx)
        KL_LOG_WARN(kTag, QStringLiteral("the meeting is gone; media callback dropped"));
    return ctx;
}

QDateTime KLMediaEventHandler::now() const
{
    return m_options.now ? m_options.now() : QDateTime::currentDateTimeUtc();
}

KLMessageMode &KLMediaEventHandler::hostMessages() const
{
    return m_options.hostMessages ? *m_options.hostMessages : KLMessageMode::sharedInstance();
}

KLToastManager &KLMediaEventHandler::toasts() const
{
    return m_options.toasts ? *m_options.toasts : KLToastManager::shared();
}

void KLMediaEventHandler::commitRecord(int level, int group, const QJsonObject &record)
{
    KLQLSLogger::sharedInstance().commitMonitorLevel(level, group, record);
}

QJsonObject KLMediaEventHandler::recordWithInfo(const QString &value, const QJsonObject &info)
{
    // The engine's details ride along, but the record always names its own event.
    QJsonObject record = info;
    record.insert(QStringLiteral("value"), value);
    return record;
}

void KLMediaEventHandler::post(const Context &ctx, const QString &name, const QVariantMap &userInfo)
{
    KLNotificationCenter::defaultCenter().postNotification(name, ctx.notificationObject(),
                                                           userInfo);
}

bool KLMediaEventHandler::isMultiProjectorSender(const Context &ctx)
{
    return ctx.conferenceMode() == 1 && !ctx.multiProjectorReceive();
}

QString KLMediaEventHandler::appointmentIdText(const Context &ctx)
{
    const QJsonValue id = ctx.appointmentId();
    return id.isString() ? id.toString() : KL_integerText(id);
}

bool KLMediaEventHandler::hasEntered(const Context &ctx) const
{
    return ctx.enterRoomSuccess() || m_mediaPathWasUp.load();
}

void KLMediaEventHandler::reportToHostAndCloseApp(Context &ctx, int code)
{
    KL_LOG_ERROR(kTag, QStringLiteral("multi-projector sender gives up with host code %1").arg(code));
    hostMessages().notifyErrorStatus(code, hostErrorMessages(code));
    ctx.closeApp();
}

// ---- Dispatch ---------------------------------------------------------------------------

void KLMediaEventHandler::handleConnectionEvent(int event, const KLRTCMediaEventInfo &info)
{
    auto ctx = context();
    if (!ctx)
        return;
    const QJsonObject dict = info.dictionary();
    switch (event) {
    case KLRTCMediaEventConnected:
        handleConnected(*ctx);
        ctx->onMeetingJoined();
        break;
    case KLRTCMediaEventWebrtcUp: handleWebrtcUp(*ctx); break;
    case KLRTCMediaEventIceFailed: iceFailed(*ctx, dict); break;
    case KLRTCMediaEventSignalError: mediaSignalError(*ctx, dict); break;
    case KLRTCMediaEventStreamAdded: streamAdded(*ctx, info.stream); break;
    case KLRTCMediaEventStreamRemoved: streamGone(*ctx, info.stream, false); break;
    case KLRTCMediaEventStreamSubscribed: streamSubscribed(*ctx, info.stream); break;
    case KLRTCMediaEventStreamUnsubscribed: streamGone(*ctx, info.stream, true); break;
    case KLRTCMediaEventServerVideoOn:
    case KLRTCMediaEventServerVideoOff:
        serverVideoChanged(*ctx, info.streamId.value_or(QString()),
                           event == KLRTCMediaEventServerVideoOn);
        break;
    case KLRTCMediaEventNetworkGrade: networkGrade(*ctx, dict); break;
    case KLRTCMediaEventWeakNetwork: weakNetwork(*ctx, dict); break;
    case KLRTCMediaEventDataChannelMessage: dataChannelMessage(*ctx, dict); break;
    case KLRTCMediaEventHangupCause: hangupCause(*ctx, dict); break;
    case KLRTCMediaEventConnectionReleased:
        KL_LOG_INFO(kTag, QStringLiteral("the engine released the media connection"));
        ctx->dropMediaConnection();
        break;
    case KLRTCMediaEventMediaSignalingError: mediaSignalingError(*ctx, dict); break;
    case KLRTCMediaEventMediaSignalingState: mediaSignalingState(*ctx, dict); break;
    case KLRTCMediaEventIceGatheringStage: iceGatheringStage(info); break;
    case KLRTCMediaEventMediaSessionId: mediaSessionId(dict); break;
    default:
        KL_LOG_DEBUG(kTag, QStringLiteral("connection event %1 ignored").arg(event));
        break;
    }
}

// ---- Connected: what the meeting publishes -------------------------------------------------

void KLMediaEventHandler::handleConnected()
{
    if (auto ctx = context())
        handleConnected(*ctx);
}

void KLMediaEventHandler::handleConnected(Context &ctx)
{
    KL_LOG_INFO(kTag, QStringLiteral("media connection connected"));
    ctx.muteSpeaker(false);
    if (ctx.conferenceMode() == 1)
        publishMultiProjectorStream(ctx);
    else
        createCameraAndMicrophoneStream(ctx);
}

void KLMediaEventHandler::publishMultiProjectorStream(Context &ctx)
{
    // A receiver has nothing to show, and a refresh only restores a share that existed.
    const bool refreshing = ctx.isRefreshStage();
    const bool placeholderOnly = (ctx.multiProjectorReceive() && !refreshing)
                                 || (refreshing && !ctx.isSelfShareForMultiProjector());
    if (placeholderOnly)
        ctx.noAudioVideoStream();
    else
        ctx.desktopShare();
}

void KLMediaEventHandler::createCameraAndMicrophoneStream(Context &ctx)
{
    QJsonObject media{{QStringLiteral("audio"), true}};
    QJsonObject record{{QStringLiteral("value"), QStringLiteral("deviceSelected")}};

    if (ctx.isVideoMeeting() && ctx.cameraCount() > 0) {
        media.insert(QStringLiteral("video"), true);
        const auto camera = ctx.currentVideoInput();
        if (camera && !camera->deviceId.isEmpty()) {
            media.insert(QStringLiteral("cameraId"), camera->deviceId);
            record.insert(QStringLiteral("cameraId"), camera->deviceId);
            record.insert(QStringLiteral("cameraName"), KL_textOrEmpty(camera->deviceName));
            record.insert(QStringLiteral("cameraTransportType"), camera->transportType);
        }
        media.insert(QStringLiteral("vWidth"), 1280);
        media.insert(QStringLiteral("vHeight"), 720);
        const bool beauty = beautyEnabled(ctx);
        media.insert(QStringLiteral("KLRTCMedia-Video-Beauty"), beauty);
        if (beauty) {
            commitRecord(3, 1, {{QStringLiteral("value"), QStringLiteral("beautyAction")},
                                {QStringLiteral("status"), QStringLiteral("open")},
                                {QStringLiteral("stage"), QStringLiteral("entermeeting")}});
        }
    }
    if (const auto mic = ctx.currentAudioInput()) {
        media.insert(QStringLiteral("micId"), KL_textOrEmpty(mic->deviceId));
        record.insert(QStringLiteral("micId"), KL_textOrEmpty(mic->deviceId));
        record.insert(QStringLiteral("micName"), KL_textOrEmpty(mic->deviceName));
        record.insert(QStringLiteral("micTransportType"), mic->transportType);
    }
    if (const auto speaker = ctx.currentAudioOutput()) {
        media.insert(QStringLiteral("speakerId"), KL_textOrEmpty(speaker->deviceId));
        record.insert(QStringLiteral("speakerId"), KL_textOrEmpty(speaker->deviceId));
        record.insert(QStringLiteral("speakerName"), KL_textOrEmpty(speaker->deviceName));
        record.insert(QStringLiteral("speakerTransportType"), speaker->transportType);
    }
    ctx.createLocalStream(media);
    commitRecord(3, 2, record);
}

bool KLMediaEventHandler::beautyEnabled(const Context &ctx) const
{
    // The persisted flag is read last: reading it stores its default when absent.
    return ctx.isShowBeauty() && (ctx.isStaff() || !ctx.isVanInternal())
           && UserPersistentData::sharedInstance().readEnableBeautyFlag();
}

// ---- Media path up: the meeting is entered -------------------------------------------------

void KLMediaEventHandler::handleWebrtcUp()
{
    if (auto ctx = context())
        handleWebrtcUp(*ctx);
}

void KLMediaEventHandler::handleWebrtcUp(Context &ctx)
{
    KL_LOG_INFO(kTag, QStringLiteral("media path up"));
    ctx.setEnterRoomSuccess(true);
    m_mediaPathWasUp = true;
    const QDateTime started = ctx.startEnterTimer();
    const double elapsedSeconds = started.isValid() ? started.msecsTo(now()) / 1000.0 : 0.0;

    ctx.stopEnterTimeoutCheck();
    ctx.displayClientAutomatically();
    ctx.dataSourceEnterRoomSuccess();
    reportEnterRoom(ctx, elapsedSeconds);

    if (ctx.isRefreshStage()) {
        ctx.setIsRefreshStage(false);
        commitRecord(3, 2, {{QStringLiteral("value"), QStringLiteral("mediaReconnectSuccess")}});
    }
    ctx.startStatusReporters();
    if (ctx.conferenceMode() == 1)
        announceMultiProjectorUp(ctx);
}

void KLMediaEventHandler::reportEnterRoom(Context &ctx, double elapsedSeconds)
{
    QString value = QStringLiteral("enterRoom");
    if (ctx.conferenceMode() == 1) {
        value = ctx.multiProjectorReceive() ? QStringLiteral("projectWatchSuccess")
                                            : QStringLiteral("projectSuccess");
    }
    if (isMultiProjectorSender(ctx)) {
        if (auto api = ctx.meetingApi()) {
            api->notifyItMonitorForMultiProjectorWithType(
                QStringLiteral("1"), ctx.projectId(), appointmentIdText(ctx), QStringLiteral("1"),
                [](const QJsonValue &) { KL_LOG_INFO(kTag, QStringLiteral("projector start reported")); },
                [](const QString &code, const QString &message) {
                    KL_LOG_WARN(kTag, QStringLiteral("projector start report failed: %1 %2")
                                          .arg(code, message));
                });
        }
    }
    QJsonObject record{{QStringLiteral("value"), value},
                       {QStringLiteral("useTimer"), elapsedSeconds},
                       {QStringLiteral("empType"),
                        KL_textOrEmpty(UserPersistentData::sharedInstance().readUserEmpType())}};
    if (auto connection = ctx.mediaConnection()) {
        const QJsonObject speaker = connection->getSpeakerDeviceStatus();
        for (auto it = speaker.begin(); it != speaker.end(); ++it)
            record.insert(it.key(), it.value());
    }
    commitRecord(3, 1, record);
}

void KLMediaEventHandler::announceMultiProjectorUp(Context &ctx)
{
    // A cast plays no sound on either side.
    ctx.muteSpeaker(true);
    const bool sender = !ctx.multiProjectorReceive();
    if (sender)
        hostMessages().notifyWorkStatus(0);
    const auto publisher = ctx.publisher();
    auto api = ctx.meetingApi();
    if (!api) {
        KL_LOG_WARN(kTag, QStringLiteral("no meeting API to announce the cast"));
        return;
    }
    api->notifyMultiScreenWithAppointmentId(
        ctx.appointmentId(), publisher ? publisher->uuid() : QString(), sender ? 5 : 3,
        [](const QJsonValue &) { KL_LOG_INFO(kTag, QStringLiteral("multi screen status sent")); },
        [](const QString &code, const QString &message) {
            KL_LOG_WARN(kTag, QStringLiteral("multi screen status failed: %1 %2").arg(code, message));
        });
}
