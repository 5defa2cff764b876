#pragma once

// What the WebRTC engine's tests share: a GStreamer device provider living in the test process
// (its microphones make a tone or silence, its speakers count the buffers they are given), a view
// counting frames, and waits on the media the engine reports.

#include "media/KLRTCMediaConnection.h"
#include "media/KLRTCMediaVideoRenderView.h"

#include <QSize>

#include <memory>
#include <mutex>
#include <vector>

typedef struct _GstDevice GstDevice;
typedef struct _GstDeviceProvider GstDeviceProvider;

namespace kltest::webrtc {

/// A device the test provider announces. `element` is a one-element pipeline description
/// ("audiotestsrc is-live=true wave=sine"); a speaker's element counts what it is given under
/// its id (buffersPlayed).
struct FakeDevice {
    const char *classes;
    const char *name;
    const char *idKey;
    const char *id;
    const char *bus = nullptr;
    const char *element = nullptr;
    bool isDefault = false;
};

/// Registers the test provider once and ranks every other provider out, so the machine's own
/// devices (or sound server) never count; `initial` is what it announces when started.
void useTestDevices(std::vector<FakeDevice> initial);
GstDevice *makeDevice(const FakeDevice &fake);
/// The running provider (to add and remove devices), null before a monitor started it.
GstDeviceProvider *testProvider();
/// Takes the device away as an unplugging does: the provider removes it and each of its
/// elements still alive posts a read error.
void unplug(const char *id);
/// Buffers given to the elements of the speaker with this id so far.
int buffersPlayed(const char *speakerId);

class FrameView : public KLRTCMediaVideoRenderView {
public:
    QString renderStreamId() const override { return {}; }
    void setRenderStreamId(const QString &) override {}
    bool isVideoRenderer() const override { return true; }
    void renderFrame(const KLRTCMediaVideoFrame &frame) override
    {
        std::lock_guard lock(m_mutex);
        ++m_frames;
        if (frame.isValid())
            m_last = frame;
    }
    int frames() const { std::lock_guard lock(m_mutex); return m_frames; }
    QSize size() const { std::lock_guard lock(m_mutex); return QSize(m_last.width, m_last.height); }
    /// The newest frame's 0xffRRGGBB at (x, y); 0 outside it or before the first frame.
    quint32 pixel(int x, int y) const;
    /// Each channel of pixel(x, y) within codec error of `expected`'s.
    bool near(int x, int y, quint32 expected) const;

private:
    mutable std::mutex m_mutex;
    int m_frames = 0;
    KLRTCMediaVideoFrame m_last;
};

/// True once `view` has had no frame for `quietMs` (frames in flight when the sender stopped
/// still arrive first); false when frames keep coming for `timeoutMs`.
bool framesStop(const FrameView &view, int quietMs = 1000, int timeoutMs = 8000);

/// What the join hands the engine for a Janus room: the server, its CA, the room, the member
/// (shown as "Member <uuid>") and the token; no ICE servers.
QJsonObject roomParam(const QString &url, const QString &caFile, const QString &room, const QString &uuid,
                      const QString &token);
/// The same for a meeting of the simulator's scenario ("meetingInfo", "selfMemberUUID",
/// "meetingToken"): what the join would hand the engine for it.
QJsonObject simRoomParam(const QJsonObject &scenarioMeeting, const QString &caFile);

/// The connection's statistics as getStatusForMedia answers them.
QJsonObject status(const std::shared_ptr<KLRTCMediaConnection> &connection);
/// The received level of the (first) subscribed stream, -1 when none is listed.
int receivedLevel(const std::shared_ptr<KLRTCMediaConnection> &connection);
/// The own (sent) audio entry: "iLevel", "ssrc", …
QJsonObject sentAudio(const std::shared_ptr<KLRTCMediaConnection> &connection);

} // namespace kltest::webrtc
