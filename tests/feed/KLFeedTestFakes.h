#pragma once

// Test doubles for the feed: a meeting API that records the member operations with their
// arguments and keeps their completion blocks for the test to run, and the conference service
// handing it out.

#include "conference/registry/KLConferenceManagerProtocol.h"
#include "KLSilentMeetingApi.h"
#include "media/KLRTCMediaVideoRenderView.h"
#include "model/KLCallState.h"
#include "model/KLParticipant.h"

#include <mutex>
#include <vector>

namespace kltest {

/// One member operation as the feed asked for it.
struct ApiCall {
    QString name;
    KLParticipantPtr appointment;
    bool status = false;
    QString number = {}, type = {}, memberUuid = {};
    QJsonValue appointmentId = {};
    KLApiSuccessBlock success = {};
    KLApiFailureBlock failure = {};
};

class RecordingMeetingApi : public SilentMeetingApi {
public:
    std::vector<ApiCall> calls() const { std::lock_guard lock(m_mutex); return m_calls; }

    void muteMemberWithAppointment(P who, bool on, S s, F f) override { add({"mute", who, on, {}, {}, {}, {}, s, f}); }
    void vmuteMemberWithAppointment(P who, bool on, S s, F f) override { add({"vmute", who, on, {}, {}, {}, {}, s, f}); }
    void callMeetingMemberWithAppointment(P who, T number, T type, S s, F f) override
    { add({"call", who, false, number, type, {}, {}, s, f}); }
    void hangUpMeetingMemberWithAppointment(P who, T type, S s, F f) override
    { add({"hangUp", who, false, {}, type, {}, {}, s, f}); }
    void robRoomWithAppointment(V id, T memberUuid, S s, F f) override
    { add({"robRoom", nullptr, false, {}, {}, memberUuid, id, s, f}); }
    // Operations a feed never uses: recorded by name only, so a wrong call shows up.
    void unused(const char *name) override { add({name, nullptr}); }

private:
    void add(ApiCall call) { std::lock_guard lock(m_mutex); m_calls.push_back(std::move(call)); }

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
inline std::shared_ptr<KLParticipant> makeParticipant(const QJsonObject &fields, const QJsonObject &callState = {})
{
    auto participant = KLParticipant::createWithDictionary(fields);
    participant->setCallState(KLCallState::createWithDictionary(callState));
    return participant;
}

} // namespace kltest
