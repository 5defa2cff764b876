#pragma once

// A recording meeting for the signalling event handler: flags are plain fields, the registry
// is a list, and every action (context calls and the notifications posted with it as object)
// is written to `actions` as "name arg…" in call order. Feeds belong to a fake conference
// manager whose meeting API records the server mute requests.

#include "../feed/KLFeedTestFakes.h"

#include "conference/registry/KLFeedClient.h"
#include "conference/events/KLOfflineNotificationThrottle.h"
#include "conference/events/KLSignalingEventHandler.h"
#include "media/fake/KLFakeMediaSDK.h"
#include "model/KLCallState.h"
#include "model/KLParticipant.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "signalling/KLSignalingMessage.h"

#include <KelvoUISDK/KLSDKMeetingUser.h>

#include <QJsonDocument>
#include <QStringList>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <mutex>

namespace kltest {

using FeedPtrT = std::shared_ptr<KLFeedClient>;

class FakeSignalingContext final : public KLSignalingEventContext {
public:
    qint64 mode = 0;
    bool pallas = true, vanInternal = false, staff = false, master = false, fromSender = false,
         leaving = false, muteInit = false, audioShouldMute = false, videoShouldMute = false,
         firstWss = false, showSummary = true, startBySelf = false, stopBySelf = false;
    FeedPtr own, displaying;
    QList<FeedPtr> feeds;

    QStringList takeActions() { std::lock_guard l(m_mutex); return std::exchange(m_actions, {}); }
    void act(const QString &a) const { std::lock_guard l(m_mutex); m_actions << a; }

    // Plain getters and setters of the fields above.
#define KL_GET(Type, name, field) Type name() const override { return field; }
#define KL_SET(name, field) void name(bool v) override { field = v; }
    KL_GET(qint64, conferenceMode, mode) KL_GET(bool, isPallasMeeting, pallas) KL_GET(bool, isVanInternal, vanInternal)
    KL_GET(bool, isStaff, staff) KL_GET(bool, isMaster, master) KL_GET(bool, isLeavingRoomBySelf, leaving)
    KL_GET(bool, isEnterMultiProjectorFromSender, fromSender) KL_GET(bool, isShowMeetingSummaryModule, showSummary)
    KL_GET(bool, isMuteInitStage, muteInit) KL_SET(setIsMuteInitStage, muteInit)
    KL_GET(bool, isEnterRoomAudioShouldMute, audioShouldMute) KL_SET(setIsEnterRoomAudioShouldMute, audioShouldMute)
    KL_GET(bool, isEnterRoomVideoShouldMute, videoShouldMute) KL_SET(setIsEnterRoomVideoShouldMute, videoShouldMute)
    KL_GET(bool, isFirstWssConnect, firstWss) KL_SET(setIsFirstWssConnect, firstWss)
    KL_GET(bool, startMeetingNoteBySelf, startBySelf) KL_SET(setStartMeetingNoteBySelf, startBySelf)
    KL_GET(bool, stopMeetingNoteBySelf, stopBySelf) KL_SET(setStopMeetingNoteBySelf, stopBySelf)
    KL_GET(FeedPtr, publisher, own) KL_GET(FeedPtr, displayingClient, displaying)
    KL_GET(QList<FeedPtr>, participants, feeds) KL_GET(const void *, notificationObject, this)
#undef KL_GET
#undef KL_SET
    void setIsOnlyPersonEnterRoom(bool v) override { act(QStringLiteral("onlyPerson %1").arg(v)); }
    void setIsOnlyPersonFromEnterForMultiProjector(bool v) override { act(QStringLiteral("onlyPersonForProjector %1").arg(v)); }
    void setIsOpenAudioMeetingForMultiProjector(bool v) override { act(QStringLiteral("openAudio %1").arg(v)); }
    void setSummaryState(bool open, const QString &l) override { act(QStringLiteral("summary %1 %2").arg(open).arg(l)); }

    FeedPtr clientWithUUID(const QString &uuid) const override
    {
        for (const auto &f : feeds)
            if (f->uuid() == uuid)
                return f;
        return nullptr;
    }
    void setFloorChangeFeed(FeedPtr f) override { act("floor " + f->uuid()); }
    void addParticipants(const QJsonArray &list) override
    {
        QStringList ids;
        for (const auto &v : list)
            ids << v.toObject().value("memberUUID").toString();
        act("addParticipants " + ids.join(','));
    }
    void removeClient(FeedPtr f) override { feeds.removeAll(f); act("removeClient " + f->uuid()); }
    void closeClient(FeedPtr f) override { act("closeClient " + f->uuid()); }
    void displayClientAutomatically() override { act("display"); }
    void hangupWithReason(int r) override { act(QStringLiteral("hangup %1").arg(r)); }
    void streamVideo(FeedPtr f, bool on) override { act(QStringLiteral("streamVideo %1 %2").arg(f->uuid()).arg(on)); }
    void meetingUserStatusChanged(const std::shared_ptr<KLSDKMeetingUser> &u, int e) override
    {
        act(QStringLiteral("host %1 %2").arg(e).arg(u->uuid));
    }
    void pushSubTitle(const QJsonObject &s) override { subTitles.append(s); act("subTitle"); }
    void showCallRoomDialog() override { act("callRoomDialog"); }

    QList<QJsonObject> subTitles;

private:
    mutable std::mutex m_mutex;
    mutable QStringList m_actions;
};

class SignalEventTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        using namespace KLNotificationNames;
        for (const QLatin1String name :
             {RingChangeNotification, OnlineOfflineChangeNotification, AudioVideoChangeNotification, GetConferenceMember,
              SelfCellPhoneLeave, SelfCellPhoneEnter, MeetingNoteSummaryStart, MeetingNoteSummaryStop,
              MultiScreenRejectNotification, MultiScreenStartEndNotification, OpenAudioMeetingForMultiProjector,
              ToastMessageIncoming}) {
            KLNotificationCenter::defaultCenter().addObserver(this, name, [this, name](const KLNotification &n) {
                // The projection-audio notification has no object; all others name the meeting.
                if (n.object != ctx.get() && n.object != nullptr)
                    return;
                const auto client = n.userInfo.value("client").value<std::shared_ptr<KLFeedClient>>();
                ctx->act(QStringLiteral("post %1%2").arg(name, client ? " " + client->uuid() : QString()));
            });
        }
        ctx->own = feed("me", {{"online", 1}, {"hasVideo", 1}});
        ctx->own->setIsPublisher(true);
        renew();
    }
    /// A fresh handler with fresh notices (the throttle and the toast queue start empty).
    void renew()
    {
        handler.reset();
        toasts = std::make_unique<KLToastManager>();
        handler = KLSignalingEventHandler::create(ctx, {[this] { return clock; }, toasts.get()});
    }
    void TearDown() override { KLNotificationCenter::defaultCenter().removeObserver(this); }

    /// A registered feed of the fake manager; `fields` add to the participant record.
    FeedPtrT feed(const QString &uuid, const QJsonObject &callState, QJsonObject fields = {})
    {
        fields.insert("memberUUID", uuid);
        fields.insert("displayName", uuid.toUpper());
        if (!fields.contains("memberType"))
            fields.insert("memberType", 1);
        auto f = KLFeedClient::create(7, uuid, manager, makeParticipant(fields, callState));
        ctx->feeds.append(f);
        return f;
    }
    static std::shared_ptr<KLFakeMediaStream> stream(const QString &label)
    {
        return std::make_shared<KLFakeMediaStream>(std::make_shared<KLFakeMediaCallLog>(), label,
                                                   QJsonObject{{"audio", true}, {"video", true}},
                                                   std::weak_ptr<KLRTCMediaStreamDelegate>());
    }
    void push(qint64 event, const QString &uuid, const QJsonObject &body = {})
    {
        KLSignalingMessage message;
        message.messageType = event;
        message.memberUUID = uuid;
        message.messBody = body;
        handler->handleKelvoSignalingMessage(message);
    }
    /// Server requests since the last call, as "mute 1 uuid" / "vmute 0 uuid".
    QStringList takeServerCalls()
    {
        QStringList out;
        const auto calls = manager->api->calls();
        for (size_t i = seenCalls; i < calls.size(); ++i)
            out << QStringLiteral("%1 %2 %3").arg(calls[i].name).arg(calls[i].status).arg(calls[i].appointment->memberUUID);
        seenCalls = calls.size();
        return out;
    }
    static std::shared_ptr<KLCallState> state(const FeedPtrT &f) { return f->participant()->callState(); }
    QStringList toastTexts() const
    {
        QStringList out;
        if (auto current = toasts->currentToastMessage())
            out << current->messageKey + " " + (current->client ? current->client->uuid : QString());
        for (const auto &m : toasts->queuedMessages())
            out << m.messageKey + " " + (m.client ? m.client->uuid : QString());
        return out;
    }

    std::shared_ptr<FakeSignalingContext> ctx = std::make_shared<FakeSignalingContext>();
    std::shared_ptr<FakeConferenceManager> manager = std::make_shared<FakeConferenceManager>();
    std::unique_ptr<KLToastManager> toasts;
    QDateTime clock = QDateTime::fromSecsSinceEpoch(1700000000, QTimeZone::utc());
    std::shared_ptr<KLSignalingEventHandler> handler;
    size_t seenCalls = 0;
};

} // namespace kltest
