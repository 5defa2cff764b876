// The toolbar drawn: every control is there under its action-log identifier, looks as the
// controller says (colours for rest, hover and press, round corners, labels, tooltips), a
// click reaches the controller and its new look comes back, popover controls open one popover
// anchored at the pressed button, the meeting-note button shows, hides and spins.

#include "../window/KLHubFakeMeeting.h"

#include "presentation/KLDialogQueue.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "ui/KLTheme.h"
#include "ui/toolbar/KLHubButtonWidget.h"
#include "ui/toolbar/KLHubPopover.h"
#include "ui/toolbar/KLHubWidget.h"
#include "window/KLHubViewController.h"

#include "KLTestSupport.h"
#include "KLUIPictures.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QScreen>
#include <QVBoxLayout>

namespace {

const QStringList kControls{"hub-mute-button", "hub-video-mute-button", "hub-speaker-button", "hub-share-button",
                            "hub-leave-button", "hub-setting-button", "hub-meeting-info-button",
                            "hub-phone-enter-button", "hub-more-button", "hub-meetingNote-button"};

class Toolbar : public kltest::DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        KLHubViewController::Setup setup;
        setup.actionLog = [this](const QString &control) { logged << control; };
        setup.exitFullScreen = [] { return false; };
        hub = KLHubViewController::create(meeting, std::move(setup));
        window.resize(900, 120);
        auto *column = new QVBoxLayout(&window);
        widget = new KLHubWidget(hub, &window);
        column->addWidget(widget);
        window.show();
        kltest::pumpEvents(20);
    }
    KLHubButtonWidget *button(const QString &control) { return widget->button(control); }

    std::shared_ptr<kltest::FakeHubMeeting> meeting = std::make_shared<kltest::FakeHubMeeting>();
    std::shared_ptr<KLHubViewController> hub;
    QStringList logged;
    QWidget window;
    KLHubWidget *widget = nullptr;
};

TEST_F(Toolbar, EveryControlIsDrawnWithItsLookAndClicksReachTheController)
{
    for (const QString &control : kControls) {
        KLHubButtonWidget *b = button(control);
        ASSERT_NE(b, nullptr) << control.toStdString();
        EXPECT_EQ(b, widget->findChild<KLHubButtonWidget *>(control));
        if (control != QLatin1String("hub-meetingNote-button")) { // shown only with the summary module
            EXPECT_TRUE(b->isVisible()) << control.toStdString();
        }
        EXPECT_FALSE(b->drawnState().label.isEmpty()) << control.toStdString();
        EXPECT_FALSE(b->toolTip().isEmpty()) << control.toStdString();
        // No text on screen is a key.
        EXPECT_FALSE(b->drawnState().label.contains(QLatin1Char('_'))) << b->drawnState().label.toStdString();
        if (!b->drawnState().icon.isEmpty()) {
            EXPECT_TRUE(KLTheme::hasIcon(b->drawnState().icon)) << b->drawnState().icon.toStdString();
        }
    }
    EXPECT_FALSE(button("hub-meetingNote-button")->isVisible());
    kltest::savePictureForReview(widget, QStringLiteral("toolbar"));

    // The microphone at rest: the controller's normal look.
    KLHubButtonWidget *mic = button("hub-mute-button");
    EXPECT_EQ(mic->drawnState().icon, QStringLiteral("conf_tool_audio_normal"));
    EXPECT_EQ(mic->currentBackground(), QColor("#EDF0F5"));
    EXPECT_EQ(mic->drawnState().cornerRadius, 90);
    // Round: the face's corner pixel is the toolbar's, its centre-left edge the button's.
    const QImage face = mic->grab().toImage();
    const int s = qRound(face.width() / double(mic->width()));
    EXPECT_NE(QColor(face.pixel(mic->width() / 2 * s - 18 * s, 2 * s)), QColor("#EDF0F5"));
    EXPECT_EQ(QColor(face.pixel(mic->width() / 2 * s - 17 * s, 20 * s)), QColor("#EDF0F5"));

    // Hover and press change the colour.
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(mic, &enter);
    EXPECT_EQ(mic->currentBackground(), QColor("#E7F2FC"));
    mic->setDown(true);
    EXPECT_EQ(mic->currentBackground(), QColor("#D1E5FA"));
    mic->setDown(false);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(mic, &leave);
    EXPECT_EQ(mic->currentBackground(), QColor("#EDF0F5"));

    // A click mutes through the controller; the muted look comes back to the button.
    mic->click();
    EXPECT_EQ(logged.value(0), QStringLiteral("hub-mute-button"));
    EXPECT_TRUE(meeting->calls().contains(QStringLiteral("muteAudio own 1 1")));
    ASSERT_TRUE(kltest::waitUntil([&] { return mic->drawnState().icon == QStringLiteral("conf_tool_audio_mute"); }));
    EXPECT_EQ(mic->currentBackground(), QColor("#FF6910"));
    kltest::savePictureForReview(widget, QStringLiteral("toolbar-muted"));
    mic->setDown(true);
    EXPECT_EQ(mic->currentBackground(), QColor("#F26900"));
    mic->setDown(false);

    // The leave button is red and opens the controller's dialog.
    KLHubButtonWidget *leave2 = button("hub-leave-button");
    EXPECT_EQ(leave2->currentBackground(), QColor("#F03118"));
    leave2->click();
    EXPECT_TRUE(hub->isLeaveDialogShown());
    EXPECT_TRUE(dialogs->visible);
}

TEST_F(Toolbar, ShareLabelAudioOnlyCameraAndTheShareNotice)
{
    KLHubButtonWidget *share = button("hub-share-button");
    EXPECT_EQ(share->drawnState().label, KLLocalizedString("Share_Tips"));
    share->click();
    EXPECT_TRUE(meeting->calls().contains(QStringLiteral("desktopShare")));
    EXPECT_EQ(share->drawnState().label, KLLocalizedString("STOP_SHARE_HUB"));
    EXPECT_TRUE(widget->isShareNoticeShown());
    meeting->shared = meeting->own;
    share->click();
    EXPECT_EQ(share->drawnState().label, KLLocalizedString("Share_Tips"));
    EXPECT_FALSE(widget->isShareNoticeShown());

    // An audio-only meeting: the camera is drawn disabled with its grey label.
    widget->applyButtonState(KLHubButton::Camera, KLHubViewController::cameraLook(false, false));
    KLHubButtonWidget *camera = button("hub-video-mute-button");
    EXPECT_FALSE(camera->isEnabled());
    EXPECT_EQ(camera->drawnState().icon, QStringLiteral("conf_video_disabled"));
    EXPECT_EQ(camera->drawnState().labelColor, QStringLiteral("#C9CFD7"));
    EXPECT_DOUBLE_EQ(camera->drawnState().labelAlpha, 0.6);
    EXPECT_EQ(camera->currentBackground(), QColor("#F8F9FB"));
}

TEST_F(Toolbar, PopoverControlsOpenOneAnchoredPopoverAndReportTheirControl)
{
    window.move(100, 400); // room above the toolbar, as at the bottom of a meeting window
    kltest::pumpEvents(20);
    for (const QString &control : {QStringLiteral("hub-setting-button"), QStringLiteral("hub-meeting-info-button"),
                                   QStringLiteral("hub-phone-enter-button"), QStringLiteral("hub-more-button")}) {
        KLHubButtonWidget *anchor = button(control);
        anchor->click();
        EXPECT_EQ(logged.last(), control);
        auto *popover = qobject_cast<KLHubPopover *>(widget->openPopoverWidget());
        ASSERT_NE(popover, nullptr) << control.toStdString();
        EXPECT_EQ(widget->openPopoverControl(), control);
        EXPECT_EQ(popover->anchor(), anchor);
        // Over the button (the toolbar is the window's bottom edge), its arrow at the button's
        // centre, inside the screen.
        const QPoint anchorCentre = anchor->mapToGlobal(QPoint(anchor->width() / 2, 0));
        EXPECT_FALSE(popover->opensBelow());
        EXPECT_NEAR(popover->arrowTip().x(), anchorCentre.x(), 1) << control.toStdString();
        EXPECT_NEAR(popover->arrowTip().y(), anchorCentre.y(), 3);
        EXPECT_TRUE(anchor->screen()->availableGeometry().contains(popover->frameGeometry()));
        // Its shape is the card and the arrow alone: the rounded corners are outside the
        // window's mask, the card's middle and the arrow inside it.
        const QRegion shape = popover->mask();
        const QPoint tip = popover->mapFromGlobal(popover->arrowTip());
        EXPECT_FALSE(shape.contains(QPoint(0, 0))) << control.toStdString();
        EXPECT_FALSE(shape.contains(QPoint(popover->width() - 1, 0)));
        EXPECT_FALSE(shape.contains(QPoint(0, popover->height() - 1))) << "beside the arrow, under the card";
        EXPECT_TRUE(shape.contains(popover->rect().center()));
        EXPECT_TRUE(shape.contains(tip + QPoint(0, -2)));
    }
    // One at a time: pressing the same control again closes it.
    button("hub-more-button")->click();
    kltest::pumpEvents(20);
    EXPECT_EQ(widget->openPopoverWidget(), nullptr);

    // Without room above (a window at the top of the screen) it opens below the button instead.
    window.move(100, 0);
    kltest::pumpEvents(20);
    KLHubButtonWidget *settings = button("hub-setting-button");
    settings->click();
    auto *below = qobject_cast<KLHubPopover *>(widget->openPopoverWidget());
    ASSERT_NE(below, nullptr);
    EXPECT_TRUE(below->opensBelow());
    EXPECT_NEAR(below->arrowTip().y(), settings->mapToGlobal(QPoint(0, settings->height())).y(), 3);
    // The shape turned with the arrow: the top edge beside the arrow is cut away, the bottom
    // edge's middle (now the card's) is kept.
    const QPoint tip = below->mapFromGlobal(below->arrowTip());
    EXPECT_TRUE(below->mask().contains(tip + QPoint(0, 2)));
    EXPECT_FALSE(below->mask().contains(QPoint(tip.x() + 12, 1)));
    EXPECT_TRUE(below->mask().contains(QPoint(below->width() / 2, below->height() - 3)));
}

TEST_F(Toolbar, MeetingNoteButtonShowsHidesAndSpinsWhileNotesRun)
{
    KLHubButtonWidget *note = button("hub-meetingNote-button");
    widget->applyButtonState(KLHubButton::MeetingNote, KLHubViewController::meetingNoteLook(true, true));
    EXPECT_TRUE(note->isVisible());
    EXPECT_TRUE(note->isSpinning());
    EXPECT_EQ(note->toolTip(), KLLocalizedString("NOTE_OPEN_TOOLTIPS"));
    // The ring turns: two pictures a little apart differ.
    const QImage first = note->grab().toImage();
    ASSERT_TRUE(kltest::waitUntil([&] { return note->grab().toImage() != first; }, 2000));

    widget->applyButtonState(KLHubButton::MeetingNote, KLHubViewController::meetingNoteLook(true, false));
    EXPECT_FALSE(note->isSpinning());
    EXPECT_EQ(note->drawnState().icon, QStringLiteral("conf_caption_not_open"));
    EXPECT_EQ(note->toolTip(), KLLocalizedString("NOTE_CLOSE_TOOLTIPS"));
    widget->applyButtonState(KLHubButton::MeetingNote, KLHubViewController::meetingNoteLook(false, false));
    EXPECT_FALSE(note->isVisible());

    widget->applyButtonState(KLHubButton::MeetingNote, KLHubViewController::meetingNoteLook(true, false));
    QStringList captionAsked;
    KLNotificationCenter::defaultCenter().addObserver(this, KLNotificationNames::ShowCaptionView,
                                                      [&](const KLNotification &n) { captionAsked << n.name; });
    note->click();
    KLNotificationCenter::defaultCenter().removeObserver(this);
    EXPECT_EQ(logged.filter(QStringLiteral("hub-meetingNote-button")).size(), 1);
    EXPECT_EQ(captionAsked.size(), 1);
}

} // namespace
