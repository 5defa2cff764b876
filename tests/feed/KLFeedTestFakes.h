#pragma once

// Test doubles for the feed: a meeting API that records the member operations with their
// arguments and keeps their completion blocks for the test to run, and the conference service
// handing it out.

#include "conference/KLConferenceManagerProtocol.h"
#include "KLSilentMeetingApi.h"
#include "gateway/KLSDKMeetingApiProtocol.h"
#include "media/KLRTCMediaVideoRenderView.h"
#include "model/KLCallState.h"
#include "model/KLParticipant.h"

#include <QJsonObject>

#include <mutex>
#include <vector>

namespace kltest {

/// One member operation as the feed asked for it.
struct ApiCall {
    QString name;
    KLParticipantPtr appointment;
    QJsonValue appointmentId;
    QString memberUuid;
    bool status = false;
    QString number;
    QString type;
    KLApiSuccessBlock success;
    KLApiFailureBlock failure;
};

class RecordingMeetingApi : public SilentMeetingApi {
public:
    std::vector<ApiCall> calls() const
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    ApiCall lastCall() const { auto all = calls(); return all.empty() ? ApiCall{} : all.back(); }

    void muteMemberWithAppointment(const KLParticipantPtr &who, bool status, KLApiSuccessBlock s, KLApiFailureBlock f) override
    { add({"mute", who, {}, {}, status, {}, {}, s, f}); }
    void vmuteMemberWithAppointment(const KLParticipantPtr &who, bool status, KLApiSuccessBlock s, KLApiFailureBlock f) override
    { add({"vmute", who, {}, {}, status, {}, {}, s, f}); }
    void callMeetingMemberWithAppointment(const KLParticipantPtr &who, const QString &number, const QString &type,
                                          KLApiSuccessBlock s, KLApiFailureBlock f) override
    { add({"call", who, {}, {}, false, number, type, s, f}); }
    void hangUpMeetingMemberWithAppointment(const KLParticipantPtr &who, const QString &type, KLApiSuccessBlock s,
                                            KLApiFailureBlock f) override
    { add({"hangUp", who, {}, {}, false, {}, type, s, f}); }
    void robRoomWithAppointment(const QJsonValue &appointmentId, const QString &memberUuid, KLApiSuccessBlock s,
                                KLApiFailureBlock f) override
    { add({"robRoom", nullptr, appointmentId, memberUuid, false, {}, {}, s, f}); }

    // Operations a feed never uses: recorded by name only, so a wrong call shows up.
    void unused(const char *name) override { add({name, nullptr, {}, {}, false, {}, {}, {}, {}}); }

private:
    void add(ApiCall call)
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(std::move(call));
    }

    mutable std::mutex m_mutex;
    std::vector<ApiCall> m_calls;
};

class FakeConferenceManager : public KLConferenceManagerProtocol {
public:
    std::shared_ptr<KLSDKMeetingApiProtocol> meetingApi() const override { return api; }
    std::shared_ptr<KLRTCMediaConnection> mediaConnection() const override { return nullptr; }

    std::shared_ptr<RecordingMeetingApi> api = std::make_shared<RecordingMeetingApi>();
};

/// A render view that only keeps its stream id.
class IdRenderView : public KLRTCMediaVideoRenderView {
public:
    explicit IdRenderView(QString id) : m_id(std::move(id)) {}
    QString renderStreamId() const override { return m_id; }
    void setRenderStreamId(const QString &streamId) override { m_id = streamId; }
    bool isVideoRenderer() const override { return true; }
    void renderFrame(const KLRTCMediaVideoFrame &) override {}

private:
    QString m_id;
};

/// A participant built from `fields`, with a call state built from `callState`.
inline std::shared_ptr<KLParticipant> makeParticipant(const QJsonObject &fields,
                                                      const QJsonObject &callState = {})
{
    auto participant = KLParticipant::createWithDictionary(fields);
    participant->setCallState(KLCallState::createWithDictionary(callState));
    return participant;
}

} // namespace kltest
