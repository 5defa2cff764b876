#pragma once

// A meeting window over the fake engine and platform whose meeting service is unreachable
// (nothing listens on port 9): the window's own decisions, without a meeting to join.

#include "media/fake/KLFakeMediaSDK.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "model/KLUISDKGuiConfigInternal.h"
#include "platform/KLFakePlatform.h"
#include "window/KLUISDKMeetingWindow.h"

#include <KelvoUISDK/KLUISDKMeetingEventDelegate.h>

#include "KLHubFakeMeeting.h"

#include <mutex>

namespace kltest {

/// What the host heard through its delegate, in order.
class HostCalls final : public KLUISDKMeetingEventDelegate {
public:
    struct Call { QString kind; int code; QString text; };
    void onMeetingJoined() override { add({"joined", 0, {}}); }
    void onError(int code, const QString &reason) override { add({"error", code, reason}); }
    void onMeetingFinish(int reason, const QString &text) override { add({"finish", reason, text}); }
    std::vector<Call> calls() const { std::lock_guard l(m); return m_calls; }

private:
    void add(Call call) { std::lock_guard l(m); m_calls.push_back(std::move(call)); }
    mutable std::mutex m;
    std::vector<Call> m_calls;
};

class OfflineWindowTest : public DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        KLPlatform::install(platform);
    }
    void TearDown() override
    {
        window.reset();
        DialogTest::TearDown();
        KLPlatform::install(nullptr);
        KLRTCMediaSDK::install(nullptr);
    }

    static QVariantMap meeting(bool internal, bool allowNoMic = false)
    {
        return {{"meetingUUID", "5F3C2A9E-8D41-4B7A-9C62-1E0D7A4B8F21"}, {"memberUUID", "3B7E1C52-9A4D-4F0B-8E21-6C5D2F9A1B01"},
                {"meetingToken", "token"}, {"meetingDomain", "127.0.0.1:9"}, {"vanInternal", internal}, {"allowNoMic", allowNoMic}};
    }
    void open(bool internal, bool allowNoMic = false, const QVariantMap &ui = {})
    {
        window = KLUISDKMeetingWindow::create(std::make_shared<KLUISDKGuiConfigInternal>(ui),
                                              KLSDKMeetingConfigInternal::create(meeting(internal, allowNoMic)), host);
    }

    std::shared_ptr<KLFakeMediaSDK> engine = KLFakeMediaSDK::installNew();
    std::shared_ptr<KLFakePlatform> platform = std::make_shared<KLFakePlatform>();
    std::shared_ptr<HostCalls> host = std::make_shared<HostCalls>();
    std::shared_ptr<KLUISDKMeetingWindow> window;
};

} // namespace kltest
