// A host that draws the meeting window itself: dialogs reach it with the keys of their texts,
// notices appear and go once each, and it answers through the entry object, which refuses
// presses and actions that cannot apply. "closed" comes after what the closing reports.

#include "presentation/KLDialogQueue.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"
#include "window/KLPresenterBridge.h"

#include "media/fake/KLFakeMediaSDK.h"
#include "platform/KLFakePlatform.h"

#include <KelvoUISDK/KLUISDKMeetingEventDelegate.h>
#include <KelvoUISDK/KLUISDKMeetingMainWindow.h>

#include "KLTestSupport.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <mutex>

namespace {

QString text(const char *key)
{
    return KLLocalizedString(QString::fromLatin1(key));
}

// Everything the host heard, in order, as short lines.
class RecordingHost final : public KLUISDKMeetingEventDelegate, public KLUISDKMeetingPresenter {
public:
    void onMeetingJoined() override { add("joined"); }
    void onError(int code, const QString &) override { add(QStringLiteral("error %1").arg(code)); }
    void onMeetingFinish(int reason, const QString &) override { add(QStringLiteral("finish %1").arg(reason)); }
    void showDialog(const KLUISDKDialog &dialog) override
    {
        std::lock_guard lock(m_mutex);
        dialogs.push_back(dialog);
        m_lines.append(QStringLiteral("dialog ") + dialog.titleKey);
    }
    void closeDialog() override { add("dialogClosed"); }
    void showToast(int kind, const QString &, const QString &) override { add(QStringLiteral("toast %1").arg(kind)); }
    void noticeChanged(int kind, const QString &, bool shown) override
    {
        add(QStringLiteral("notice %1 %2").arg(kind).arg(shown ? "on" : "off"));
    }
    void showChatMessage(const QString &sender, const QString &message) override { add("chat " + sender + " " + message); }
    void showRatePage(const QString &url) override { add("rate " + url); }
    void windowClosed() override { add("closed"); }

    QStringList lines() const { std::lock_guard lock(m_mutex); return m_lines; }
    std::vector<KLUISDKDialog> dialogs;

private:
    void add(const QString &line) { std::lock_guard lock(m_mutex); m_lines.append(line); }
    mutable std::mutex m_mutex;
    QStringList m_lines;
};

KLDialogButtonLook button(bool visible, const QString &label)
{
    KLDialogButtonLook look;
    look.visible = visible;
    look.text = label;
    return look;
}

} // namespace

TEST(HostPresenter, DialogsCarryTheKeysOfTheirTextsAndKeepButtonPositions)
{
    KLLocalization::setLanguage(KLLocalization::Language::English);
    KLDialogPresentation dialog;
    dialog.dialogId = 7;
    dialog.title = text("LEAVE_ROOM_OTHER_TOAST_DIALOG");
    dialog.titleVisible = true;
    dialog.desc = QStringLiteral("The server's own words");
    dialog.descVisible = true;
    // Two keys read "Got it"; the one the dialog was built with is the one reported.
    dialog.first = button(true, text("LEAVE_ROOM_BY_KICK_TOAST_KNOW"));
    dialog.second = button(false, QStringLiteral("hidden"));
    dialog.third = button(true, text("CANCEL"));

    KLUISDKDialog out = KLPresenterBridge::dialogFor(dialog);
    EXPECT_EQ(out.id, 7u);
    EXPECT_EQ(out.titleKey, "LEAVE_ROOM_OTHER_TOAST_DIALOG");
    EXPECT_EQ(out.descKey, "");
    EXPECT_EQ(out.desc, "The server's own words");
    EXPECT_EQ(out.buttonKeys, (QStringList{"LEAVE_ROOM_BY_KICK_TOAST_KNOW", "", "CANCEL"}));
    EXPECT_EQ(out.buttons, (QStringList{"Got it", "", "Cancel"}));

    text("KNOW_TIPS");
    dialog.third.visible = false;
    dialog.titleVisible = false;
    out = KLPresenterBridge::dialogFor(dialog);
    EXPECT_EQ(out.buttonKeys, (QStringList{"KNOW_TIPS"}));
    EXPECT_TRUE(out.title.isEmpty());
}

TEST(HostPresenter, NoticesAppearAndGoOnceEach)
{
    KLLocalization::setLanguage(KLLocalization::Language::English);
    auto host = std::make_shared<RecordingHost>();
    KLPresenterBridge bridge(host);
    const auto noticeText = [](int kind) { return KLLocalizedString(KLToastManager::permanentMessageKey(kind)); };

    bridge.showPermanentToast(noticeText(KLUISDKNoticeNetworkLost), {});
    bridge.showPermanentToast(noticeText(KLUISDKNoticeMicOff), {});
    bridge.hidePermanentToast();
    bridge.hidePermanentToast();
    bridge.showPermanentToast(QStringLiteral("no notice reads like this"), {});
    bridge.showNetToast(QStringLiteral("weak"), {}, 0);
    bridge.hideNetToast();
    bridge.hideNetToast();
    EXPECT_EQ(host->lines(), (QStringList{"notice 4 on", "notice 4 off", "notice 2 on", "notice 2 off",
                                          "notice 5 on", "notice 5 off"}));
    EXPECT_FALSE(bridge.isPermanentToastVisible());
}

TEST(HostPresenter, TheHostAnswersThroughTheEntryObjectAndHearsClosedLast)
{
    KLLocalization::setLanguage(KLLocalization::Language::English);
    auto engine = KLFakeMediaSDK::installNew();
    auto platform = std::make_shared<KLFakePlatform>();
    KLPlatform::install(platform);
    auto host = std::make_shared<RecordingHost>();
    {
        // Nothing listens on port 9: the meeting service is unreachable, which asks the user.
        KLUISDKMeetingMainWindow entry({}, {{"meetingUUID", "5F3C2A9E-8D41-4B7A-9C62-1E0D7A4B8F21"},
                                            {"memberUUID", "3B7E1C52-9A4D-4F0B-8E21-6C5D2F9A1B01"},
                                            {"meetingToken", "token"},
                                            {"meetingDomain", "127.0.0.1:9"},
                                            {"allowNoMic", false}},
                                       host);
        entry.setPresenter(host);
        EXPECT_FALSE(entry.performUserAction(KLUISDKUserAction::Mute)) << "no window before the join";
        entry.joinMeeting();
        ASSERT_TRUE(kltest::waitUntil([&] { return !host->dialogs.empty(); }, 15000));
        const KLUISDKDialog dialog = host->dialogs.front();
        EXPECT_FALSE(dialog.title.isEmpty());
        EXPECT_FALSE(dialog.buttonKeys.isEmpty());

        EXPECT_FALSE(entry.performUserAction(KLUISDKUserAction::Chat)) << "chat needs its text";
        EXPECT_FALSE(entry.pressDialogButton(dialog.id, 3)) << "the dialog has no third button";
        EXPECT_FALSE(entry.pressDialogButton(dialog.id + 100, 1));
        EXPECT_FALSE(entry.pressDialogButton(dialog.id, 0));
        EXPECT_TRUE(entry.pressDialogButton(dialog.id, 1));
        EXPECT_FALSE(entry.pressDialogButton(dialog.id, 1)) << "a dialog is answered once";

        // However the failure ends (an error closes the window), the host hears of it before
        // "closed", and nothing after.
        ASSERT_TRUE(kltest::waitUntil([&] { return host->lines().contains("closed"); }, 15000));
        kltest::pumpEvents(100);
        const QStringList lines = host->lines();
        EXPECT_EQ(lines.last(), "closed") << lines.join(", ").toStdString();
        EXPECT_TRUE(lines.filter(QRegularExpression("^error ")).size() == 1) << lines.join(", ").toStdString();
        EXPECT_FALSE(entry.hasMeetingWindow());
        EXPECT_FALSE(entry.performUserAction(KLUISDKUserAction::Leave));
    }
    kltest::pumpEvents(20);
    KLDialogQueue::shared().setView(nullptr);
    KLToastManager::shared().setView(nullptr);
    KLPlatform::install(nullptr);
    KLRTCMediaSDK::install(nullptr);
}
