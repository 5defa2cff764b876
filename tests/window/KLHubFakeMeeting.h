#pragma once

// A meeting for the toolbar's and the member list's tests: the answers are fields, the
// operations are written down as text ("muteAudio own 1 0").

#include "conference/registry/KLFeedClient.h"
#include "model/KLCallState.h"
#include "model/KLParticipant.h"
#include "window/KLHubMeeting.h"

#include "KLDialogPresser.h"
#include "KLTestSupport.h"

#include <QJsonObject>
#include <QStringList>

#include <gtest/gtest.h>

#include <mutex>

namespace kltest {

/// A participant's feed with a call state; `mute` is the call state's mute value.
inline KLHubFeedPtr makeFeed(const QString &uuid, qint64 mute = 0, const QJsonObject &extra = {},
                             const QJsonObject &callState = {})
{
    QJsonObject person{{"memberUUID", uuid}, {"displayName", uuid}};
    for (auto it = extra.begin(); it != extra.end(); ++it)
        person.insert(it.key(), it.value());
    auto participant = KLParticipant::createWithDictionary(person);
    QJsonObject state{{"online", 1}, {"mute", mute}};
    for (auto it = callState.begin(); it != callState.end(); ++it)
        state.insert(it.key(), it.value());
    participant->setCallState(KLCallState::createWithDictionary(state));
    return KLFeedClient::create(QJsonValue(7), uuid, {}, participant);
}

class FakeHubMeeting final : public KLHubMeeting {
public:
    KLHubFeedPtr own = makeFeed(QStringLiteral("own"));
    KLHubFeedPtr shared;
    KLHubFeedPtr displaying; ///< the big view's feed
    QList<KLHubFeedPtr> online{own};
    QList<KLHubFeedPtr> offline;
    bool master = false, internal = false, staff = false, video = true, pallas = true, screenRecording = true;
    bool muteInitStage = false, speakerOpen = true, leavingBySelf = false;
    /// Answers the finish-for-all request; none leaves it unanswered.
    std::optional<bool> finishSucceeds = true;

    QStringList calls() const { std::lock_guard l(m); return m_calls; }
    QList<int> callStatuses() const { std::lock_guard l(m); return m_statuses; }

    // Plain answers from the fields above.
#define KL_GET(Type, name, value) Type name() const override { return value; }
    KL_GET(KLHubFeedPtr, publisher, own) KL_GET(KLHubFeedPtr, sharedFeed, shared)
    KL_GET(KLHubFeedPtr, displayingClient, displaying) KL_GET(bool, isMaster, master)
    KL_GET(bool, isInternal, internal) KL_GET(bool, isStaff, staff) KL_GET(bool, isVideoMeeting, video)
    KL_GET(bool, isPallasMeeting, pallas) KL_GET(bool, isMicrophoneAvailable, true)
    KL_GET(bool, isValidToVisitScreenRecording, screenRecording) KL_GET(bool, isShowMeetingSummaryModule, false)
    KL_GET(bool, isOpenSummary, false) KL_GET(bool, isMuteInitStage, muteInitStage)
    KL_GET(bool, isSpeakerOpen, speakerOpen)
#undef KL_GET
    QList<KLHubFeedPtr> participantsWithOnline(bool on) const override { return on ? online : offline; }
    void setIsMuteInitStage(bool value) override { muteInitStage = value; }
    void setIsSpeakerOpen(bool open) override { speakerOpen = open; }
    void setIsLeavingRoomBySelf() override { leavingBySelf = true; }
    void muteSpeaker(bool muted) override { add(QStringLiteral("muteSpeaker %1").arg(muted)); }
    void desktopShare() override { add("desktopShare"); }
    void stopShare() override { add("stopShare"); }
    void closeClient(const KLHubFeedPtr &feed) override { add("closeClient " + feed->uuid()); }
    void clickedClientFeed(const KLHubFeedPtr &feed) override { add("clicked " + feed->uuid()); }
    void setMemberCallStatus(int status) override { std::lock_guard l(m); m_statuses << status; }
    void finishMeetingForAll(KLApiSuccessBlock success, KLApiFailureBlock failure) override
    {
        add(QStringLiteral("finishForAll"));
        if (finishSucceeds && *finishSucceeds)
            success(QJsonValue());
        else if (finishSucceeds)
            failure(QStringLiteral("11002"), QStringLiteral("refused"));
    }
    // Local audio and video follow the request, as the feed itself would do.
    void muteAudio(const KLHubFeedPtr &feed, bool muted, bool toServer) override
    {
        feed->setAudioMuted(muted);
        add(QStringLiteral("muteAudio %1 %2 %3").arg(feed->uuid()).arg(muted).arg(toServer));
    }
    void muteVideo(const KLHubFeedPtr &feed, bool muted, bool toServer) override
    {
        feed->setVideoMuted(muted);
        add(QStringLiteral("muteVideo %1 %2 %3").arg(feed->uuid()).arg(muted).arg(toServer));
    }
    void perform(const KLHubFeedPtr &feed, KLHubFeedAction action) override
    {
        static const char *const names[] = {"call", "cellCall", "hangup", "hangupMcu", "unmuteCellPhone"};
        add(QStringLiteral("%1 %2").arg(QLatin1String(names[static_cast<int>(action)]), feed->uuid()));
    }

private:
    void add(const QString &call) { std::lock_guard l(m); m_calls << call; }
    mutable std::mutex m;
    QStringList m_calls;
    QList<int> m_statuses;
};

} // namespace kltest
