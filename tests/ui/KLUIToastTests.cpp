// Notices drawn in the meeting window against the simulator: a member's mute reads as their
// name and the muted text; two members' join notices merge into one; the network toast sits
// 40 points above the others and its close resets the feed's weak-network state; the
// permanent notice uses its colours; the one-person toast's action.

#include "KLUIWindowFixture.h"

#include <QToolButton>

namespace {

using kltest::UIWindowFixture;
using kltest::waitUntil;

const QString kZhouMing = QStringLiteral("8C1D4E2F-6B3A-4D59-9F70-2A1B3C4D5E02");
const QString kZhaoXue = QStringLiteral("D4E5F6A7-1B2C-4D3E-8F90-3B4C5D6E7F03");

class UIToast : public UIWindowFixture {
protected:
    static KLToastPill *toast() { return layout()->toasts()->toast(); }
    static QString shown() { return toast()->isHidden() ? QString() : toast()->text(); }
};

TEST_F(UIToast, ARemoteMembersMuteShowsTheirNameAndTheMutedText)
{
    join();
    KLTimeScale::setFactor(0.2);  // notices of the join itself go by quickly
    sim->pushEvent(3, kZhouMing);
    const QString expected = QStringLiteral("Zhou Ming ") + KLLocalizedString("MUTED_BY_PERSON");
    QStringList seen;
    ASSERT_TRUE(waitUntil([&] {
        if (seen.isEmpty() || seen.last() != shown())
            seen << shown();
        return shown() == expected;
    }, 5000)) << seen.join(" | ").toStdString();
    // Drawn white on black at 0.8, just above the bottom of the video area.
    EXPECT_EQ(toast()->backgroundColor(), KLTheme::color("#000000", 0.8));
    const QRect video = layout()->toasts()->anchorRect();
    EXPECT_TRUE(video.contains(toast()->geometry())) << "the toast floats over the big view";
    EXPECT_NEAR(toast()->geometry().center().x(), video.center().x(), 1) << "centred";
    // The pill shows as one even over a black picture: its rim, in the text's colour, is
    // lighter than the pill's own dark fill just inside it.
    const QImage drawn = toast()->parentWidget()->grab(toast()->geometry()).toImage();
    const int middle = drawn.width() / 2;
    EXPECT_GT(QColor(drawn.pixel(middle, 0)).lightness(), QColor(drawn.pixel(middle, 3)).lightness() + 20);
    EXPECT_LT(QColor(drawn.pixel(middle, 3)).lightness(), 80) << "the fill is the message's dark colour";
}

TEST_F(UIToast, TwoMembersJoiningWhileAnotherNoticeIsUpMergeIntoOne)
{
    join();
    KLTimeScale::setFactor(0.2);  // three seconds become 0.6 s
    sim->pushEvent(2, kZhouMing);
    sim->pushEvent(2, kZhaoXue);
    const QString offline = KLLocalizedString("OFFLINE_TOAST_TIPS");
    ASSERT_TRUE(waitUntil([&] { return shown() == QStringLiteral("Zhao Xue ") + offline; }, 8000)) << shown().toStdString();
    ASSERT_TRUE(waitUntil([&] { return toast()->isHidden(); }, 8000));

    // Another notice is up; both joins wait behind it and become one notice.
    KLToastManager::shared().pushToastMessage(KLToastMessage::custom(QStringLiteral("Recording saved")));
    ASSERT_EQ(shown(), QStringLiteral("Recording saved"));
    sim->pushEvent(1, kZhouMing);
    sim->pushEvent(1, kZhaoXue);
    const QString joined = QStringLiteral("Zhou Ming、Zhao Xue ") + KLLocalizedString("ONLINE_TOAST_TIPS");
    EXPECT_TRUE(waitUntil([&] { return shown() == joined; }, 8000)) << shown().toStdString();
}

TEST_F(UIToast, InFullScreenOverSomeonesScreenHowToGetOutStaysOnScreen)
{
    join();
    KLTimeScale::setFactor(0.2);
    const QString stream = QStringLiteral("screen-") + kZhouMing;
    sim->addRemoteStream(stream, QStringLiteral("Zhou Ming"), true);
    const QString sharing = QStringLiteral("Zhou Ming ") + KLLocalizedString("SHARE_TOAST_TIPS");
    ASSERT_TRUE(waitUntil([&] { return shown() == sharing; }, 8000)) << shown().toStdString();

    window()->showFullScreen();
    const QString esc = KLLocalizedString("SHARE_SCREEN_ESC_TIPS");
    // The share's own toast runs its time, then the way out stays.
    ASSERT_TRUE(waitUntil([&] { return shown() == esc; }, 5000)) << shown().toStdString();
    waitUntil([] { return false; }, 1000);
    EXPECT_EQ(shown(), esc) << "it does not time out";

    kltest::pressKey(window(), Qt::Key_Escape);
    EXPECT_TRUE(waitUntil([] { return !window()->isFullScreen(); }));
    EXPECT_TRUE(waitUntil([&] { return toast()->isHidden(); }));
    sim->removeRemoteStream(stream);
}

TEST_F(UIToast, NetworkToastRisesAboveTheOthersAndItsCloseResetsTheFeed)
{
    join();
    auto *toasts = layout()->toasts();
    int resets = 0;
    KLToastFeed own{{QStringLiteral("self"), QStringLiteral("me")}, 2, [&resets] { ++resets; }};
    KLToastManager::shared().checkWeakTips(own, own);
    ASSERT_TRUE(waitUntil([&] { return !toasts->netToast()->isHidden(); }));
    EXPECT_EQ(toasts->netToast()->text(), KLLocalizedString("SELF_WEAK_TIPS"));
    EXPECT_EQ(toasts->netToast()->backgroundColor(), KLTheme::color("#FDECEA"));
    const int lowered = toasts->netToast()->y();

    KLToastManager::shared().showPermanentMessage(KLPermanentToastKind::CloseMic);
    ASSERT_TRUE(waitUntil([&] { return !toasts->permanentToast()->isHidden(); }));
    EXPECT_EQ(toasts->netToast()->y(), lowered - 40) << "raised 40 points above the permanent notice";
    EXPECT_EQ(toasts->permanentToast()->text(), KLLocalizedString("CLOSE_MIC_TIPS"));
    KLToastManager::shared().closePermanentMessage(KLPermanentToastKind::CloseMic);
    ASSERT_TRUE(waitUntil([&] { return toasts->netToast()->y() == lowered; })) << "back down once alone";

    toasts->netToast()->closeButton()->click();
    EXPECT_TRUE(toasts->netToast()->isHidden());
    EXPECT_EQ(resets, 1) << "the feed's weak-network state goes back to normal";
}

TEST_F(UIToast, OnePersonToastsActionAsksToCallEveryoneNotHere)
{
    join();
    auto *card = layout()->toasts()->onePersonToast();
    std::weak_ptr<KLMeetingLayoutViewController> controller = layout()->controller();
    KLToastManager::shared().showOnePersonToast(
        *KLMeetingLayoutViewController::onePersonToastFor(std::make_pair(5, 2), {}, "self", "Release planning"),
        [controller] {
            if (auto layout = controller.lock())
                layout->callAll();
        });
    ASSERT_TRUE(waitUntil([&] { return !card->isHidden(); }));
    EXPECT_EQ(card->titleText(), KLLocalizedString("ONE_PERSON_TOAST_ALONE"));
    EXPECT_EQ(card->actionButton()->text(), KLLocalizedString("ONE_PERSON_TOAST_CALL_ALL"));
    EXPECT_TRUE(layout()->toasts()->anchorRect().contains(card->geometry()));
    card->actionButton()->click();
    ASSERT_TRUE(waitUntil([] { return dialog()->isDialogShown(); }));
    EXPECT_EQ(dialog()->titleLabel()->text(), KLLocalizedString("CALL_ALL_TOAST_DIALOG"));
    dialog()->button(KLDialogButton::Second)->click();
    KLToastManager::shared().hideOnePersonToast();
    EXPECT_TRUE(waitUntil([&] { return card->isHidden(); }));
}

} // namespace
