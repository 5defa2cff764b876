// The microphone and camera checks of the join over a fake platform, for every status and
// answer, and the screen-recording check.
#include "../devices/KLRecordCapture.h"
#include "KLRecordingPrinter.h"

#include "conference/devices/KLDevicePermissionCheck.h"
#include "platform/KLFakePlatform.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using Outcome = KLPermissionOutcome;

struct Case {
    const char *name;
    std::optional<KLOSVersion> version;
    int audioStatus;
    bool audioGranted;
    int videoStatus;
    bool videoGranted;
    bool isVideoMeeting;
    bool hasCamera;
    Outcome outcome;
    bool audioCanRecord;
    bool videoCanRecord;
    bool cameraAsked;
};

constexpr KLOSVersion kModern{12, 3, 0};
constexpr KLOSVersion kFirstAsking{10, 14, 0};

const Case kCases[] = {
    {"old system", KLOSVersion{10, 13, 6}, 2, false, 2, false, true, true, Outcome::Proceed, true, true, false},
    {"unknown version", std::nullopt, 2, false, 2, false, true, true, Outcome::Proceed, false, false, false},
    {"mic asked, granted", kModern, 0, true, 3, true, true, true, Outcome::Proceed, true, true, true},
    {"mic asked, refused", kModern, 0, false, 3, true, true, true, Outcome::HangupForMicrophone, false, false, false},
    {"mic restricted", kFirstAsking, 1, true, 3, true, true, true, Outcome::HangupForMicrophone, false, false, false},
    {"mic denied", kModern, 2, true, 3, true, true, true, Outcome::HangupForMicrophone, false, false, false},
    {"mic unknown status", kModern, 7, true, 3, true, true, true, Outcome::Nothing, false, false, false},
    {"camera asked, granted", kModern, 3, true, 0, true, true, true, Outcome::Proceed, true, true, true},
    {"camera asked, refused", kModern, 3, true, 0, false, true, true, Outcome::HangupForCamera, true, true, true},
    {"camera restricted", kModern, 3, true, 1, true, true, true, Outcome::HangupForCamera, true, false, true},
    {"camera denied", kModern, 3, true, 2, true, true, true, Outcome::HangupForCamera, true, false, true},
    {"camera authorised", kModern, 3, true, 3, true, true, true, Outcome::Proceed, true, true, true},
    {"camera unknown status", kModern, 3, true, 9, true, true, true, Outcome::Nothing, true, false, true},
    {"audio meeting", kModern, 3, true, 2, false, false, true, Outcome::Proceed, true, false, false},
    {"no camera", kModern, 3, true, 2, false, true, false, Outcome::Proceed, true, false, false},
};

int callsFor(const KLFakePlatform &platform, const QString &name, const QString &device)
{
    int count = 0;
    for (const auto &call : platform.calls())
        count += call.name == name && call.arguments.value(0).toString() == device;
    return count;
}

} // namespace

TEST(DevicePermissionCheck, EveryStatusAndAnswer)
{
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.name);
        auto platform = std::make_shared<KLFakePlatform>();
        platform->setOsVersion(c.version);
        platform->setAuthorizationStatus(KLMediaType::Audio, c.audioStatus);
        platform->setAccessAnswer(KLMediaType::Audio, c.audioGranted);
        platform->setAuthorizationStatus(KLMediaType::Video, c.videoStatus);
        platform->setAccessAnswer(KLMediaType::Video, c.videoGranted);
        platform->setHasVideoCaptureDevice(c.hasCamera);

        std::optional<KLPermissionResult> result;
        int completions = 0;
        KLDevicePermissionCheck::isValidToVisitMicroPhone(
            {c.isVideoMeeting, false, false}, [&](const KLPermissionResult &r) { result = r, ++completions; }, platform);
        ASSERT_TRUE(kltest::waitUntil([&] { return result.has_value(); }));
        kltest::pumpEvents(20); // a second completion would show here
        EXPECT_EQ(completions, 1);

        EXPECT_EQ(result->outcome, c.outcome);
        EXPECT_EQ(std::pair(result->state.bAudioCanRecord, result->state.bVideoCanRecord),
                  std::pair(c.audioCanRecord, c.videoCanRecord));
        EXPECT_EQ(callsFor(*platform, "authorizationStatusForMediaType", "video") > 0, c.cameraAsked);
        const bool micAsked = c.audioStatus == 0 && c.version && !(*c.version < kFirstAsking);
        EXPECT_EQ(callsFor(*platform, "requestAccessForMediaType", "audio"), micAsked ? 1 : 0);
    }
}

TEST(DevicePermissionCheck, LeaveReasonsLogLinesAndRecords)
{
    EXPECT_EQ((KLPermissionResult{Outcome::HangupForMicrophone, {}}).leaveReason(), 8);
    EXPECT_EQ((KLPermissionResult{Outcome::HangupForCamera, {}}).leaveReason(), 9);

    kltest::RecordCapture capture;
    auto printer = kltest::RecordingPrinter::install();
    auto platform = std::make_shared<KLFakePlatform>();
    platform->setOsVersion(kModern);
    platform->setAuthorizationStatus(KLMediaType::Audio, 3);
    platform->setAuthorizationStatus(KLMediaType::Video, 2);

    bool done = false;
    KLDevicePermissionCheck::isValidToVisitMicroPhone(
        {true, false, false}, [&](const KLPermissionResult &) { done = true; }, platform);
    ASSERT_TRUE(done);

    for (const char *line : {"audio status : 3", "-- Authorized", "Video status : 2", "-- Denied"})
        EXPECT_EQ(printer->count("info", line), 1) << line;
    kltest::RecordingPrinter::uninstall();

    QStringList records;
    for (const auto &r : capture.withValue("mediaAuthorization"))
        records << QStringLiteral("%1=%2 %3/%4").arg(r["device"].toString()).arg(r["status"].toInt())
                       .arg(r["level"].toString(), r["topic"].toString());
    const QString levelGroup = KLQLSLogger::stringsOfLogLevels(3) + "/" + KLQLSLogger::stringsOfGroupTypes(2);
    EXPECT_EQ(records, QStringList({"audio=3 " + levelGroup, "video=2 " + levelGroup}));
}

TEST(DevicePermissionCheck, ScreenRecording)
{
    struct ScreenCase {
        std::optional<KLOSVersion> version;
        bool windows, stream, expected;
    };
    const ScreenCase cases[] = {
        {std::nullopt, false, false, true},
        {KLOSVersion{10, 14, 9}, false, false, true},
        {KLOSVersion{10, 15, 0}, false, false, false},
        {KLOSVersion{10, 15, 0}, true, false, true},
        {kModern, false, true, true},
    };
    for (const ScreenCase &c : cases) {
        KLFakePlatform platform;
        platform.setOsVersion(c.version);
        platform.setCanRecordScreen(c.windows);
        platform.setRecordScreenFromCreateStream(c.stream);
        EXPECT_EQ(KLDevicePermissionCheck::isValidToVisitScreenRecording(platform), c.expected)
            << (c.version ? c.version->toString().toStdString() : "unknown");
    }
}
