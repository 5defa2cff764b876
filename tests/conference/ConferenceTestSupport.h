#pragma once

// What a conference-service test watches: the meeting's event delegate, the layout (data
// source) and the dialog window, each recording what reached it. Calls arrive on many threads,
// so every recorder guards its lists.

#include "conference/registry/KLConferenceManagerDataSource.h"
#include "model/KLSDKMeetingEventDelegate.h"
#include "presentation/KLDialogQueue.h"

#include <KelvoUISDK/KLSDKMeetingUser.h>

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
    void onMeetingUserStatusChange(const std::shared_ptr<KLSDKMeetingUser> &user, int event) override
    {
        std::lock_guard lock(m_mutex);
        m_userEvents.push_back(event);
        m_userEventMembers.push_back(user ? user->uuid : QString());
    }
    int joined() const { std::lock_guard lock(m_mutex); return m_joined; }
    std::vector<Error> errors() const { std::lock_guard lock(m_mutex); return m_errors; }
    std::vector<int> userEvents() const { std::lock_guard lock(m_mutex); return m_userEvents; }
    /// How often `event` was reported for the member `uuid`: scenario members speak on their
    /// own, so a count of all events does not tell that a pushed event has been handled.
    int userEventCount(const QString &uuid, int event) const
    {
        std::lock_guard lock(m_mutex);
        int count = 0;
        for (size_t i = 0; i < m_userEvents.size(); ++i)
            count += m_userEvents[i] == event && m_userEventMembers[i] == uuid;
        return count;
    }

    /// Runs inside onMeetingJoined (set before the join starts).
    KLBlock onJoinedHook;

private:
    mutable std::mutex m_mutex;
    int m_joined = 0;
    std::vector<Error> m_errors;
    std::vector<int> m_userEvents;
    std::vector<QString> m_userEventMembers;
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

#include "KLSimMeetingSetup.h"

#include "conference/service/KLConferenceService.h"
#include "model/KLSDKMeetingConfigInternal.h"
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
        QString error;
        sim = kltest::startSuiteSimulator(&meeting, &error);
        ASSERT_TRUE(sim) << error.toStdString();
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
        platform = kltest::installGrantingPlatform();
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
        return KLSDKMeetingConfigInternal::create(kltest::simMeetingDictionary(*sim, meeting, internal));
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
