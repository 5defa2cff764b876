#pragma once

// kelvo-meeting-sim: a local meeting service for tests and the demo. It serves the meeting
// HTTP API, the signalling WebSocket, the media server, the cloud log service and the
// IT-monitor endpoint over TLS on 127.0.0.1, with a certificate authority of its own
// (clients trust caFile()). The server runs on its own thread; every member function here
// may be called from any thread.

#include "SimControl.h"
#include "SimJanus.h"
#include "SimJanusFeeds.h"
#include "SimMediaServer.h"

#include <QHostAddress>
#include <QJsonObject>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>

class QTemporaryDir;
class QThread;

namespace kelvosim {

class SimServerWorker;
class SimSignallingServer;

struct MeetingSimOptions {
    QString scenarioPath; ///< empty: the built-in default scenario
    QString certDir;      ///< empty: a fresh temporary folder, removed with the simulator
    quint16 port = 0;     ///< 0: any free port
    /// The loopback address to listen on. The certificate names only localhost and 127.0.0.1,
    /// so on another one (127.0.0.2) the server shows a certificate for the wrong host name.
    QHostAddress address = QHostAddress(QHostAddress::LocalHost);
    /// Starts a Janus media server for the meetings (as the scenario's "mediaServer": "janus"
    /// does) and points their meeting information at it (SimJanus::startFor).
    bool janus = false;
};

class MeetingSim
{
public:
    using Options = MeetingSimOptions;

    explicit MeetingSim(Options options = {});
    ~MeetingSim();
    MeetingSim(const MeetingSim &) = delete;
    MeetingSim &operator=(const MeetingSim &) = delete;

    /// Loads the scenario, makes (or reuses) the certificates and listens; returns once
    /// listening, or false with the reason.
    bool start(QString *error = nullptr);
    /// Closes every connection (held answers are dropped unanswered) and stops the thread.
    void stop();

    quint16 port() const;
    QString caFile() const;
    QString certDir() const;
    QString baseUrl() const; ///< "https://127.0.0.1:<port>"
    /// The meetings' Janus media server, when one was asked for; null otherwise.
    SimJanus *janus() const { return m_janus.get(); }
    /// The members' feeds sending into the Janus room now (member uuids, "screen-" + uuid for
    /// a share); empty without Janus.
    QStringList janusFeeds() const;
    /// Who is in the meetings' Janus rooms (member uuids), as Janus listed them within the last
    /// second or so; empty without Janus.
    QStringList janusParticipants() const;
    /// The loaded scenario, placeholders ("{{port}}", ...) filled in once started.
    QJsonObject scenario() const;

    // Control
    void setFault(const QString &path, const Fault &fault); ///< path matched exactly (no query)
    void clearFaults();
    void releaseHeld(const QString &path = {}); ///< answers held requests (all when empty)
    QList<RecordedRequest> requests(const QString &path = {}) const; ///< in arrival order
    void clearRequests(); ///< forgets recorded requests and log entries
    /// Forgets the media frames recorded so far (a long run keeps its memory flat with it).
    void clearMediaFrames();
    /// Entries kept by the log service: each log's fields plus "__logstore__", "__project__",
    /// "__route__" ("track" or "post"); posted entries also carry "__topic__" and "__source__".
    QList<QJsonObject> logEntries(const QString &logstore = {}) const;

    // Signalling WebSocket ("/nimbrameeting/websocket/channelwithauth"). Pushes, closes and
    // releases are queued to the simulator thread and happen in call order.
    using RegisterMode = SignallingRegisterMode;

    /// Every frame received (of `connection`, or of all when -1), in order.
    QList<SignallingFrame> signallingFrames(int connection = -1) const;
    int signallingConnections() const; ///< connections accepted so far (ids 1, 2, ...)
    int openSignallingConnections() const;
    /// How each ended signalling connection closed, by id: the close code of the first close
    /// frame on it (the client's, unless the simulator closed first), 1006 when the connection
    /// ended without one.
    QMap<int, int> signallingCloseCodes() const;
    /// Push event `eventId` about `memberUUID` to every connection registered to the scenario's
    /// first meeting (or `meetingUUID`), body = realistic default fields for that event from the
    /// scenario (e.g. "callState" for online/offline/mute events) merged with `fields`.
    void pushEvent(int eventId, const QString &memberUUID, const QJsonObject &fields = {},
                   const QString &meetingUUID = {});
    /// A caption line {"data": {"type": "summary", "body": {"sessionId": sessionId, ...}}}.
    void pushSummary(const QString &sessionId, const QJsonObject &fields = {}, const QString &meetingUUID = {});
    /// Member churn: the member goes online or offline in the live state (what member lists
    /// answer from then on), then the online (1) or offline (2) event is pushed.
    void setMemberOnline(const QString &memberUUID, bool online, const QString &meetingUUID = {});
    /// The live state of the first meeting (or `meetingUUID`): members and rooms as the
    /// service sees them now. Waits for the simulator thread; empty when stopped.
    QJsonObject liveMeeting(const QString &meetingUUID = {}) const;
    /// A tips push {"data": {"type": "tips", "body": tips + {"eventId": 10002}}} to every open
    /// connection; clients show "errorMsgEn"/"errorMsgZh" by "errorLevel" (1 dialog, 3 toast).
    void pushTips(const QJsonObject &tips);
    void pushFrame(const QByteArray &payload, bool binary = false); ///< any frame, to every open connection
    /// Close every open signalling connection with `code` and `reason`; 1006 aborts the TCP
    /// connection without a close frame (that is how a client sees 1006).
    void closeSignalling(int code, const QString &reason = {});
    /// Accept (check the token), Refuse (answer `refuseCode`) or Hold (no answer until
    /// releaseHeldRegisters()) register requests, internal registers included.
    void setRegisterMode(RegisterMode mode, int refuseCode = 91207);
    void releaseHeldRegisters(); ///< answers the held registers as Accept would
    /// Faults for replies to signalling requests by messageType ("register", "memberlist",
    /// "mute", ...): Hold (no reply until releaseHeldSignalling or stop), Delay, ErrorCode
    /// (responseCode = errorCode.toInt(), responseMsg = errorMsg), Close (abort that connection).
    void setSignallingFault(const QString &messageType, const Fault &fault);
    void releaseHeldSignalling(const QString &messageType = {}); ///< all held replies when empty

    // Media server ("/kelvo-media/signaling", docs/media-server-protocol.md). Pushes and closes
    // are queued to the simulator thread and happen in call order.

    int mediaClients() const;            ///< media connections open now
    int mediaConnections() const;        ///< media connections accepted so far (ids 1, 2, ...)
    /// Every frame media clients sent (of `connection`, or of all when -1), in order.
    QList<SimMediaFrame> mediaFrames(int connection = -1) const;
    /// How each ended media connection closed, by id, counted as for signallingCloseCodes().
    QMap<int, int> mediaCloseCodes() const;
    /// Sends `message` (any server message, e.g. {"type":"grade",...}) to every registered client.
    void pushMediaEvent(const QJsonObject &message);
    /// Announces a remote stream to every client (and to clients registering later).
    void addRemoteStream(const QString &streamId, const QString &display, bool screen);
    void removeRemoteStream(const QString &streamId);
    /// {"type":"hangup","causeCode":causeCode} to every registered client.
    void hangUpMedia(int causeCode);
    /// Closes every media connection with `code`; 1006 aborts without a close frame.
    void closeMedia(int code);
    /// One text frame of `payload` as it is to every registered client (e.g. one larger than a
    /// client accepts, which it closes with 1009).
    void pushMediaFrame(const QByteArray &payload);
    /// While on, new media connections are dropped unanswered (the media server is down);
    /// refusedMediaConnections() counts them.
    void setMediaRefused(bool refused);
    int refusedMediaConnections() const;

private:
    /// Runs `work` on the simulator thread with its media server (queued; dropped when stopped).
    /// Runs `work` on the simulator's thread, after the control calls made before it.
    void onWorker(std::function<void(SimServerWorker *)> work);
    void onMedia(std::function<void(SimMediaServer *)> work);
    /// Runs `work` on the simulator thread with the members' Janus feeds (dropped without Janus).
    void onFeeds(std::function<void(SimJanusFeeds *)> work);
    /// Runs `work` on the simulator thread with its signalling endpoint (queued; dropped when stopped).
    void onSignalling(std::function<void(SimSignallingServer *)> work);

    Options m_options;
    mutable std::mutex m_mutex;
    SimControl m_control;
    SimMediaRecord m_mediaRecord;
    QJsonObject m_scenario;
    QString m_certDir;
    QString m_caFile;
    quint16 m_port = 0;
    std::unique_ptr<QTemporaryDir> m_tempDir;
    std::unique_ptr<SimJanus> m_janus;
    SimJanusFeeds *m_feeds = nullptr; ///< owned by the worker, used on its thread
    QThread *m_thread = nullptr;
    SimServerWorker *m_worker = nullptr;
};

} // namespace kelvosim
