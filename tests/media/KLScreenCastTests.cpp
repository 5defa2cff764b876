// The share's permission and capture where no backend reads the screen itself: the desktop
// portal's screen cast against a stand-in portal on a private bus (its answers, the fallback
// when PipeWire cannot be reached), the GStreamer reading of a stream, and which screen a share
// shows.

#include "KLPrivateSessionBus.h"
#include "SimScreenCastPortal.h"
#include "KLRecordingPrinter.h"

#include "media/builtin/KLBuiltinMediaSDK.h"
#include "media/builtin/KLBuiltinMediaStream.h"
#include "media/capture/KLPipeWireCapture.h"
#include "media/capture/KLPortalScreenCast.h"
#include "media/capture/KLScreenCapture.h"
#include "media/capture/KLScreenChoice.h"
#include "platform/KLPlatform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>

namespace {

using FakeScreenCastPortal = kelvosim::SimScreenCastPortal;

class PortalScreenCast : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!bus.start(QStringLiteral("kltest-portal")))
            GTEST_SKIP() << "dbus-daemon not available";
        printer = kltest::RecordingPrinter::install();
        KLScreenCapture::setBackend({});
        KLScreenCapture::setPortalBus(bus.address);
    }
    void TearDown() override
    {
        KLScreenCapture::setPortalBus({});
        kltest::RecordingPrinter::uninstall();
        portal.reset();
    }
    void publishPortal()
    {
        portal = std::make_unique<FakeScreenCastPortal>(*bus.service);
        ASSERT_TRUE(portal->publish());
    }
    /// The status the share is answered with (nothing when no answer came).
    std::optional<int> ask()
    {
        std::optional<int> status;
        KLScreenCapture::requestAccess([&](int answered) { status = answered; });
        kltest::waitUntil([&] { return status.has_value(); }, 8000);
        return status;
    }

    kltest::PrivateSessionBus bus;
    std::unique_ptr<FakeScreenCastPortal> portal;
    std::shared_ptr<kltest::RecordingPrinter> printer;
};

TEST_F(PortalScreenCast, RefusalsMapToThePlatformsStatusesAndGrantNothing)
{
    publishPortal();
    struct Case {
        const char *name;
        uint select, start;
        int status;
        QStringList calls;
    };
    const QStringList all{"CreateSession", "SelectSources", "Start"};
    const std::vector<Case> cases{
        {"the user cancels the desktop's dialog", 0, 1, KLAuthorizationStatusDenied, all},
        {"the desktop ends the request", 0, 2, KLAuthorizationStatusRestricted, all},
        {"the sources are refused", 2, 0, KLAuthorizationStatusRestricted, {"CreateSession", "SelectSources"}},
    };
    int closes = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        portal->calls.clear();
        portal->selectResponse = c.select;
        portal->startResponse = c.start;
        EXPECT_EQ(ask(), c.status);
        EXPECT_EQ(portal->calls, c.calls);
        EXPECT_TRUE(kltest::waitUntil([&] { return portal->closes == closes + 1; })) << "the session stays open";
        closes = portal->closes;
    }
    // One monitor was asked for.
    EXPECT_EQ(portal->selectOptions.value("types").toUInt(), 1u);
    EXPECT_FALSE(portal->selectOptions.value("multiple").toBool());
    EXPECT_EQ(printer->count("warn", "the user cancelled the screen cast"), 1);
    // Nothing was granted: the share's stream shows the pattern and says so.
    EXPECT_FALSE(KLScreenCapture::open().source);
    EXPECT_EQ(printer->count("warn", "no screen cast was granted by a desktop portal"), 1);
}

TEST_F(PortalScreenCast, AGrantWhosePipeWireCannotBeReachedFallsBackToThePattern)
{
    publishPortal();
    EXPECT_EQ(ask(), KLAuthorizationStatusAuthorized);
    EXPECT_EQ(portal->calls, (QStringList{"CreateSession", "SelectSources", "Start", "OpenPipeWireRemote"}));
    EXPECT_EQ(printer->count("warn", "granted a screen cast (node 42 1920x1080), but OpenPipeWireRemote failed"), 1);
    EXPECT_EQ(portal->closes, 0) << "the session is kept for the share";

    // The built-in engine's share stream opens the capture when it is created.
    auto engine = std::make_shared<KLBuiltinMediaSDK>();
    auto stream = std::dynamic_pointer_cast<KLBuiltinMediaStream>(engine->createStream({{"screen", true}}, {}));
    ASSERT_TRUE(stream);
    EXPECT_FALSE(stream->capturesScreen());
    EXPECT_EQ(printer->count("warn", "the share shows the synthetic pattern: the desktop portal granted a screen "
                                     "cast, but OpenPipeWireRemote failed: Could not connect to PipeWire; no capture "
                                     "backend is installed"), 1);
    EXPECT_TRUE(kltest::waitUntil([&] { return portal->closes == 1; })) << "the session stays open";
    stream->close();

    // A remote whose PipeWire is gone: the stream starts without waiting for it and shows no
    // picture; closing the share lets the session go at once, whatever PipeWire does.
    portal->remote = FakeScreenCastPortal::Remote::ClosedSocket;
    EXPECT_EQ(ask(), KLAuthorizationStatusAuthorized);
    stream = std::dynamic_pointer_cast<KLBuiltinMediaStream>(engine->createStream({{"screen", true}}, {}));
    ASSERT_TRUE(stream);
    EXPECT_TRUE(stream->capturesScreen());
    EXPECT_EQ(printer->count("info", "sharing the screen the user chose in the desktop's dialog"), 1);
    stream->close();
    stream.reset();
    EXPECT_TRUE(kltest::waitUntil([&] { return portal->closes == 2; })) << "the session stays open";
}

TEST_F(PortalScreenCast, WithoutAPortalOnTheBusTheShareShowsThePattern)
{
    EXPECT_EQ(ask(), KLAuthorizationStatusAuthorized);
    EXPECT_EQ(printer->count("info", "no desktop portal with screen casts"), 1);
    // A backend that can capture needs nobody's permission: the session's portal is not asked;
    // a portal named outright is.
    publishPortal();
    KLScreenCapture::setBackend([](const QString &) { return KLScreenCaptureResult{}; }, [] { return true; });
    KLScreenCapture::setPortalBus({});
    EXPECT_EQ(ask(), KLAuthorizationStatusAuthorized);
    EXPECT_TRUE(portal->calls.isEmpty());
    KLScreenCapture::setPortalBus(bus.address);
    portal->startResponse = 1;
    EXPECT_EQ(ask(), KLAuthorizationStatusDenied);
    EXPECT_EQ(portal->calls.size(), 3);
    KLScreenCapture::setBackend({});
}

// The reading end of a portal stream, fed by a test source instead of PipeWire.
TEST(PipeWireCapture, FramesAreScaledWithinTheShareSizeAndStopEndsThem)
{
    std::atomic<int> stops{0}; // counted on the capture's own thread
    const KLScreenCaptureResult opened = KLPipeWireCapture::open(
        QStringLiteral("videotestsrc is-live=true pattern=solid-color foreground-color=0xff2040c0 ! "
                       "video/x-raw,width=1920,height=1080,framerate=30/1"),
        QStringLiteral("test stream"), [&] { ++stops; });
    ASSERT_TRUE(opened.source) << opened.why.toStdString();
    KLRTCMediaVideoFrame frame;
    ASSERT_TRUE(kltest::waitUntil([&] { return opened.source->latestFrame(frame); }, 5000));
    EXPECT_EQ(frame.width, 1280);
    EXPECT_EQ(frame.height, 720);
    ASSERT_TRUE(frame.isValid());
    const auto *words = reinterpret_cast<const quint32 *>(frame.pixels.constData() + frame.bytesPerLine * 360);
    EXPECT_EQ(words[640], 0xff2040c0u);
    // At most fifteen of the thirty frames a second are kept.
    kltest::pumpEvents(1000);
    EXPECT_LE(opened.source->framesTaken(), 18);
    EXPECT_GE(opened.source->framesTaken(), 5);

    opened.source->stop();
    opened.source->stop();
    EXPECT_TRUE(kltest::waitUntil([&] { return stops.load() == 1; }));
    const qint64 taken = opened.source->framesTaken();
    kltest::pumpEvents(200);
    EXPECT_EQ(opened.source->framesTaken(), taken);
    EXPECT_TRUE(opened.source->latestFrame(frame)) << "the last picture stays";

    const KLScreenCaptureResult broken = KLPipeWireCapture::open(QStringLiteral("nosuchsource"), QStringLiteral("x"), [&] { ++stops; });
    EXPECT_FALSE(broken.source);
    EXPECT_TRUE(broken.why.contains("nosuchsource")) << broken.why.toStdString();
    EXPECT_EQ(stops.load(), 2) << "a capture that never started still lets its session go";
}

TEST(ScreenChoice, OffersTheRememberedScreenAndStopsAShareWhoseScreenWentAway)
{
    const KLScreenInfo left{"DP-1", 1920, 1080, false}, main{"eDP-1", 2560, 1600, true}, tv{"HDMI-1", 1280, 720, false};
    KLScreenChoice choice;
    choice.setScreens({main});
    EXPECT_FALSE(choice.needsPicker());
    EXPECT_EQ(choice.chooseWithoutAsking(), "eDP-1");
    EXPECT_EQ(KLScreenCapture::chosenScreen(), "eDP-1");
    EXPECT_TRUE(choice.remembered().isEmpty()) << "nothing was picked";

    choice.setScreens({left, main, tv});
    EXPECT_TRUE(choice.needsPicker());
    EXPECT_EQ(choice.preselected(), "eDP-1") << "the primary screen first";
    EXPECT_FALSE(choice.choose("VGA-9"));
    EXPECT_EQ(KLScreenCapture::chosenScreen(), "eDP-1");
    EXPECT_TRUE(choice.choose("HDMI-1"));
    EXPECT_EQ(KLScreenCapture::chosenScreen(), "HDMI-1");
    EXPECT_EQ(choice.preselected(), "HDMI-1") << "the last pick first";

    // Another screen going away leaves the share alone; its own screen going away stops it.
    EXPECT_FALSE(choice.screensChanged({main, tv}));
    EXPECT_TRUE(choice.screensChanged({main}));
    EXPECT_TRUE(choice.shared().isEmpty());
    EXPECT_FALSE(choice.screensChanged({left}));
    EXPECT_EQ(choice.preselected(), "DP-1") << "neither the remembered nor a primary screen is there";

    choice.setScreens({left, main, tv});
    EXPECT_EQ(choice.preselected(), "HDMI-1") << "the pick is remembered while it is away";
    KLScreenCapture::setChosenScreen({});
}

} // namespace

