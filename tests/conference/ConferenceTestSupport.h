#pragma once

// What a conference-service test watches: the meeting's event delegate, the layout (data
// source) and the dialog window, each recording what reached it. Calls arrive on many threads,
// so every recorder guards its lists.

#include "conference/registry/KLConferenceManagerDataSource.h"
#include "model/KLSDKMeetingEventDelegate.h"
#include "presentation/KLDialogQueue.h"

#include <QStringList>

#include <mutex>
#include <vector>

class RecordingMeetingDelegate final : public KLSDKMeetingEventDelegate {
public:
    struct Error {
        int code;
        QString reason;
    };
    void onMeetingStatusChange(int) override {}
    void onApplicationStatusChange(int, const QString &) override {}
    void onMeetingJoined() override
    {
        KLBlock hook;
        {
            std::lock_guard lock(m_mutex);
            ++m_joined;
            hook = onJoinedHook;
        }
        if (hook)
            hook();
    }
    void onError(int code, const QString &reason) override
    {
        std::lock_guard lock(m_mutex);
        m_errors.push_back({code, reason});
    }
    void onMeetingFinish(int, const QString &) override {}
    void onMeetingUserStatusChange(const std::shared_ptr<KLSDKMeetingUser> &, int event) override
    {
        std::lock_guard lock(m_mutex);
        m_userEvents.push_back(event);
    }
    int joined() const { std::lock_guard lock(m_mutex); return m_joined; }
    std::vector<Error> errors() const { std::lock_guard lock(m_mutex); return m_errors; }
    std::vector<int> userEvents() const { std::lock_guard lock(m_mutex); return m_userEvents; }

    /// Runs inside onMeetingJoined (set before the join starts).
    KLBlock onJoinedHook;

private:
    mutable std::mutex m_mutex;
    int m_joined = 0;
    std::vector<Error> m_errors;
    std::vector<int> m_userEvents;
};

class RecordingLayout final : public KLConferenceManagerDataSource {
public:
    void clientRendererViewOnMainScreen(const std::shared_ptr<KLFeedClient> &) override { bump(m_mainChanges); }
    void clientRendererViewOnSmallScreen() override {}
    void updateRendererViewContent(const std::shared_ptr<KLFeedClient> &) override {}
    std::shared_ptr<KLRTCMediaVideoRenderView> rendererViewForClient(const std::shared_ptr<KLFeedClient> &) override { return nullptr; }
    std::shared_ptr<KLRTCMediaVideoRenderView> previewRendererViewForClient(const std::shared_ptr<KLFeedClient> &) override { return nullptr; }
    void enterRoomSuccess() override { bump(m_entered); }
    void leaveRoomWithReason(int reason) override
    {
        std::lock_guard lock(m_mutex);
        m_leaveReasons.push_back(reason);
    }
    void refreshRoom() override { bump(m_refreshes); }

    int entered() const { std::lock_guard lock(m_mutex); return m_entered; }
    int refreshes() const { std::lock_guard lock(m_mutex); return m_refreshes; }
    int mainChanges() const { std::lock_guard lock(m_mutex); return m_mainChanges; }
    std::vector<int> leaveReasons() const { std::lock_guard lock(m_mutex); return m_leaveReasons; }

private:
    void bump(int &counter) { std::lock_guard lock(m_mutex); ++counter; }
    mutable std::mutex m_mutex;
    int m_entered = 0;
    int m_refreshes = 0;
    int m_mainChanges = 0;
    std::vector<int> m_leaveReasons;
};

/// The dialog window on the main thread: what it was asked to show.
class RecordingDialogWindow final : public KLDialogView {
public:
    void showDialog(const KLDialogPresentation &dialog) override
    {
        visible = true;
        current = dialog;
        titles.append(dialog.title);
    }
    void closeDialog() override { visible = false; }

    bool visible = false;
    KLDialogPresentation current;
    QStringList titles;
};

#include "MeetingSim.h"

#include "conference/service/KLConferenceService.h"
#include "host/UserPersistentData.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "platform/KLFakePlatform.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"

#include "KLTestSupport.h"

#include <gtest/gtest.h>

#include <QJsonArray>

/// One simulator for the whole suite, a platform that grants capture, the dialog window
/// recorded, and the meeting dictionaries of the scenario's first meeting.
class ConferenceSimFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sim = new kelvosim::MeetingSim();
        QString error;
        ASSERT_TRUE(sim->start(&error)) << error.toStdString();
        meeting = sim->scenario().value("meetings").toArray().first().toObject();
        UserPersistentData &data = UserPersistentData::sharedInstance();
        data.writeAccessToken(sim->scenario().value("accessToken").toString());
        data.writeWorkId(QStringLiteral("E10001"));
        data.writeEnterAudioMuteFlag(false);
        data.writeEnterVideoMuteFlag(false);
    }
    static void TearDownTestSuite()
    {
        delete sim;
        sim = nullptr;
    }

    void SetUp() override
    {
        KLLocalization::setLanguage(KLLocalization::Language::English);
        sim->clearFaults();
        sim->clearRequests();
        platform = std::make_shared<KLFakePlatform>();
        platform->setOsVersion(KLOSVersion{13, 0, 0});
        platform->setAuthorizationStatus(KLMediaType::Audio, KLAuthorizationStatusAuthorized);
        platform->setAuthorizationStatus(KLMediaType::Video, KLAuthorizationStatusAuthorized);
        platform->setHasVideoCaptureDevice(true);
        KLPlatform::install(platform);
        KLToastManager::shared().setView(nullptr);
        KLDialogQueue::shared().setView(dialogs);
    }

    void TearDown() override
    {
        if (service)
            service->leave();
        service.reset();
        kltest::pumpEvents(50);
        // Dialogs left open by a test must not be seen by the next one.
        while (dialogs->visible)
            KLDialogQueue::shared().buttonPressed(dialogs->current.dialogId, KLDialogButton::First);
        KLDialogQueue::shared().setView(nullptr);
        KLPlatform::install(nullptr);
    }

    std::shared_ptr<KLSDKMeetingConfigInternal> config(bool internal) const
    {
        return KLSDKMeetingConfigInternal::create(
            {{"meetingUUID", meeting.value("meetingUUID").toString()},
             {"memberUUID", meeting.value("selfMemberUUID").toString()},
             {"meetingToken", meeting.value("meetingToken").toString()},
             {"meetingDomain", QStringLiteral("127.0.0.1:%1").arg(sim->port())},
             {"apiBaseUrl", sim->baseUrl()},
             {"itMonitorBaseUrl", sim->baseUrl()},
             {"caFile", sim->caFile()},
             {"vanInternal", internal}});
    }

    void join(bool internal = true)
    {
        service = KLConferenceService::create(config(internal), delegate);
        service->setDataSource(layout);
        service->joinMeeting();
    }

    static inline kelvosim::MeetingSim *sim = nullptr;
    static inline QJsonObject meeting;
    std::shared_ptr<KLFakePlatform> platform;
    std::shared_ptr<RecordingMeetingDelegate> delegate = std::make_shared<RecordingMeetingDelegate>();
    std::shared_ptr<RecordingLayout> layout = std::make_shared<RecordingLayout>();
    std::shared_ptr<RecordingDialogWindow> dialogs = std::make_shared<RecordingDialogWindow>();
    std::shared_ptr<KLConferenceService> service;
};
