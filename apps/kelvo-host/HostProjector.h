#pragma once

// --projector sender|receiver: kelvo-host runs a multi-projector session in the meeting instead
// of the meeting window. With --sim the local meeting service plays a projection meeting
// around it: for a sender the Shanghai room accepts and starts receiving, Zhou Ming receives
// too, the Beijing room rejects, and later the Shanghai room leaves; a receiver is cast Zhou
// Ming's screen. With KELVO_HOST_SCREENSHOTS=<dir> the window is pictured once the projection
// has played ("<dir>/projector-<mode>-<language>.png") and then closed as the user would.
// "--control -" reads projector commands from stdin (HostProjector.cpp lists them).

#include "HostOptions.h"

#include <functional>

namespace kelvosim {
class MeetingSim;
}

namespace kelvohost {

class HostEventSink;
class HostMeetingListener;

/// Runs the session until its window has closed; the process's exit status.
int runProjector(const HostOptions &options, bool headless, HostEventSink &sink, kelvosim::MeetingSim *sim,
                 const std::function<void(int)> &exitWhenDone);

} // namespace kelvohost
