// Streams: the local stream becoming ready, remote streams coming and going, the server's
// video on/off, network grade and weak network of a feed, and data-channel messages.
#include "conference/events/KLMediaEventHandler.h"

#include "cloudlog/KLQLSLogger.h"
#include "conference/registry/KLFeedClient.h"
#include "host/KLMessageMode.h"
#include "media/KLRTCMediaConnection.h"
#include "media/KLRTCMediaStream.h"
#include "model/KLParticipant.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLDictionary.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"
#include "runtime/KLUtility.h"

#include <QByteArray>
#include <QStringDecoder>

#include <algorithm>

namespace {
const QString kTag = QStringLiteral("KLMediaEventHandler");
const QString kScreenPrefix = QStringLiteral("screen-");

QVariantMap clientInfo(const std::shared_ptr<KLFeedClient> &feed)
{
    return {{KLNotificationKeys::client, QVariant::fromValue(feed)}};
}

/// A share's display name may arrive Base64-encoded. Text counts as Base64 when it has the
/// alphabet and padding of it and decodes to valid UTF-8; anything else is a plain name.
QString decodedShareName(const QString &display)
{
    if (display.isEmpty() || display.size() % 4 != 0)
        return display;
    const auto decoded = QByteArray::fromBase64Encoding(
        display.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.isEmpty())
        return display;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(decoded.decoded);
    return utf8.hasError() ? display : text;
}

KLToastFeed toastFeed(const std::shared_ptr<KLFeedClient> &feed)
{
    if (!feed)
        return {};
    std::weak_ptr<KLFeedClient> weak = feed;
    return {{feed->uuid(), feed->display()}, int(feed->isWeakNet()), [weak] {
                if (auto f = weak.lock())
                    f->setIsWeakNet(1);
            }};
}

bool sameFeed(const std::shared_ptr<KLFeedClient> &a, const std::shared_ptr<KLFeedClient> &b)
{
    return a && b && a->uuid() == b->uuid();
}

/// The own camera or share stream's id, told without a feed to ask.
bool isOwnStreamId(const KLMediaEventContext &ctx, const QString &streamId)
{
    const auto own = ctx.publisher();
    return own && (streamId == own->uuid() || streamId == kScreenPrefix + own->uuid());
}
} // namespace

// ---- The local stream is ready ------------------------------------------------------------

void KLMediaEventHandler::handleStreamState(const StreamPtr &stream, int state,
                                            const QJsonObject &info)
{
    if (state != KLRTCMediaStreamStateReady || !stream) {
        KL_LOG_DEBUG(kTag, QStringLiteral("stream state %1 ignored %2")
                               .arg(state)
                               .arg(KL_compressedJSONString(info)));
        return;
    }
    if (auto ctx = context())
        handleStreamReady(*ctx, stream);
}

void KLMediaEventHandler::handleStreamReady(Context &ctx, const StreamPtr &stream)
{
    if (!stream->isFakeStream()) {
        if (stream->hasScreen())
            attachLocalShareStream(ctx, stream);
        else
            attachOwnMainStream(ctx, stream);
    }
    if (auto connection = ctx.mediaConnection())
        connection->publishStream(stream);
    else
        KL_LOG_WARN(kTag, QStringLiteral("no media connection to publish %1").arg(stream->getID()));
}

void KLMediaEventHandler::attachLocalShareStream(Context &ctx, const StreamPtr &stream)
{
    const auto publisher = ctx.publisher();
    if (!publisher) {
        KL_LOG_WARN(kTag, QStringLiteral("local share ready without an own feed"));
        return;
    }
    const QString uuid = kScreenPrefix + publisher->uuid();
    if (ctx.clientWithUUID(uuid))
        return;
    auto share = KLFeedClient::create(ctx.appointmentId(), uuid, ctx.feedManager(),
                                      publisher->participant());
    share->setMediaStream(stream);
    share->setMtype(QStringLiteral("screen"));
    share->setIsPublisher(true);
    publisher->setAssocicateShareFeed(share);
    ctx.addClient(share);
}

void KLMediaEventHandler::attachOwnMainStream(Context &ctx, const StreamPtr &stream)
{
    const auto publisher = ctx.publisher();
    if (!publisher) {
        KL_LOG_WARN(kTag, QStringLiteral("camera stream ready without an own feed"));
        return;
    }
    publisher->setMediaStream(stream);
    publisher->setMtype(QStringLiteral("main"));
    // Muting here is local only: the server learns the join state from the join itself.
    if (ctx.isMuteInitStage()) {
        publisher->muteAudio(true, false);
        QVariantMap info = clientInfo(publisher);
        info.insert(KLNotificationKeys::audioAction, true);
        post(ctx, KLNotificationNames::AudioVideoChangeNotification, info);
        ctx.muteSpeaker(!ctx.isSpeakerOpen());
    }
    if (ctx.isEnterRoomAudioShouldMute())
        publisher->muteAudio(true, false);
    if (ctx.isEnterRoomVideoShouldMute())
        publisher->muteVideo(true, false);
}

// ---- Remote streams arrive ------------------------------------------------------------------

void KLMediaEventHandler::streamAdded(Context &ctx, const StreamPtr &stream)
{
    if (!stream) {
        KL_LOG_WARN(kTag, QStringLiteral("stream added without a stream"));
        return;
    }
    const QString id = stream->getID();
    // A cast only ever shows screens.
    if (ctx.conferenceMode() == 1 && !id.startsWith(kScreenPrefix)
        && id != QLatin1String("content")) {
        KL_LOG_INFO(kTag, QStringLiteral("stream %1 not subscribed in a cast").arg(id));
        return;
    }
    if (auto connection = ctx.mediaConnection())
        connection->subscribe(stream);
}

void KLMediaEventHandler::streamSubscribed(Context &ctx, const StreamPtr &stream)
{
    if (!stream) {
        KL_LOG_WARN(kTag, QStringLiteral("stream subscribed without a stream"));
        return;
    }
    FeedPtr feed = ctx.clientWithUUID(stream->getID());
    if (!feed)
        feed = createRemoteFeed(ctx, stream);
    feed->setMediaStream(stream);
    if (feed->isShareScreen())
        remoteShareArrived(ctx, feed);
    ctx.displayClientAutomatically();
}

KLMediaEventHandler::FeedPtr KLMediaEventHandler::createRemoteFeed(Context &ctx,
                                                                   const StreamPtr &stream)
{
    auto feed = KLFeedClient::create(ctx.appointmentId(), stream->getID(), ctx.feedManager());
    if (feed->isShareScreen())
        prepareRemoteShareFeed(ctx, feed, stream);
    ctx.addClient(feed);
    return feed;
}

void KLMediaEventHandler::prepareRemoteShareFeed(Context &ctx, const FeedPtr &feed,
                                                 const StreamPtr &stream)
{
    const QString display = stream->display();
    if (!display.isEmpty())
        feed->setDisplay(decodedShareName(display));
    if (auto owner = ctx.clientWithUUID(feed->participantUUID())) {
        if (const auto participant = owner->participant()) {
            // The share gets its own copy, so the owner's record stays as it is.
            auto copy = KLParticipant::createWithDictionary(participant->toJson());
            if (copy) {
                copy->setCallState(participant->callState());
                feed->setParticipant(copy);
            }
        }
        owner->setAssocicateShareFeed(feed);
    }
    ctx.lockClientFeed(feed);
    ctx.setRemoteShareScreenFeed(feed);
}

void KLMediaEventHandler::remoteShareArrived(Context &ctx, const FeedPtr &feed)
{
    // One screen at a time: a remote share takes over from our own.
    if (ctx.shareScreenLocalClient()) {
        ctx.stopShare();
        post(ctx, KLNotificationNames::STOP_SHARE_ROB_ALREADY);
    }
    const auto publisher = ctx.publisher();
    const auto own = publisher ? publisher->participant() : nullptr;
    const QString name = feed->display();
    const bool castFromOwnDevice =
        own && (name == own->displayName() || name == own->displayNamePinYin);
    if (!castFromOwnDevice) {
        ctx.setShareScreenCacheId(feed->uuid());
        if (ctx.conferenceMode() == 0)
            queryProjectorStatus();
        return;
    }
    feed->setProjectorBySelf(true);
    if (sameFeed(ctx.lockedFeed(), feed))
        ctx.setLockedFeed(nullptr);
}

void KLMediaEventHandler::queryProjectorStatus()
{
    KL_LOG_INFO(kTag, QStringLiteral("asking the host for the projector status"));
    KLMessageMode *messages = &hostMessages();
    KLUtility::shareInstance().dispatch_async_serial([messages] { messages->getProjectorStatus(); });
}

// ---- Remote streams go ----------------------------------------------------------------------

void KLMediaEventHandler::streamGone(Context &ctx, const StreamPtr &stream, bool unsubscribed)
{
    if (!stream) {
        KL_LOG_WARN(kTag, QStringLiteral("stream event without a stream"));
        return;
    }
    const FeedPtr feed = ctx.clientWithUUID(stream->getID());
    if (!feed) {
        if (unsubscribed) {
            // A withdrawn share left the registry at its removal; it stays the remote share
            // until the server confirms the unsubscription.
            const FeedPtr share = ctx.remoteShareScreenFeed();
            if (share && share->uuid() == stream->getID()) {
                share->close();
                ctx.setRemoteShareScreenFeed(nullptr);
                ctx.displayClientAutomatically();
                return;
            }
        } else if (!isOwnStreamId(ctx, stream->getID())) {
            // The member may have left the registry before its stream went (deleted from the
            // member list): the server still keeps the subscription until it is ended.
            if (auto connection = ctx.mediaConnection())
                connection->unsubscribe(stream);
        }
        KL_LOG_INFO(kTag, QStringLiteral("no feed for stream %1").arg(stream->getID()));
        return;
    }
    const bool own = feed->isPublisher();
    if (!own && !unsubscribed) {
        if (auto connection = ctx.mediaConnection())
            connection->unsubscribe(stream);
    }
    if (!own && unsubscribed)
        feed->close();
    if (sameFeed(ctx.clickedFeed(), feed))
        ctx.setClickedFeed(nullptr);
    if (sameFeed(ctx.lockedFeed(), feed))
        ctx.setLockedFeed(nullptr);
    if (unsubscribed || !own)
        feed->setMediaStream(nullptr);
    if (feed->isShareScreen() && !own) {
        if (auto owner = ctx.clientWithUUID(feed->participantUUID()))
            owner->setAssocicateShareFeed(nullptr);
        ctx.removeClient(feed);
        if (unsubscribed)
            ctx.setRemoteShareScreenFeed(nullptr);
    }
    ctx.displayClientAutomatically();
}

// ---- What the server and the network say about a stream ---------------------------------------

void KLMediaEventHandler::serverVideoChanged(Context &ctx, const QString &streamId, bool sending)
{
    const FeedPtr feed = streamId.isEmpty() ? nullptr : ctx.clientWithStreamId(streamId);
    if (!feed)
        return;
    if (feed->isPublisher()) {
        // The server dropped our video for a weak uplink: the user is told.
        if (!sending && feed->videoEnabled())
            post(ctx, KLNotificationNames::SELF_WEAK_CLOSE_VIDEO);
        return;
    }
    feed->setIsReceiveVideoByServer(sending);
    post(ctx, KLNotificationNames::ReceiveVideoChangeNotification, clientInfo(feed));
}

void KLMediaEventHandler::networkGrade(Context &ctx, const QJsonObject &info)
{
    const QString id = KL_stringForKey(info, QStringLiteral("stream"));
    const FeedPtr feed = id.isEmpty() ? nullptr : ctx.clientWithStreamId(id);
    if (!feed)
        return;
    const qint64 grade = KL_longLongForKey(info, QStringLiteral("grade"));
    feed->setNetScore(std::clamp<qint64>(grade, 1, 4));
    post(ctx, KLNotificationNames::MeetingMemberNetStatusUpdate, clientInfo(feed));
}

void KLMediaEventHandler::weakNetwork(Context &ctx, const QJsonObject &info)
{
    const QString id = KL_stringForKey(info, QStringLiteral("stream"));
    const FeedPtr feed = id.isEmpty() ? nullptr : ctx.clientWithStreamId(id);
    if (!feed)
        return;
    const QString status = KL_stringForKey(info, QStringLiteral("status"));
    const bool weak = KL_boolForKey(info, QStringLiteral("weak"));
    feed->setIsWeakNet(status == QLatin1String("DISCONNECTED") ? 3 : (weak ? 2 : 1));

    QJsonObject record{{QStringLiteral("value"), QStringLiteral("weakNet")},
                       {QStringLiteral("networkStatus"),
                        feed->display() + QLatin1Char(' ')
                            + (weak ? QStringLiteral("弱网") : QStringLiteral("弱网恢复"))}};
    if (!status.isEmpty())
        record.insert(QStringLiteral("status"), status);
    commitRecord(3, 2, record);

    const FeedPtr publisher = ctx.publisher();
    const FeedPtr displayed = ctx.displayingClient();
    if (sameFeed(feed, publisher) || sameFeed(feed, displayed))
        toasts().checkWeakTips(toastFeed(publisher), toastFeed(displayed));
}

void KLMediaEventHandler::dataChannelMessage(Context &ctx, const QJsonObject &message)
{
    const QString type = KL_stringForKey(message, QStringLiteral("type"));
    if (type == QLatin1String("chatMsg")) {
        ctx.pushChatMessage(message.value(QStringLiteral("content")));
        return;
    }
    if (type != QLatin1String("signal"))
        return;
    const QJsonObject content = message.value(QStringLiteral("content")).toObject();
    if (KL_stringForKey(content, QStringLiteral("cmd")) != QLatin1String("sub_video"))
        return;
    auto connection = ctx.mediaConnection();
    if (!connection)
        return;
    connection->videoStreamActionWithMain(KL_boolForKey(content, QStringLiteral("main")),
                                          KL_boolForKey(content, QStringLiteral("small")),
                                          ctx.shareScreenLocalClient() != nullptr,
                                          content.value(QStringLiteral("screen")));
}
