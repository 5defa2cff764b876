// Failures of the media path and how each one ends: ICE failures, the media server's
// signalling errors and hang-up causes, the state of the engine's signalling channel, and the
// check of both channels together.
#include "conference/events/KLMediaEventHandler.h"

#include "gateway/KLSDKMeetingApiProtocol.h"
#include "model/KLSDKMeetingEventDelegate.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLDictionary.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"

namespace {
const QString kTag = QStringLiteral("KLMediaEventHandler");

// Leave reasons handed to the window.
constexpr int kLeaveRemoved = 0;
constexpr int kLeaveJoinedElsewhere = 1;
constexpr int kLeaveRegisterFailed = 2;
constexpr int kLeaveNetworkLost = 3;
constexpr int kLeaveRoomFull = 6;
constexpr int kLeaveRoomLocked = 7;

/// Codes arrive as numbers or as decimal texts; anything else reads as 0 (no known code).
qint64 codeForKey(const QJsonObject &info, const QString &key)
{
    return KL_integerText(info.value(key)).toLongLong();
}
} // namespace

// ---- Event 4: the media server's signalling failed -----------------------------------------

void KLMediaEventHandler::mediaSignalError(Context &ctx, const QJsonObject &info)
{
    if (ctx.isLeavingRoomBySelf() || !ctx.isPallasMeeting())
        return;
    commitRecord(2, 2, recordWithInfo(QStringLiteral("signalError"), info));
    if (ctx.enterRoomSuccess())
        ctx.iceConnectionRestart();
}

// ---- Event 3: ICE failed ---------------------------------------------------------------------

void KLMediaEventHandler::iceFailed(Context &ctx, const QJsonObject &info)
{
    if (ctx.isLeavingRoomBySelf())
        return;
    if (ctx.enterRoomSuccess()) {
        // An entered meeting keeps its session and only renegotiates the path.
        ctx.setEnterRoomSuccess(false);
        ctx.iceConnectionRestart();
        return;
    }
    commitRecord(5, 3, recordWithInfo(QStringLiteral("iceError"), info));
    if (!ctx.isRefreshStage()) {
        ctx.refresh();
    } else if (isMultiProjectorSender(ctx)) {
        reportToHostAndCloseApp(ctx, kHostErrorNetworkDisconnected);
    } else {
        ctx.onError(KLSDKMeetingErrorMediaFatal, QString());
        ctx.hangupWithReason(kLeaveNetworkLost);
    }
}

// ---- Event 18: the media server hung up --------------------------------------------------------

void KLMediaEventHandler::hangupCause(Context &ctx, const QJsonObject &info)
{
    if (!info.contains(QStringLiteral("causeCode"))) {
        KL_LOG_WARN(kTag, QStringLiteral("hang-up without a cause"));
        return;
    }
    const qint64 cause = codeForKey(info, QStringLiteral("causeCode"));
    KL_LOG_INFO(kTag, QStringLiteral("media hang-up cause %1").arg(cause));
    switch (cause) {
    case 606:
        ctx.hangupWithReason(kLeaveJoinedElsewhere);
        break;
    case 601:
    case 602:
    case 603: {
        QJsonObject record = recordWithInfo(QStringLiteral("signalError"), info);
        record.insert(QStringLiteral("errCode"), QStringLiteral("302"));
        record.insert(QStringLiteral("isEnterStage"),
                      ctx.enterRoomSuccess() ? QStringLiteral("NO") : QStringLiteral("YES"));
        commitRecord(5, 3, record);
        ctx.refresh();
        break;
    }
    case 10001: signalRegisterFailed(ctx); break;
    case 10002: signalReconnectFailed(ctx, info); break;
    case 200:
        if (!ctx.isLeavingRoomBySelf())
            ctx.hangupWithReason(kLeaveRemoved);
        break;
    default:
        break;
    }
}

void KLMediaEventHandler::signalRegisterFailed(Context &ctx)
{
    commitRecord(5, 3, {{QStringLiteral("value"), QStringLiteral("signalError")},
                        {QStringLiteral("errCode"), QStringLiteral("314")},
                        {QStringLiteral("errMsg"), QStringLiteral("signal channel register failed")}});
    if (!isMultiProjectorSender(ctx)) {
        ctx.onError(KLSDKMeetingErrorMediaHangUp, QString());
        ctx.hangupWithReason(kLeaveRegisterFailed);
        return;
    }
    if (auto api = ctx.meetingApi()) {
        api->notifyItMonitorForMultiProjectorWithType(
            QStringLiteral("1"), ctx.projectId(), appointmentIdText(ctx), QStringLiteral("0"),
            [](const QJsonValue &) { KL_LOG_INFO(kTag, QStringLiteral("projector failure reported")); },
            [](const QString &code, const QString &message) {
                KL_LOG_WARN(kTag, QStringLiteral("projector failure report failed: %1 %2")
                                      .arg(code, message));
            });
    }
    if (ctx.isVanInternal())
        reportToHostAndCloseApp(ctx, kHostErrorConnectFailed);
    else
        ctx.onError(KLSDKMeetingErrorMediaHangUp,
                    QStringLiteral("Failed to connect to the server, please try it again"));
}

void KLMediaEventHandler::signalReconnectFailed(Context &ctx, const QJsonObject &info)
{
    QJsonObject record = recordWithInfo(QStringLiteral("signalError"), info);
    record.insert(QStringLiteral("errCode"), QStringLiteral("315"));
    record.insert(QStringLiteral("errMsg"), QStringLiteral("pallas ws reconnected failed"));
    commitRecord(5, 3, record);
    if (isMultiProjectorSender(ctx)) {
        reportToHostAndCloseApp(ctx, kHostErrorNetworkDisconnected);
        return;
    }
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::NetWorkUnAvaliable);
    ctx.onError(KLSDKMeetingErrorMediaHangUp, QString());
}

// ---- Event 20: the media server refused a request ----------------------------------------------

void KLMediaEventHandler::mediaSignalingError(Context &ctx, const QJsonObject &info)
{
    QJsonObject record = recordWithInfo(QStringLiteral("signalError"), info);
    record.insert(QStringLiteral("errCode"), QStringLiteral("323"));
    commitRecord(5, 3, record);
    switch (codeForKey(info, QStringLiteral("responseCode"))) {
    case 404:
    case 405:
        ctx.refresh();
        break;
    case 432:
        ctx.onError(KLSDKMeetingErrorRoomFull, QStringLiteral("The meeting room is full"));
        ctx.hangupWithReason(kLeaveRoomFull);
        break;
    case 431:
        ctx.hangupWithReason(kLeaveRoomLocked);
        break;
    default:
        break;
    }
}

// ---- Event 21: the engine's signalling channel --------------------------------------------------

void KLMediaEventHandler::mediaSignalingState(Context &ctx, const QJsonObject &info)
{
    if (ctx.isLeavingRoomBySelf())
        return;
    if (info.contains(QStringLiteral("errCode"))) {
        commitRecord(5, 3, recordWithInfo(QStringLiteral("PallasWsError"), info));
        return;
    }
    if (!info.contains(QStringLiteral("action"))) {
        commitRecord(3, 2, recordWithInfo(QStringLiteral("PallasWsAction"), info));
        return;
    }
    if (KL_stringForKey(info, QStringLiteral("action")) != QLatin1String("networkAction"))
        return;
    const bool open = KL_boolForKey(info, QStringLiteral("isOpen"));
    ctx.setMediaChannelConnected(open);
    if (!open)
        commitRecord(3, 2, recordWithInfo(QStringLiteral("MediaWssClosed"), info));
    checkForNetworkStatus(ctx);
}

// ---- Both channels together ------------------------------------------------------------------

void KLMediaEventHandler::checkForNetworkStatus()
{
    if (auto ctx = context())
        checkForNetworkStatus(*ctx);
}

void KLMediaEventHandler::checkForNetworkStatus(Context &ctx)
{
    const bool media = ctx.mediaChannelConnected();
    const bool meeting = ctx.meetingChannelConnected();
    if (media && meeting) {
        ctx.checkForMeetingStatus();
        toasts().closePermanentMessage(KLPermanentToastKind::NetworkLost);
    } else if (!media && !meeting) {
        networkLost(ctx);
    }
    // With one channel still up the other may recover on its own: nothing to say yet.
}

void KLMediaEventHandler::networkLost(Context &ctx)
{
    commitRecord(5, 3, {{QStringLiteral("value"), QStringLiteral("NetworkUnAvailable")},
                        {QStringLiteral("errCode"), QStringLiteral("1113")}});
    if (isMultiProjectorSender(ctx)) {
        reportToHostAndCloseApp(ctx, kHostErrorNetworkDisconnected);
        return;
    }
    toasts().showPermanentMessage(KLPermanentToastKind::NetworkLost);
    // Only a join that never got in fails here; an entered meeting waits for the channels.
    if (!hasEntered(ctx))
        ctx.onError(KLSDKMeetingErrorNetworkUnavailable, QString());
}
