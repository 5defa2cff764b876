#pragma once

// A meeting joined against the simulator with the built-in engine, drawn by the video area and
// the toolbar in one window, with the layout's calls forwarded as the window's layout widget
// forwards them.

#include "../conference/ConferenceTestSupport.h"

#include "MeetingSim.h"

#include "conference/service/KLConferenceService.h"
#include "media/KLRTCMediaSDK.h"
#include "model/KLUISDKGuiConfigInternal.h"
#include "ui/tiles/KLMeetingVideoArea.h"
#include "ui/toolbar/KLHubWidget.h"
#include "window/KLHubViewController.h"
#include "window/KLMeetingLayoutViewController.h"

#include <QPointer>
#include <QVBoxLayout>

namespace kltest {

/// The layout's view calls, forwarded to the video area.
class VideoAreaForwarder final : public KLMeetingLayoutView {
public:
    explicit VideoAreaForwarder(KLMeetingVideoArea *area) : m_area(area) {}
    void showLoading(bool loading) override { entered = entered || !loading; }
    void showLeavePage() override {}
    void showMainClient(const std::shared_ptr<KLFeedClient> &feed) override { if (m_area) m_area->showMainClient(feed); }
    void refreshSmallClients() override { if (m_area) m_area->refreshSmallClients(); }
    void loadRatePage(const QString &) override {}
    void showRatePage() override {}
    void startMeetingTimer() override { if (m_area) m_area->enterRoomSuccess(); }
    void meetingLeft() override { if (m_area) m_area->stopMeetingTimer(); }
    void clientLeave(const std::shared_ptr<KLFeedClient> &feed) override { if (m_area) m_area->clientLeave(feed); }
    void membersChanged() override { if (m_area) m_area->refreshTiles(); }
    bool entered = false;

private:
    QPointer<KLMeetingVideoArea> m_area;
};

class DrawnMeetingFixture : public ConferenceSimFixture {
protected:
    static constexpr int kExtraStreams = 2;

    void SetUp() override
    {
        ConferenceSimFixture::SetUp();
        sim->setRegisterMode(kelvosim::MeetingSim::RegisterMode::Accept);
        KLRTCMediaSDK::install(nullptr); // the built-in engine
        // Two more people sending video, so that the strip can fill up beside the big view.
        for (int i = 1; i <= kExtraStreams; ++i)
            sim->addRemoteStream(QStringLiteral("guest-%1").arg(i), QStringLiteral("Guest %1").arg(i), false);
    }

    void TearDown() override
    {
        if (service)
            service->leave();
        window.reset(); // the widgets go before the controllers they draw
        hub.reset();
        layoutController.reset();
        for (int i = 1; i <= kExtraStreams; ++i)
            sim->removeRemoteStream(QStringLiteral("guest-%1").arg(i));
        ConferenceSimFixture::TearDown();
    }

    /// Joins as an external user (operations over signalling) in a drawn window.
    void joinDrawn()
    {
        service = KLConferenceService::create(config(false), delegate);
        auto gui = std::make_shared<KLUISDKGuiConfigInternal>(QVariantMap{});
        layoutController = KLMeetingLayoutViewController::create(service, gui, delegate);
        hub = KLHubViewController::create(service, layoutController, gui, delegate);
        window = std::make_unique<QWidget>();
        auto *column = new QVBoxLayout(window.get());
        column->setContentsMargins(0, 0, 0, 0);
        area = new KLMeetingVideoArea(layoutController, window.get());
        hubWidget = new KLHubWidget(hub, window.get());
        column->addWidget(area, 1);
        column->addWidget(hubWidget);
        forwarder = std::make_shared<VideoAreaForwarder>(area);
        layoutController->setView(forwarder);
        window->resize(1024, 640);
        window->show();
        service->joinMeeting();
    }

    bool waitEntered() { return kltest::waitUntil([this] { return forwarder->entered; }, 20000); }

    std::shared_ptr<KLMeetingLayoutViewController> layoutController;
    std::shared_ptr<KLHubViewController> hub;
    std::shared_ptr<VideoAreaForwarder> forwarder;
    std::unique_ptr<QWidget> window;
    KLMeetingVideoArea *area = nullptr;
    KLHubWidget *hubWidget = nullptr;
};

} // namespace kltest
