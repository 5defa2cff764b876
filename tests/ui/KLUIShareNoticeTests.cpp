// Sharing the own screen from the drawn window: the share notice comes up on top with the
// sharer's name, its stop button ends the share on the media server and closes it; Escape in
// the notice reaches the share logic (leaving full screen) and shows how to get out.

#include "KLUIWindowFixture.h"

#include "ui/share/KLShareNoticeWindow.h"
#include "ui/share/KLX11ScreenCapture.h"

namespace {

using kltest::waitUntil;

class UIShareNotice : public kltest::UIWindowFixture {
protected:
    static KLHubWidget *hub() { return layout()->hubWidget(); }
    static QString shown()
    {
        auto *pill = layout()->toasts()->toast();
        return pill->isHidden() ? QString() : pill->text();
    }
    void SetUp() override
    {
        UIWindowFixture::SetUp();
        m_seenFrames = sim->mediaFrames().size(); // the simulator serves the whole suite
    }
    /// Frames of `type` the client sent for a share stream during this test.
    int shareFrames(const QString &type) const
    {
        int count = 0;
        const auto frames = sim->mediaFrames().mid(m_seenFrames);
        for (const auto &frame : frames) {
            const QJsonObject &message = frame.message;
            if (message.value("type").toString() == type
                && message.value("streamId").toString().startsWith(QLatin1String("screen-")))
                ++count;
        }
        return count;
    }
    void startSharing()
    {
        ASSERT_FALSE(hub()->isShareNoticeShown());
        hubButton("hub-share-button")->click();
        ASSERT_TRUE(waitUntil([] { return hub()->isShareNoticeShown(); }));
        ASSERT_TRUE(waitUntil([this] { return shareFrames("publish") == 1; }, 10000)) << "the share never went out";
    }
    qsizetype m_seenFrames = 0;
};

TEST_F(UIShareNotice, TheNoticeStaysOnTopAndItsStopButtonEndsTheShareOnTheServer)
{
    join();
    startSharing();
    KLShareNoticeWindow *notice = hub()->shareNotice();
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->isWindow());
    EXPECT_TRUE(notice->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    // Shaped like its card, so no box shows around it without a compositor.
    EXPECT_FALSE(notice->mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(notice->mask().contains(notice->rect().center()));
    EXPECT_TRUE(notice->stateText().contains(KLLocalizedString("SHARE_ING")));
    EXPECT_EQ(notice->stopButton()->text(), KLLocalizedString("STOP_SHARE_HUB"));
    EXPECT_EQ(hubButton("hub-share-button")->drawnState().label, KLLocalizedString("STOP_SHARE_HUB"));
    EXPECT_EQ(shareFrames("unpublish"), 0);

    notice->stopButton()->click();
    EXPECT_TRUE(waitUntil([this] { return shareFrames("unpublish") == 1; }, 10000)) << "the share was not taken down";
    EXPECT_TRUE(waitUntil([] { return !hub()->isShareNoticeShown(); }));
    EXPECT_EQ(hubButton("hub-share-button")->drawnState().label, KLLocalizedString("Share_Tips"));

    // A second share brings a fresh notice.
    hubButton("hub-share-button")->click();
    EXPECT_TRUE(waitUntil([] { return hub()->isShareNoticeShown(); }));
    EXPECT_TRUE(waitUntil([this] { return shareFrames("publish") == 2; }, 10000));
    hubButton("hub-share-button")->click(); // the toolbar's own stop closes it as well
    EXPECT_TRUE(waitUntil([this] { return shareFrames("unpublish") == 2; }, 10000));
    EXPECT_TRUE(waitUntil([] { return !hub()->isShareNoticeShown(); }));
}

TEST_F(UIShareNotice, EscapeInTheNoticeLeavesFullScreenAndSaysHow)
{
    KLLocalization::setLanguage(KLLocalization::Language::Chinese);
    join();
    window()->showFullScreen();
    ASSERT_TRUE(waitUntil([] { return window()->isFullScreen(); }));
    startSharing();
    KLShareNoticeWindow *notice = hub()->shareNotice();
    ASSERT_NE(notice, nullptr);
    const QString esc = KLLocalizedString("SHARE_SCREEN_ESC_TIPS");
    ASSERT_NE(esc, QStringLiteral("SHARE_SCREEN_ESC_TIPS")) << "the text comes from the table";
    ASSERT_TRUE(waitUntil([] { return !window()->isFullScreen(); }, 5000)) << "a share leaves full screen";
    ASSERT_TRUE(waitUntil([] { return window()->isMinimized(); }, 5000)) << "and then gets out of the way";
    window()->showNormal();
    window()->showFullScreen();
    ASSERT_TRUE(waitUntil([] { return window()->isFullScreen(); }));
    EXPECT_NE(shown(), esc);

    kltest::pressKey(notice, Qt::Key_A); // other keys do nothing
    EXPECT_TRUE(window()->isFullScreen());
    kltest::pressKey(notice, Qt::Key_Escape);
    EXPECT_TRUE(waitUntil([] { return !window()->isFullScreen(); }));
    EXPECT_TRUE(waitUntil([&] { return shown() == esc; }, 5000)) << shown().toStdString();
    EXPECT_TRUE(hub()->isShareNoticeShown()) << "Escape does not stop the share";
    EXPECT_EQ(shareFrames("unpublish"), 0);
    notice->stopButton()->click();
    EXPECT_TRUE(waitUntil([this] { return shareFrames("unpublish") == 1; }, 10000));
}

} // namespace

namespace {

TEST(UIScreenCaptureOffscreen, AWindowSystemWithoutAnXServerGivesNoCaptureAndSaysWhich)
{
    const KLScreenCaptureResult opened = KLX11ScreenCapture::open(QString());
    EXPECT_FALSE(opened.source);
    EXPECT_TRUE(opened.why.contains(QStringLiteral("\"offscreen\""))) << opened.why.toStdString();
}

} // namespace
