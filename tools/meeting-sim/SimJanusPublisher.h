#pragma once

// What one simulated member sends into a Janus room: a test picture with the member's name
// written on it (640x360, 15 fps, VP8) and Opus audio that is a tone while the member speaks
// and silence otherwise, as plain RTP to the port Janus opened for the member's feed. Used from
// one thread; the media runs on GStreamer's own.

#include <QString>


typedef struct _GstElement GstElement;

namespace kelvosim {

class SimJanusPublisher
{
public:
    /// SSRCs Janus expects on a feed it receives as plain RTP: one per media line, in order.
    static constexpr unsigned kAudioSsrc = 1000;
    static constexpr unsigned kVideoSsrc = 1010;
    static constexpr unsigned kDataSsrc = 1020;

    /// False with the reason when GStreamer lacks an element the feed needs.
    static bool available(QString *why = nullptr);

    SimJanusPublisher(const QString &name, bool screen);
    ~SimJanusPublisher();
    SimJanusPublisher(const SimJanusPublisher &) = delete;
    SimJanusPublisher &operator=(const SimJanusPublisher &) = delete;

    /// Starts sending to 127.0.0.1:`port`; false (with a log line) when the pipeline fails.
    bool start(int port);
    void stop();
    bool running() const { return m_pipeline != nullptr; }

    /// A tone while speaking, silence otherwise.
    void setSpeaking(bool speaking);
    bool speaking() const { return m_speaking; }
    /// Camera off: no video is sent.
    void setVideo(bool on);
    /// The next picture is sent as a key frame.
    void sendKeyFrame();

    /// True when the RTCP compound `packet` holds a picture loss indication or a full intra
    /// request (a subscriber waits for a key frame).
    static bool asksForKeyFrame(const QByteArray &packet);
    /// An empty receiver report from the video SSRC: it tells Janus where to send RTCP.
    static QByteArray receiverReport();
    /// A data-channel message as Janus takes it on a feed's port: an RTP header with the data
    /// line's SSRC, then the message.
    static QByteArray dataPacket(const QByteArray &message);

private:
    QString m_name;
    bool m_screen = false;
    GstElement *m_pipeline = nullptr;
    bool m_speaking = false;
};

} // namespace kelvosim
