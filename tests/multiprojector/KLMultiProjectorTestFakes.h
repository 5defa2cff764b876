#pragma once

// Test doubles for the multi-projector session: a meeting with hand-made feeds and flags, a
// meeting API that records every operation and keeps its completion blocks, a window that
// records what it was told, and a host pipe that keeps its messages.

#include "KLSilentMeetingApi.h"
#include "conference/registry/KLFeedClient.h"
#include "conference/multiprojector/KLMultiProjectorContext.h"
#include "host/KLMessageMode.h"
#include "model/KLCallState.h"
#include "model/KLParticipant.h"
#include "multiprojector/KLMultiProjectorView.h"
#include "presentation/KLDialogQueue.h"

#include <QJsonDocument>
#include <QStringList>

#include <mutex>
#include <vector>

namespace kltest {

using FeedPtr = KLMultiProjectorContext::FeedPtr;

/// A feed for `uuid`; with `memberType` 0 it has no participant. `callState` as the meeting
/// service writes it ("online", "cellphone", "extension", "multiScreen").
inline FeedPtr makeFeed(const QString &uuid, int memberType,
                        const QJsonObject &callState = {})
{
    std::shared_ptr<KLParticipant> participant;
    if (memberType != 0) {
        participant = KLParticipant::createWithDictionary(
            {{"memberUUID", uuid}, {"memberType", memberType}, {"displayName", uuid}});
        participant->setCallState(KLCallState::createWithDictionary(callState));
    }
    return KLFeedClient::create(QJsonValue(QStringLiteral("880012345")), uuid, {}, participant);
}

/// Call states: audio on for a person (cell phone) or a room (extension), receiving, sending.
inline QJsonObject personAudio() { return {{"online", 1}, {"cellphone", 1}}; }
inline QJsonObject roomAudio() { return {{"online", 1}, {"extension", 1}}; }
inline QJsonObject receiving() { return {{"online", 1}, {"multiScreen", 1}}; }
inline QJsonObject sending() { return {{"online", 1}, {"multiScreen", 2}}; }

/// One meeting-service operation as the session asked for it.
struct ProjectorCall {
    QString name;
    QStringList args;
    KLApiSuccessBlock success;
    KLApiFailureBlock failure;
    bool answered = false;
};

class ProjectorRecordingApi : public SilentMeetingApi {
public:
    std::vector<ProjectorCall> calls(const QString &name = {}) const
    {
        std::lock_guard lock(m_mutex);
        std::vector<ProjectorCall> found;
        std::copy_if(m_calls.begin(), m_calls.end(), std::back_inserter(found),
                     [&](const ProjectorCall &c) { return name.isEmpty() || c.name == name; });
        return found;
    }
    /// Runs the success (or failure) block of the first call named `name` not yet answered.
    bool answer(const QString &name, bool ok, const QJsonValue &payload = {})
    {
        std::unique_lock lock(m_mutex);
        auto it = std::find_if(m_calls.begin(), m_calls.end(),
                               [&](const ProjectorCall &c) { return c.name == name && !c.answered; });
        if (it == m_calls.end())
            return false;
        it->answered = true;
        const ProjectorCall call = *it;
        lock.unlock();
        ok ? call.success(payload) : call.failure(QStringLiteral("500"), QStringLiteral("server error"));
        return true;
    }

    static QString text(V value) { return value.isString() ? value.toString() : QString::number(value.toInteger()); }
    static QString flag(bool value) { return value ? QStringLiteral("YES") : QStringLiteral("NO"); }

    void notifyItMonitorForMultiProjectorWithType(T type, T project, T meeting, T status, S s, F f) override
    { add({"itMonitor", {type, project, meeting, status}, s, f}); }
    void openAudioForMultiProjector(V id, S s, F f) override { add({"openAudio", {text(id)}, s, f}); }
    void getStartMultiScreenRoomStatusWithAppointmentId(V id, S s, F f) override
    { add({"roomStatus", {text(id)}, s, f}); }
    void shareMultiScreenMemberForMemberUuid(T uuids, V type, bool share, bool call, S s, F f) override
    { add({"shareMember", {uuids, text(type), flag(share), flag(call)}, s, f}); }
    void notifyMultiScreenWithAppointmentId(V id, T uuid, V status, S s, F f) override
    { add({"notify", {text(id), uuid, text(status)}, s, f}); }
    // Any other operation is recorded by name, so a wrong call shows up in `calls()`.
    void unused(const char *name) override { add({name, {}, [](V) {}, [](T, T) {}}); }

private:
    void add(ProjectorCall call)
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(std::move(call));
    }

    mutable std::mutex m_mutex;
    std::vector<ProjectorCall> m_calls;
};

class FakeProjectorContext : public KLMultiProjectorContext {
public:
    std::shared_ptr<KLSDKMeetingApiProtocol> meetingApi() const override { return api; }
    QString appointmentId() const override { return QStringLiteral("880012345"); }
    QString projectId() const override { return sender ? QStringLiteral("P-77") : QString(); }
    bool isSender() const override { return sender; }
    FeedPtr publisher() const override { return own; }
    QList<FeedPtr> registeredFeeds() const override { return feeds; }
    FeedPtr clientWithUUID(const QString &uuid) const override
    {
        auto it = std::find_if(feeds.begin(), feeds.end(), [&](const FeedPtr &f) { return f->uuid() == uuid; });
        return it == feeds.end() ? nullptr : *it;
    }
    FeedPtr sharedFeed() const override { return share; }
    bool isOpenAudioMeetingForMultiProjector() const override { return audioOpen; }
    void setIsOpenAudioMeetingForMultiProjector(bool open) override { audioOpen = open; }
    bool openAudioFromJSForMultiProjector() const override { return false; }
    bool isOnlyPersonFromEnterForMultiProjector() const override { return false; }
    bool isStopMultiScreenStage() const override { return stopping; }
    void setIsStopMultiScreenStage(bool value) override { stopping = value; }
    void leave() override { ++leaves; }

    /// Registers the own feed and, for a sharer, its screen share.
    void addOwnFeed(bool casting)
    {
        own = makeFeed(QStringLiteral("self"), 1, {{"online", 1}});
        own->setIsPublisher(true);
        feeds.append(own);
        if (casting) {
            share = makeFeed(QStringLiteral("screen-self"), 0);
            share->setMtype(QStringLiteral("screen"));
            own->setAssocicateShareFeed(share);
            feeds.append(share);
        }
    }

    std::shared_ptr<ProjectorRecordingApi> api = std::make_shared<ProjectorRecordingApi>();
    QList<FeedPtr> feeds;
    FeedPtr own;
    FeedPtr share;
    bool sender = true;
    bool audioOpen = false;
    bool stopping = false;
    int leaves = 0;
};

class RecordingProjectorView : public KLMultiProjectorView {
public:
    void showContent() override { ++contentShown; }
    void startMProjectorForSender() override { ++castViewStarted; }
    void showMultiProjectorConfirmDialog(const QList<FeedPtr> &rooms, bool, bool isRoomBusy, bool) override
    {
        busyRooms = rooms;
        busyFlag = isRoomBusy;
    }
    void setKickByOthers() override { ++kicks; }
    // What the tests here do not look at.
    void setWindowTitle(const QString &) override {}
    void showHubLeaveDialog() override {}
    void updateShareBar(const KLMultiProjectorShareBarState &) override {}
    bool isFullScreen() const override { return false; }
    void leaveFullScreen() override {}
    void hideWindow() override {}

    int contentShown = 0;
    int castViewStarted = 0;
    QList<FeedPtr> busyRooms;
    bool busyFlag = false;
    int kicks = 0;
};

/// A host pipe that keeps its messages.
class HostRecorder {
public:
    /// Bodies of the messages on `path`, after the message queue caught up.
    std::vector<QJsonObject> bodies(const QString &path)
    {
        mode.queue().sync([] {});
        std::lock_guard lock(m_mutex);
        std::vector<QJsonObject> found;
        for (const QJsonObject &message : m_messages) {
            if (message.value("path").toString() == path)
                found.push_back(message.value("body").toObject());
        }
        return found;
    }
    QStringList actions()
    {
        QStringList names;
        for (const auto &body : bodies(QStringLiteral("/kelvo/action")))
            names.append(body.value("btn").toString());
        return names;
    }
    std::vector<int> workStatuses()
    {
        std::vector<int> statuses;
        for (const auto &body : bodies(QStringLiteral("/projector/NotifyWorkStatus")))
            statuses.push_back(body.value("status").toInt());
        return statuses;
    }

private:
    // Declared before `mode`: its queue may deliver the first message while the recorder is
    // still being constructed, so the list and its lock must exist first.
    std::mutex m_mutex;
    std::vector<QJsonObject> m_messages;

public:
    KLMessageMode mode{[this](const QByteArray &text) {
        std::lock_guard lock(m_mutex);
        m_messages.push_back(QJsonDocument::fromJson(text).object());
    }};
};

} // namespace kltest
