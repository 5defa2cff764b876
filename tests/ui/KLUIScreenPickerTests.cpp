// The screen picker drawn from the screens the choice logic is given: one button per screen
// with its number, size, name and picture, the remembered or main screen first; a pick shares
// that screen, cancel shares nothing, one screen shares at once, and a share whose screen is
// unplugged stops.

#include "../window/KLHubFakeMeeting.h"

#include "media/capture/KLScreenCapture.h"
#include "presentation/KLDialogQueue.h"
#include "runtime/KLLocalization.h"
#include "ui/share/KLScreenPicker.h"
#include "ui/toolbar/KLHubButtonWidget.h"
#include "ui/toolbar/KLHubWidget.h"
#include "window/KLHubViewController.h"

#include "KLTestSupport.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QVBoxLayout>

namespace {

const KLScreenInfo kLeft{"DP-1", 1920, 1080, false};
const KLScreenInfo kMain{"eDP-1", 2560, 1600, true};
const KLScreenInfo kTv{"HDMI-1", 1280, 720, false};

class ScreenPickerUi : public ::testing::Test {
protected:
    void SetUp() override
    {
        KLLocalization::setLanguage(KLLocalization::Language::English);
        KLDialogQueue::shared().setView(dialogs);
        KLHubViewController::Setup setup;
        setup.exitFullScreen = [] { return false; };
        hub = KLHubViewController::create(meeting, std::move(setup));
        window.resize(900, 120);
        auto *column = new QVBoxLayout(&window);
        widget = new KLHubWidget(hub, &window);
        column->addWidget(widget);
        widget->setScreenSource([this] { return screens; }, [](const QString &name) {
            QPixmap picture;
            if (name == kTv.name) {
                picture = QPixmap(320, 180);
                picture.fill(Qt::darkCyan);
            }
            return picture;
        });
        window.show();
        kltest::pumpEvents(20);
    }
    void TearDown() override
    {
        widget->closeShareNotice();
        dialogs->drain();
        KLDialogQueue::shared().setView(nullptr);
        KLScreenCapture::setChosenScreen({});
    }
    void pressShare()
    {
        widget->button("hub-share-button")->click();
        kltest::pumpEvents(10);
    }

    QList<KLScreenInfo> screens{kLeft, kMain, kTv};
    std::shared_ptr<kltest::FakeHubMeeting> meeting = std::make_shared<kltest::FakeHubMeeting>();
    std::shared_ptr<kltest::DialogPresser> dialogs = std::make_shared<kltest::DialogPresser>();
    std::shared_ptr<KLHubViewController> hub;
    QWidget window;
    KLHubWidget *widget = nullptr;
};

TEST_F(ScreenPickerUi, APickSharesThatScreenRemembersItAndStopsWhenItGoesAway)
{
    pressShare();
    KLScreenPicker *picker = widget->screenPicker();
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->offeredScreens(), (QStringList{"DP-1", "eDP-1", "HDMI-1"}));
    EXPECT_EQ(picker->preselected(), "eDP-1");
    EXPECT_TRUE(picker->buttonFor("eDP-1")->isDefault());
    EXPECT_EQ(picker->buttonFor("eDP-1")->text(), "Screen 2 (2560 × 1600)\neDP-1 · Main screen");
    EXPECT_EQ(picker->buttonFor("HDMI-1")->text(), "Screen 3 (1280 × 720)\nHDMI-1");
    EXPECT_FALSE(picker->buttonFor("HDMI-1")->icon().isNull()) << "the picture given is drawn";
    EXPECT_TRUE(picker->buttonFor("DP-1")->icon().isNull());
    EXPECT_TRUE(meeting->calls().isEmpty()) << "nothing is shared before a pick";

    picker->buttonFor("HDMI-1")->click();
    kltest::pumpEvents(10);
    EXPECT_EQ(widget->screenPicker(), nullptr);
    EXPECT_EQ(meeting->calls(), QStringList{"desktopShare"});
    EXPECT_EQ(KLScreenCapture::chosenScreen(), "HDMI-1");
    meeting->shared = kltest::makeFeed("screen-own");

    // Another screen unplugged: the share goes on; its own screen unplugged: it stops.
    screens = {kMain, kTv};
    widget->screensChanged();
    EXPECT_EQ(meeting->calls().last(), "desktopShare");
    screens = {kMain, kLeft};
    widget->screensChanged();
    EXPECT_EQ(meeting->calls().last(), "stopShare");
    meeting->shared = nullptr;

    screens = {kLeft, kMain, kTv};
    pressShare();
    ASSERT_NE(widget->screenPicker(), nullptr);
    EXPECT_EQ(widget->screenPicker()->preselected(), "HDMI-1") << "the last pick is offered first";
}

TEST_F(ScreenPickerUi, CancelSharesNothingAndOneScreenSharesAtOnce)
{
    pressShare();
    ASSERT_NE(widget->screenPicker(), nullptr);
    widget->screenPicker()->findChild<QPushButton *>("screen-picker-cancel")->click();
    kltest::pumpEvents(10);
    EXPECT_EQ(widget->screenPicker(), nullptr);
    EXPECT_TRUE(meeting->calls().isEmpty());

    // A screen change while the picker is open closes it: its buttons may name a screen gone.
    pressShare();
    ASSERT_NE(widget->screenPicker(), nullptr);
    screens = {kTv};
    widget->screensChanged();
    kltest::pumpEvents(10);
    EXPECT_EQ(widget->screenPicker(), nullptr);
    EXPECT_TRUE(meeting->calls().isEmpty());

    pressShare();
    EXPECT_EQ(widget->screenPicker(), nullptr);
    EXPECT_EQ(meeting->calls(), QStringList{"desktopShare"});
    EXPECT_EQ(KLScreenCapture::chosenScreen(), "HDMI-1");
}

} // namespace
