// The engine's messages (howling and ring tones, its log lines, media errors), the two
// record-only connection events, and the conference signal channel's state and fatal errors.
#include "conference/events/KLMediaEventHandler.h"

#include "cloudlog/KLQLSLogger.h"
#include "model/KLSDKMeetingEventDelegate.h"
#include "presentation/KLDialogQueue.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLDictionary.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"
#include "runtime/KLUtility.h"

#include <QThread>

namespace {
const QString kTag = QStringLiteral("KLMediaEventHandler");
} // namespace

// ---- Howling and ring tones ----------------------------------------------------------------

void KLMediaEventHandler::incomingCommonWebRtcMsg(qint32 type)
{
    // The engine's audio thread must not wait for records and notifications.
    std::weak_ptr<KLMediaEventHandler> weak = weak_from_this();
    KLUtility::shareInstance().dispatch_async_concurrent(
        [weak, type] {
            if (auto self = weak.lock())
                self->handleEngineMessage(type);
        },
        QThread::HighPriority);
}

void KLMediaEventHandler::handleEngineMessage(qint32 type)
{
    auto ctx = context();
    if (!ctx)
        return;
    KL_LOG_INFO(kTag, QStringLiteral("IncomingCommonWebRtcMsg type %1 on thread %2")
                          .arg(type)
                          .arg(quintptr(QThread::currentThreadId())));
    commitRecord(3, 2, {{QStringLiteral("value"), QStringLiteral("howlingSuppression")},
                        {QStringLiteral("msg_type"), type}});
    if (!claimHowlingTip()) {
        KL_LOG_INFO(kTag, QStringLiteral("howling dialog is show"));
        return;
    }
    const QString name = type == KLRTCMediaMessageRingTone ? QString(KLNotificationNames::RingToneDetected)
                         : type == KLRTCMediaMessageHowling ? QString(KLNotificationNames::WhistlingNoise)
                                                            : QString();
    if (!name.isEmpty())
        post(*ctx, name);
}

bool KLMediaEventHandler::claimHowlingTip()
{
    // Messages of any type share the one window, so that a burst of them raises one tip.
    const QDateTime current = now();
    std::lock_guard lock(m_howlingMutex);
    if (m_showHowlingTime
        && m_showHowlingTime->msecsTo(current) <= qint64(kHowlingTipSeconds * 1000)) {
        return false;
    }
    m_showHowlingTime = current;
    return true;
}

std::optional<QDateTime> KLMediaEventHandler::showHowlingTime() const
{
    std::lock_guard lock(m_howlingMutex);
    return m_showHowlingTime;
}

// ---- Records only ----------------------------------------------------------------------------

void KLMediaEventHandler::didGetRTCLog(const QString &log)
{
    if (log.isEmpty())
        return;
    commitRecord(3, 2, {{QStringLiteral("value"), QStringLiteral("webrtcLog")},
                        {QStringLiteral("webrtcLog"), log}});
}

void KLMediaEventHandler::didGetMediaError(qint32 error, qint32 reason)
{
    auto ctx = context();
    if (!ctx || ctx->conferenceMode() != 0)
        return;
    commitRecord(5, 3, {{QStringLiteral("value"), QStringLiteral("mediaError")},
                        {QStringLiteral("errCode"), error},
                        {QStringLiteral("errMsg"), reason}});
}

void KLMediaEventHandler::iceGatheringStage(const KLRTCMediaEventInfo &info)
{
    QJsonObject record{{QStringLiteral("value"), QStringLiteral("iceGatheringStage")}};
    if (!info.value.isUndefined() && !info.value.isNull())
        record.insert(QStringLiteral("stage"), info.value);
    else if (info.streamId)
        record.insert(QStringLiteral("stage"), *info.streamId);
    commitRecord(3, 2, record);
}

void KLMediaEventHandler::mediaSessionId(const QJsonObject &info)
{
    const QString sessionId = KL_stringForKey(info, QStringLiteral("mediaSessionId"));
    if (sessionId.isEmpty()) {
        KL_LOG_WARN(kTag, QStringLiteral("media session id event without an id"));
        return;
    }
    KLQLSLogger::sharedInstance().setSessionId(sessionId);
}

// ---- The conference signal channel ---------------------------------------------------------------

void KLMediaEventHandler::signalChannelOpenState(bool open)
{
    if (auto ctx = context())
        signalChannelOpenState(*ctx, open);
}

void KLMediaEventHandler::signalChannelOpenState(Context &ctx, bool open)
{
    KL_LOG_INFO(kTag, QStringLiteral("conference signal channel %1")
                          .arg(open ? QStringLiteral("open") : QStringLiteral("closed")));
    ctx.setMeetingChannelConnected(open);
    if (open) {
        checkForNetworkStatus(ctx);
        return;
    }
    // An external user who never got in cannot wait for the channel to come back. One whose
    // media path is being won back after entry is still in the meeting and waits for both.
    if (!ctx.isVanInternal() && !hasEntered(ctx))
        signalChannelError(1);
    checkForNetworkStatus(ctx);
    commitRecord(3, 2, {{QStringLiteral("value"), QStringLiteral("ConferenceWssClosed")}});
}

void KLMediaEventHandler::signalChannelError(int type)
{
    QString title;
    if (type == 0)
        title = QStringLiteral("MeetingToken invalid");
    else if (type == 1)
        title = QStringLiteral("Can not connect to meeting server, check meeting Domain or loal network");
    if (title.isEmpty()) {
        KL_LOG_WARN(kTag, QStringLiteral("unknown signal channel error %1").arg(type));
        return;
    }
    KL_LOG_ERROR(kTag, QStringLiteral("signal channel error %1").arg(type));
    KLDialogRequest request;
    request.title = title;
    request.firstButtonText = KLLocalizedString(QStringLiteral("LEAVE_ROOM_BY_KICK_TOAST_KNOW"));
    std::weak_ptr<KLMediaEventHandler> weak = weak_from_this();
    request.firstBlock = [weak, type, title] {
        if (auto self = weak.lock())
            self->signalChannelErrorConfirmed(type, title);
    };
    toasts().showToastDialog(std::move(request));
}

void KLMediaEventHandler::signalChannelErrorConfirmed(int type, const QString &title)
{
    auto ctx = context();
    if (!ctx)
        return;
    if (ctx->isVanInternal()) {
        ctx->closeApp();
        return;
    }
    if (type == 1)
        ctx->onError(KLSDKMeetingErrorMeetingServer, title);
    else
        ctx->onError(KLSDKMeetingErrorClientConfig, QStringLiteral("meetingToken invalid"));
    ctx->stopSignaling();
}
