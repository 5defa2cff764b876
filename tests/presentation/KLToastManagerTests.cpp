#include "presentation/KLDialogQueue.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLTimeScale.h"

#include "KLTestSupport.h"

#include <gtest/gtest.h>

namespace {

/// Records what the manager asks of the three notice areas and keeps their visibility.
class RecordingToastView : public KLToastView {
public:
    bool isToastVisible() const override { return toastVisible; }
    void showToast(const KLToastMessage &message) override
    {
        toastVisible = true;
        shown.append(message.text());
    }
    void hideToast() override
    {
        toastVisible = false;
        ++hides;
    }
    bool isNetToastVisible() const override { return netVisible; }
    void showNetToast(const QString &text, const KLToastStyle &style, int offset) override
    {
        netVisible = true;
        netText = text;
        netStyle = style;
        netOffset = offset;
    }
    void placeNetToast(int offset) override { netOffset = offset; }
    void hideNetToast() override { netVisible = false; }
    bool isPermanentToastVisible() const override { return permanentVisible; }
    void showPermanentToast(const QString &text, const KLToastStyle &style) override
    {
        permanentVisible = true;
        permanentText = text;
        permanentStyle = style;
    }
    void hidePermanentToast() override { permanentVisible = false; }
    void showOnePersonToast(const KLOnePersonToast &toast) override { onePerson = toast; }
    void hideOnePersonToast() override { onePerson.reset(); }

    std::optional<KLOnePersonToast> onePerson;
    bool toastVisible = false;
    QStringList shown;
    int hides = 0;
    bool netVisible = false;
    QString netText;
    KLToastStyle netStyle;
    int netOffset = 1000;
    bool permanentVisible = false;
    QString permanentText;
    KLToastStyle permanentStyle;
};

class TitleDialogView : public KLDialogView {
public:
    void showDialog(const KLDialogPresentation &dialog) override { shown = dialog; }
    void closeDialog() override {}
    KLDialogPresentation shown;
};

class ToastManager : public testing::Test {
protected:
    void SetUp() override
    {
        KLLocalization::setLanguage(KLLocalization::Language::English);
        manager.setView(view);
    }
    void TearDown() override { KLTimeScale::setFactor(savedFactor); }

    static QString joined(const QString &name)
    {
        return name + QLatin1Char(' ') + KLLocalizedString(QStringLiteral("ONLINE_TOAST_TIPS"));
    }

    const double savedFactor = KLTimeScale::factor();
    KLDialogQueue dialogs;
    KLToastManager manager{&dialogs};
    std::shared_ptr<RecordingToastView> view = std::make_shared<RecordingToastView>();
    const KLToastClient alice{QStringLiteral("u-alice"), QStringLiteral("Alice")};
    const KLToastClient bob{QStringLiteral("u-bob"), QStringLiteral("Bob")};
    const KLToastClient carol{QStringLiteral("u-carol"), QStringLiteral("Carol")};
};

TEST_F(ToastManager, SameKindAboutAnotherPersonReplacesAndSamePersonSameKindQueues)
{
    manager.pushToastMessage(KLToastMessage::memberOnline(alice));
    manager.pushToastMessage(KLToastMessage::memberOnline(bob));  // same kind, other person
    EXPECT_EQ(view->shown, QStringList({joined(QStringLiteral("Alice")), joined(QStringLiteral("Bob"))}));

    manager.pushToastMessage(KLToastMessage::audioMute(bob));  // same person, other kind
    EXPECT_EQ(manager.currentToastMessage()->messageType, KLToastKind::AudioMute);

    manager.pushToastMessage(KLToastMessage::audioMute(bob));  // same kind and person: waits
    manager.pushToastMessage(KLToastMessage::memberOffline(carol));  // nothing in common: waits
    EXPECT_EQ(view->shown.size(), 3);
    ASSERT_EQ(manager.queuedMessages().size(), 2);
    EXPECT_EQ(manager.queuedMessages().at(1).messageType, KLToastKind::MemberOffline);
}

TEST_F(ToastManager, CustomToastsHaveNoPersonSoTheSecondReplacesTheFirst)
{
    manager.pushToastMessage(KLToastMessage::custom(QStringLiteral("one")));
    manager.pushToastMessage(KLToastMessage::custom(QStringLiteral("two")));
    EXPECT_EQ(view->shown, QStringList({QStringLiteral("one"), QStringLiteral("two")}));
    // Another kind without a person has nothing in common with it: it waits.
    manager.pushToastMessage(KLToastMessage::meetingURLCopy());
    EXPECT_EQ(manager.queuedMessages().size(), 1);
}

TEST_F(ToastManager, QueuedNoticesMergeNamesAndDropOutdatedOnesAboutTheSamePerson)
{
    manager.pushToastMessage(KLToastMessage::speakerMute());        // shown, about nobody
    manager.pushToastMessage(KLToastMessage::audioMute(alice));     // queued
    manager.pushToastMessage(KLToastMessage::memberOnline(alice));  // outdates the queued one
    ASSERT_EQ(manager.queuedMessages().size(), 1);
    EXPECT_EQ(manager.queuedMessages().at(0).messageType, KLToastKind::MemberOnline);

    manager.pushToastMessage(KLToastMessage::memberOnline(bob));    // absorbed into Alice's
    manager.pushToastMessage(KLToastMessage::memberOnline(carol));  // and Carol too
    manager.pushToastMessage(KLToastMessage::memberOffline(bob));   // another kind: appended
    const QList<KLToastMessage> queue = manager.queuedMessages();
    ASSERT_EQ(queue.size(), 2);
    EXPECT_EQ(queue.at(0).text(), joined(QStringLiteral("Alice、Bob、Carol")));
    EXPECT_EQ(queue.at(1).messageType, KLToastKind::MemberOffline);
}

TEST_F(ToastManager, TimerShowsQueuedNoticesInTurnThenHides)
{
    KLTimeScale::setFactor(0.01);  // three seconds become 30 ms
    manager.pushToastMessage(KLToastMessage::memberOnline(alice));
    manager.pushToastMessage(KLToastMessage::memberOffline(bob));
    manager.pushToastMessage(KLToastMessage::memberOffline(carol));
    EXPECT_EQ(view->shown.size(), 1);

    ASSERT_TRUE(kltest::waitUntil([&] { return view->hides == 1; }));
    const QString left = QStringLiteral("Bob、Carol ") + KLLocalizedString(QStringLiteral("OFFLINE_TOAST_TIPS"));
    EXPECT_EQ(view->shown, QStringList({joined(QStringLiteral("Alice")), left}));
    EXPECT_FALSE(view->toastVisible);
    EXPECT_FALSE(manager.currentToastMessage().has_value());
}

TEST_F(ToastManager, ResidentToastComesBackAfterTransientOnesAndGoesWhenClosed)
{
    KLTimeScale::setFactor(0.01);
    const QString esc = KLLocalizedString(QStringLiteral("SHARE_SCREEN_ESC_TIPS"));
    view->netVisible = true;
    manager.showResidentToast(KLToastMessage::shareScreenEsc());
    EXPECT_EQ(view->shown, QStringList({esc}));
    EXPECT_EQ(view->netOffset, KLToastManager::kRaisedOffset) << "the resident toast sits in the toast area";

    manager.pushToastMessage(KLToastMessage::memberOnline(alice));
    EXPECT_EQ(view->shown.last(), joined(QStringLiteral("Alice")));
    ASSERT_TRUE(kltest::waitUntil([&] { return view->shown.size() == 3; }));
    EXPECT_EQ(view->shown.last(), esc) << "the area does not hide while a resident message stays";
    EXPECT_EQ(view->hides, 0);
    ASSERT_TRUE(manager.currentResidentToastMessage().has_value());

    manager.closeResidentToast();
    EXPECT_FALSE(view->toastVisible);
    EXPECT_EQ(view->netOffset, 0);
    EXPECT_FALSE(manager.currentResidentToastMessage().has_value());
    manager.closeResidentToast();
    EXPECT_EQ(view->hides, 1) << "closing twice hides once";
}

TEST_F(ToastManager, OnePersonToastRunsItsActionOnlyWhileShown)
{
    int calls = 0;
    EXPECT_FALSE(manager.onePersonToastActionPressed());
    manager.showOnePersonToast({false, QStringLiteral("alone"), QStringLiteral("Weekly"), QStringLiteral("Call all")},
                               [&calls] { ++calls; });
    ASSERT_TRUE(view->onePerson.has_value());
    EXPECT_EQ(view->onePerson->actionText, QStringLiteral("Call all"));
    EXPECT_TRUE(manager.onePersonToastActionPressed());
    EXPECT_EQ(calls, 1);
    manager.hideOnePersonToast();
    EXPECT_FALSE(view->onePerson.has_value());
    EXPECT_FALSE(manager.isOnePersonToastShown());
    EXPECT_FALSE(manager.onePersonToastActionPressed());
    EXPECT_EQ(calls, 1);
}

TEST_F(ToastManager, PermanentNoticeStaysUntilItsOwnKindIsClosed)
{
    KLTimeScale::setFactor(0.01);
    manager.showPermanentMessage(KLPermanentToastKind::CloseSpeakerAndMic);
    EXPECT_EQ(view->permanentText, KLLocalizedString(QStringLiteral("CLOSE_SPEAKER_AND_MIC_TIPS")));
    EXPECT_EQ(view->permanentStyle.icon, KLToastIcon::Information);

    manager.pushToastMessage(KLToastMessage::speakerMute());
    ASSERT_TRUE(kltest::waitUntil([&] { return view->hides == 1; }));
    EXPECT_TRUE(view->permanentVisible);

    manager.closePermanentMessage(KLPermanentToastKind::NetworkLost);
    EXPECT_TRUE(view->permanentVisible);
    EXPECT_EQ(manager.currentPermanentMessageType(), KLPermanentToastKind::CloseSpeakerAndMic);

    manager.closePermanentMessage(KLPermanentToastKind::CloseSpeakerAndMic);
    EXPECT_FALSE(view->permanentVisible);
    EXPECT_EQ(manager.currentPermanentMessageType(), KLPermanentToastKind::None);

    manager.showPermanentMessage(KLPermanentToastKind::NetworkLost);
    EXPECT_EQ(view->permanentStyle.icon, KLToastIcon::Warning);
    EXPECT_EQ(view->permanentStyle.backgroundColor.hex, QStringLiteral("#FDECEA"));
    manager.showPermanentMessage(42);
    EXPECT_TRUE(view->permanentText.isEmpty());
}

TEST_F(ToastManager, WeakTipsPreferTheMainFeedAndMoveAboveOtherNotices)
{
    bool selfReset = false;
    bool otherReset = false;
    KLToastFeed self{{QStringLiteral("u-me"), QStringLiteral("Me")}, 2, [&] { selfReset = true; }};
    KLToastFeed other{alice, 3, [&] { otherReset = true; }};

    manager.checkWeakTips(self, other);
    EXPECT_EQ(view->netText, KLLocalizedString(QStringLiteral("OTHER_DISCONNECT_TIPS")).arg(QStringLiteral("Alice")));
    EXPECT_EQ(view->netOffset, 0);
    manager.netToastDismissedByUser();
    EXPECT_TRUE(otherReset);
    EXPECT_FALSE(selfReset);

    other.isWeakNet = 1;
    manager.pushToastMessage(KLToastMessage::custom(QStringLiteral("copied")));
    manager.checkWeakTips(self, other);
    EXPECT_EQ(view->netText, KLLocalizedString(QStringLiteral("SELF_WEAK_TIPS")));
    EXPECT_EQ(view->netOffset, KLToastManager::kRaisedOffset);

    // The main view showing the own feed in good health hides the tip.
    self.isWeakNet = 1;
    manager.checkWeakTips(self, self);
    EXPECT_FALSE(view->netVisible);
}

TEST_F(ToastManager, IncomingTipsBecomeADialogOrAToastByLevel)
{
    QVariantMap message{{QStringLiteral("errorLevel"), 3},
                        {QStringLiteral("errorMsgEn"), QStringLiteral("english tip")},
                        {QStringLiteral("errorMsgZh"), QStringLiteral("中文提示")}};
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::ToastMessageIncoming, nullptr,
                                                           {{QStringLiteral("message"), message}});
    EXPECT_EQ(view->shown, QStringList({QStringLiteral("english tip")}));

    auto dialogView = std::make_shared<TitleDialogView>();
    dialogs.setView(dialogView);
    message[QStringLiteral("errorLevel")] = 1;
    KLLocalization::setLanguage(KLLocalization::Language::Chinese);
    manager.handleIncomingMessage({{QStringLiteral("message"), message}});
    KLLocalization::setLanguage(KLLocalization::Language::English);
    EXPECT_EQ(dialogView->shown.title, QStringLiteral("中文提示"));
    EXPECT_EQ(dialogView->shown.first.text, QStringLiteral("确定"));
    EXPECT_FALSE(dialogView->shown.second.visible);

    message[QStringLiteral("errorLevel")] = 2;
    manager.handleIncomingMessage({{QStringLiteral("message"), message}});
    EXPECT_EQ(view->shown.size(), 1);
    EXPECT_EQ(dialogs.queuedCount(), 0);
}

} // namespace
