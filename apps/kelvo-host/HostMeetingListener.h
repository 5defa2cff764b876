#pragma once

// kelvo-host's side of the meeting: the delegate that hears the four callbacks and the
// presenter that stands in for the window's dialogs and notices. Each becomes one event.

#include <KelvoUISDK/KLUISDKMeetingEventDelegate.h>
#include <KelvoUISDK/KLUISDKMeetingPresenter.h>

#include <functional>

namespace kelvohost {

class HostEventSink;

class HostMeetingListener final : public KLUISDKMeetingEventDelegate, public KLUISDKMeetingPresenter {
public:
    /// `onClosed` runs on the main thread after the "closed" event, with the process's exit
    /// code: 1 when the meeting could not start (an error came and "joined" never did), else 0.
    HostMeetingListener(HostEventSink &sink, std::function<void(int exitCode)> onClosed);

    // KLUISDKMeetingEventDelegate
    void onMeetingJoined() override;
    void onError(int code, const QString &reason) override;
    void onMeetingFinish(int reason, const QString &text) override;
    void onMeetingUserStatusChange(const std::shared_ptr<KLSDKMeetingUser> &user, int event) override;

    // KLUISDKMeetingPresenter
    void showDialog(const KLUISDKDialog &dialog) override;
    void closeDialog() override;
    void showToast(int kind, const QString &key, const QString &text) override;
    void noticeChanged(int kind, const QString &text, bool shown) override;
    void showChatMessage(const QString &senderUuid, const QString &text) override;
    void showRatePage(const QString &url) override;
    void windowClosed() override;
    void membersChanged(const QList<KLUISDKMember> &online, const QList<KLUISDKMember> &offline) override;
    void toolbarChanged(const QList<KLUISDKToolbarButton> &buttons) override;
    void callRoomsChanged(const QList<KLUISDKMember> &rooms, bool shown) override;
    void showEnterName(const QString &error) override;
    void searchResults(const QList<KLUISDKSearchResult> &results) override;
    void clipboardWritten(const QString &text) override;

private:
    HostEventSink &m_sink;
    std::function<void(int exitCode)> m_onClosed;
    bool m_joined = false;
    bool m_failed = false;
};

} // namespace kelvohost
