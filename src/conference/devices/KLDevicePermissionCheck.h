#pragma once

// The capture permissions a meeting needs before its media connection starts, and the
// screen-recording check in front of a screen share. The microphone is asked first; a video
// meeting then asks for the camera. Each check ends with one outcome the conference service
// acts on: start the connection, hang up for the microphone (leave reason 8) or the camera
// (leave reason 9), or nothing when the platform reports a status it does not know.
//
// Systems older than 10.14 have no capture permissions: both devices count as allowed. A
// system whose version cannot be queried starts the connection without touching the flags.
//
// Every status read is logged and sent as a monitor record (level 3, group 2)
// {"value": "mediaAuthorization", "device": "audio"|"video", "status": N}.

#include "platform/KLPlatform.h"

#include <functional>
#include <memory>

enum class KLPermissionOutcome {
    /// Start the media connection.
    Proceed,
    /// The microphone may not be used: hang up with leave reason 8.
    HangupForMicrophone,
    /// The camera may not be used: hang up with leave reason 9.
    HangupForCamera,
    /// The platform answered a status the meeting does not know: do nothing.
    Nothing,
};

/// The permission fields of the conference service, and where a check left them.
struct KLPermissionState {
    /// Whether this is a video meeting: only then is the camera asked for.
    bool isVideoMeeting = true;
    bool bAudioCanRecord = false;
    bool bVideoCanRecord = false;
};

struct KLPermissionResult {
    KLPermissionOutcome outcome = KLPermissionOutcome::Nothing;
    /// The fields after the check.
    KLPermissionState state;

    /// 8 or 9 for the hang-ups, 0 otherwise.
    int leaveReason() const;
};

class KLDevicePermissionCheck {
public:
    /// Runs once, on the thread of the last platform answer (the calling thread when nothing
    /// had to be requested, the main thread after an access request).
    using Completion = std::function<void(const KLPermissionResult &result)>;

    /// The microphone check, followed by the camera check in video meetings. `platform` null
    /// means the installed one.
    static void isValidToVisitMicroPhone(const KLPermissionState &state, Completion completion,
                                         std::shared_ptr<KLPlatform> platform = nullptr);
    /// The camera check alone. Audio meetings and machines without a camera proceed without
    /// asking.
    static void isValidToVisitCamera(const KLPermissionState &state, Completion completion,
                                     std::shared_ptr<KLPlatform> platform = nullptr);

    /// Whether the screen may be captured for a share. Systems older than 10.15 (or of unknown
    /// version) always may; newer ones when either probe says so.
    static bool isValidToVisitScreenRecording(KLPlatform &platform);
    /// The probe of the visible windows: capturing reveals them all without asking anyone.
    static bool canRecordScreen(KLPlatform &platform);
    /// The probe of the display: a capture stream of the main display could be made.
    static bool recordScreenFromCreateStream(KLPlatform &platform);
};
