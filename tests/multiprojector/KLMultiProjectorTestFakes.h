#pragma once

// Test doubles for the multi-projector session: a meeting with hand-made feeds and flags, a
// meeting API that records the multi-projector operations and keeps their completion blocks,
// a window that records what it was told, and a host pipe that keeps its messages.

#include "conference/KLFeedClient.h"
#include "conference/KLMultiProjectorContext.h"
#include "gateway/KLSDKMeetingApiProtocol.h"
#include "host/KLMessageMode.h"
#include "model/KLCallState.h"
#include "model/KLParticipant.h"
#include "multiprojector/KLMultiProjectorView.h"
#include "presentation/KLDialogQueue.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <mutex>
#include <vector>

namespace kltest {

/// A feed for `uuid`; with `memberType` 0 it has no participant. `callState` as the meeting
/// service writes it ("online", "cellphone", "extension", "multiScreen").
inline std::shared_ptr<KLFeedClient> makeFeed(const QString &uuid, int memberType,
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

/// Call states used throughout: audio connected for a person (cell phone) or a room
/// (extension), receiving, sending.
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
};

class ProjectorRecordingApi : public KLSDKMeetingApiProtocol {
public:
    std::vector<ProjectorCall> calls(const QString &name = {}) const
    {
        std::lock_guard lock(m_mutex);
        std::vector<ProjectorCall> found;
        for (const auto &call : m_calls) {
            if (name.isEmpty() || call.name == name)
                found.push_back(call);
        }
        return found;
    }
    /// Runs the success (or failure) block of the first call named `name` not yet answered.
    bool answer(const QString &name, bool ok, const QJsonValue &payload = {})
    {
        ProjectorCall call;
        {
            std::lock_guard lock(m_mutex);
            auto it = std::find_if(m_pending.begin(), m_pending.end(),
                                   [&](const ProjectorCall &c) { return c.name == name; });
            if (it == m_pending.end())
                return false;
            call = *it;
            m_pending.erase(it);
        }
        if (ok)
            call.success(payload);
        else
            call.failure(QStringLiteral("500"), QStringLiteral("server error"));
        return true;
    }

    using S = KLApiSuccessBlock;
    using F = KLApiFailureBlock;
    using P = const KLParticipantPtr &;
    using V = const QJsonValue &;
    using T = const QString &;
    using C = const KLMeetingConfigPtr &;
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

    // Operations the session never uses: recorded by name, so a wrong call shows up.
    void muteMemberWithAppointment(P, bool, S, F) override { unused("mute"); }
    void vmuteMemberWithAppointment(P, bool, S, F) override { unused("vmute"); }
    void callMeetingMemberWithAppointment(P, T, T, S, F) override { unused("call"); }
    void hangUpMeetingMemberWithAppointment(P, T, S, F) override { unused("hangUp"); }
    void robRoomWithAppointment(V, T, S, F) override { unused("robRoom"); }
    void addMeetingMemberWithAppointment(V, const QList<KLParticipantPtr> &, S, F) override { unused("addMember"); }
    void getAppointmentDetailById(T, S, F) override { unused("detail"); }
    void findMemberWithKeywords(T, S, F) override { unused("find"); }
    void getMeetingInfoWithConfig(C, const std::optional<QJsonObject> &, T, S, F) override { unused("info"); }
    void finishAppointmentWithConfig(C, S, F) override { unused("finish"); }
    void getMeetingRoomStatusWithAppointment(V, T, S, F) override { unused("roomsStatus"); }
    void openSummaryWithAppointment(P, T, bool, bool, S, F) override { unused("summary"); }
    void changeMemberSummaryLangWithAppointment(P, T, S, F) override { unused("lang"); }
    void stopSummaryWithAppointment(P, S, F) override { unused("stopSummary"); }
    void getCallInNumberByLetterWithSuccessBlock(S, F) override { unused("callIn"); }
    void getClientConfigWithConfig(C, S, F) override { unused("clientConfig"); }
    void getClientSwitchConfigWithConfig(C, S, F) override { unused("switchConfig"); }
    void savePcJumpStatusWithUuid(T, T, S, F) override { unused("jump"); }
    void getMeetingContactWithSuccessBlock(S, F) override { unused("contact"); }
    void getIceServerListWithConfig(C, S, F) override { unused("ice"); }
    void getMeetingInfoByPassword(T, S, F) override { unused("password"); }
    void multiScreenRobRoomWithAppointmentId(V, T, bool, S, F) override { unused("multiRob"); }
    void shareMultiScreenAllWithAppointmentId(V, V, bool, bool, bool, S, F) override { unused("shareAll"); }
    void addMemberMultiScreenAppointmentId(V, bool, const QJsonArray &, S, F) override { unused("multiAdd"); }
    void findUserAndRoomWithKey(T, S, F) override { unused("findUser"); }
    bool isNetWorkAvailable() const override { return true; }
    void setConferenceChannel(std::shared_ptr<KLConferenceSignalChannel>) override {}

private:
    void add(ProjectorCall call)
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(call);
        m_pending.push_back(std::move(call));
    }
    void unused(const char *name) { add({name, {}, [](const QJsonValue &) {}, [](T, T) {}}); }

    mutable std::mutex m_mutex;
    std::vector<ProjectorCall> m_calls;
    std::vector<ProjectorCall> m_pending;
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
        for (const auto &feed : feeds) {
            if (feed->uuid() == uuid)
                return feed;
        }
        return nullptr;
    }
    FeedPtr sharedFeed() const override { return share; }
    bool isOpenAudioMeetingForMultiProjector() const override { return audioOpen; }
    void setIsOpenAudioMeetingForMultiProjector(bool open) override { audioOpen = open; }
    bool openAudioFromJSForMultiProjector() const override { return withAudio; }
    bool isOnlyPersonFromEnterForMultiProjector() const override { return onlyPerson; }
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
    bool withAudio = false;
    bool onlyPerson = false;
    bool stopping = false;
    int leaves = 0;
};

class RecordingProjectorView : public KLMultiProjectorView {
public:
    void setWindowTitle(const QString &t) override { title = t; }
    void showContent() override { ++contentShown; }
    void startMProjectorForSender() override { ++castViewStarted; }
    void showMultiProjectorConfirmDialog(const QList<std::shared_ptr<KLFeedClient>> &rooms, bool,
                                         bool isRoomBusy, bool) override
    {
        busyRooms = rooms;
        busyFlag = isRoomBusy;
    }
    void showHubLeaveDialog() override { ++hubLeaveDialogs; }
    void setKickByOthers() override { ++kicks; }
    void updateShareBar(const KLMultiProjectorShareBarState &state) override { bar = state; }
    bool isFullScreen() const override { return fullScreen; }
    void leaveFullScreen() override { fullScreen = false; }
    void hideWindow() override { ++hides; }

    QString title;
    int contentShown = 0;
    int castViewStarted = 0;
    QList<std::shared_ptr<KLFeedClient>> busyRooms;
    bool busyFlag = false;
    int hubLeaveDialogs = 0;
    int kicks = 0;
    KLMultiProjectorShareBarState bar;
    bool fullScreen = false;
    int hides = 0;
};

/// The dialog window: what it shows now.
class ProjectorDialogWindow : public KLDialogView {
public:
    void showDialog(const KLDialogPresentation &dialog) override { visible = true; current = dialog; }
    void closeDialog() override { visible = false; }
    bool visible = false;
    KLDialogPresentation current;
};

/// A host pipe that keeps its messages as (path, body).
class HostRecorder {
public:
    struct Message {
        QString path;
        QJsonObject body;
    };
    HostRecorder()
        : mode([this](const QByteArray &text) {
              const QJsonObject message = QJsonDocument::fromJson(text).object();
              std::lock_guard lock(m_mutex);
              m_messages.push_back({message.value("path").toString(), message.value("body").toObject()});
          })
    {
    }
    /// Bodies of the messages on `path`, after the message queue caught up.
    std::vector<QJsonObject> bodies(const QString &path)
    {
        mode.queue().sync([] {});
        std::lock_guard lock(m_mutex);
        std::vector<QJsonObject> found;
        for (const auto &m : m_messages) {
            if (m.path == path)
                found.push_back(m.body);
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
    std::vector<Message> m_messages;

public:
    KLMessageMode mode;
};

} // namespace kltest
