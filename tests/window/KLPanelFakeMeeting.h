#pragma once

// A meeting for the invitation, information and settings controllers' tests: answers are
// fields, operations are written down as text, and the meeting API records the add and
// room-status requests and answers from fields.

#include "window/KLPanelMeeting.h"

#include "KLHubFakeMeeting.h"
#include "KLSilentMeetingApi.h"

#include <QJsonArray>

#include <mutex>

namespace kltest {

class PanelMeetingApi final : public SilentMeetingApi {
public:
    QJsonArray contacts;
    QJsonArray found;
    QJsonArray roomStatuses;
    QStringList requests;
    QList<QList<KLParticipantPtr>> addedLists;
    QJsonValue addedAppointment;
    /// Keeps the room-status answer back until the test calls `answerRoomStatus()`.
    bool holdRoomStatus = false;
    S heldRoomStatus;
    void answerRoomStatus() { heldRoomStatus(roomStatuses); }

    void addMeetingMemberWithAppointment(V appointment, const QList<KLParticipantPtr> &list, S success, F) override
    {
        requests << QStringLiteral("add");
        addedAppointment = appointment;
        addedLists << list;
        success(QJsonObject());
    }
    void findMemberWithKeywords(T keyword, S success, F) override
    {
        requests << QStringLiteral("find %1").arg(keyword);
        success(found);
    }
    void getMeetingContactWithSuccessBlock(S success, F) override
    {
        requests << QStringLiteral("contacts");
        success(contacts);
    }
    void getMeetingRoomStatusWithAppointment(V, T rooms, S success, F) override
    {
        requests << QStringLiteral("roomStatus %1").arg(rooms);
        if (holdRoomStatus)
            heldRoomStatus = success;
        else
            success(roomStatuses);
    }
};

class FakePanelMeeting final : public KLPanelMeeting {
public:
    KLHubFeedPtr own = makeFeed(QStringLiteral("own"));
    QList<KLHubFeedPtr> online{own};
    QList<KLHubFeedPtr> offline;
    std::shared_ptr<PanelMeetingApi> api = std::make_shared<PanelMeetingApi>();
    QJsonObject detail;
    QJsonArray dialIn;
    bool video = true;

    KLHubFeedPtr publisher() const override { return own; }
    QList<KLHubFeedPtr> participantsWithOnline(bool on) const override { return on ? online : offline; }
    KLHubFeedPtr existingParticipant(const KLParticipant &participant) const override
    {
        for (const auto &feed : online + offline) {
            const auto other = feed->participant();
            if (other && !participant.empId.isEmpty() && other->empId == participant.empId)
                return feed;
        }
        return nullptr;
    }
    KLHubFeedPtr clientWithRoomId(const QString &roomId) const override
    {
        for (const auto &feed : online + offline)
            if (feed->isMeetingRoom() && feed->participant()->empId == roomId)
                return feed;
        return nullptr;
    }
    QJsonValue appointmentId() const override { return QJsonValue(4711); }
    std::shared_ptr<KLSDKMeetingApiProtocol> meetingApi() const override { return api; }
    QJsonObject appointmentDetail() const override { return detail; }
    QJsonArray phoneDialInList() const override { return dialIn; }
    QString webBaseUrl() const override { return QStringLiteral("https://meet.example.test"); }
    bool isVideoMeeting() const override { return video; }
    void setMemberCallStatus(int status) override { add(QStringLiteral("callStatus %1").arg(status)); }
    void perform(const KLHubFeedPtr &feed, KLHubFeedAction action) override
    {
        add(QStringLiteral("%1 %2").arg(action == KLHubFeedAction::MakeCall ? "call" : action == KLHubFeedAction::MakeCellCall ? "cellCall" : "other",
                                        feed->uuid()));
    }
    void roomCallError(const KLHubFeedPtr &feed, const QString &code) override
    {
        add(QStringLiteral("busy %1 %2").arg(feed->uuid(), code));
    }

    QStringList calls() const { std::lock_guard l(m); return m_calls; }

private:
    void add(const QString &call) { std::lock_guard l(m); m_calls << call; }
    mutable std::mutex m;
    QStringList m_calls;
};

/// A meeting room's feed: its room id is its participant's employee number.
inline KLHubFeedPtr makeRoom(const QString &uuid, bool online, bool ringing = false)
{
    return makeFeed(uuid, 0, {{"memberType", 2}, {"empId", uuid + "-id"}, {"roomId", uuid + "-id"}},
                    {{"online", online ? 1 : 0}, {"ringing", ringing ? 1 : 0}});
}

} // namespace kltest
