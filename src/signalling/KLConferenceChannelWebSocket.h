#pragma once

// The WebSocket transport under the signal channel: one connection to the signalling
// endpoint, JSON objects in and out as text frames, connection state reported to its owner,
// and a new connection 0.5 s after every failure or close the owner did not ask for. A frame
// above 4 MB is not read: the connection closes with 1009 and the next one follows as after a drop.

#include <QJsonObject>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

class KLDispatchQueue;
class KLTimer;
class QWebSocket;

/// Connection states.
enum KLConferenceChannelState : qint64 {
    KLConferenceChannelStateNew = 0,
    KLConferenceChannelStateDisconnected = 1,
    KLConferenceChannelStateOpen = 2,
    KLConferenceChannelStateRegistered = 3,
};

/// The transport's owner. Both calls arrive on the transport's queue.
class KLConferenceChannelDelegate {
public:
    virtual ~KLConferenceChannelDelegate() = default;
    virtual void didChangeState(qint64 state) = 0;
    /// The received object; none for an empty, non-JSON or binary frame.
    virtual void didReceiveAppMessage(const std::optional<QJsonObject> &message) = 0;
    /// A received text frame: its text as it came and its object as didReceiveAppMessage
    /// gets it. The transport calls this for text frames; the default hands the object on.
    virtual void didReceiveAppFrame(const QString &text, const std::optional<QJsonObject> &message)
    {
        Q_UNUSED(text);
        didReceiveAppMessage(message);
    }
};

class KLConferenceChannelWebSocket
    : public std::enable_shared_from_this<KLConferenceChannelWebSocket> {
public:
    /// `transportParam`: "signalingServer" (the wss URL) and optionally "caFile" (extra PEM
    /// authorities trusted besides the system's). `bizType` prefixes every log line.
    static std::shared_ptr<KLConferenceChannelWebSocket>
    create(const QVariantMap &transportParam, std::weak_ptr<KLConferenceChannelDelegate> appDelegate,
           const QString &bizType);
    ~KLConferenceChannelWebSocket();

    /// A received text frame as the delegate gets it: the object, or none for empty or
    /// non-JSON text and for JSON that is not an object.
    static std::optional<QJsonObject> parseFrame(const QString &text);
    /// What the transport does with a received text frame: parses it once and hands text and
    /// object to `delegate` (didReceiveAppFrame).
    static void deliverFrame(KLConferenceChannelDelegate &delegate, const QString &text);

    /// Opens a fresh connection; nothing once disconnect() has been called.
    void connect();
    /// Sends the object as one pretty-printed text frame. A frame sent while no connection is
    /// open is dropped with a log line.
    void sendMessage(const QJsonObject &message, const QString &to = QString());
    /// Closes for good (code 1000, "close by client") once the frames sent before are out; no
    /// reconnect follows. The transport's queue lives on until the server has answered the
    /// close and the connection has ended (KLWebSocketClose), before the meeting's threads end.
    void disconnect();

    qint64 state() const { return m_state.load(); }
    /// Stores the state; the delegate hears of each distinct change once.
    void setState(qint64 state);
    std::weak_ptr<KLConferenceChannelDelegate> appDelegate() const;
    void setAppDelegate(std::weak_ptr<KLConferenceChannelDelegate> delegate);
    const QUrl &url() const { return m_url; }
    bool isClosed() const { return m_isClosed.load(); }
    /// The transport's serial queue ("com.kelvo.conferencechannel.ws"): every callback and
    /// every delegate call runs there.
    KLDispatchQueue &queue() { return *m_queue; }

private:
    KLConferenceChannelWebSocket(const QVariantMap &transportParam,
                                 std::weak_ptr<KLConferenceChannelDelegate> appDelegate,
                                 const QString &bizType);
    void openSocket(quint64 generation);
    void webSocketDidOpen(quint64 generation);
    void didReceiveMessage(quint64 generation, const std::optional<QJsonObject> &message);
    void didReceiveText(quint64 generation, const QString &text);
    void didFailWithError(quint64 generation, const QString &error);
    void didCloseWithCode(quint64 generation, int code, const QString &reason);
    void onFailed(quint64 generation);
    std::shared_ptr<KLConferenceChannelDelegate> lockDelegate() const;

    const QUrl m_url;
    const QString m_caFile;
    const QString m_bizType;
    std::atomic<qint64> m_state{KLConferenceChannelStateNew};
    std::atomic<bool> m_isClosed{false};
    std::atomic<quint64> m_generation{0};  ///< of the current socket; older sockets are ignored
    mutable std::mutex m_delegateMutex;
    std::weak_ptr<KLConferenceChannelDelegate> m_appDelegate;
    std::shared_ptr<KLDispatchQueue> m_queue;
    QWebSocket *m_socket = nullptr;        ///< lives on the queue; touched only there
    std::unique_ptr<KLTimer> m_reconnectTimer;
};
