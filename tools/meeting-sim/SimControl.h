#pragma once

// What tests steer and read: faults per path (and per signalling messageType), the record of
// every request and signalling frame received and the log entries the log service accepted. Thread-safe: the server thread writes, any thread reads.

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QUrlQuery>

#include <mutex>
#include <optional>

namespace kelvosim {

struct RecordedRequest {
    QString method;
    QString path;                            ///< percent-decoded, without the query
    QString host;                            ///< Host header without port
    QUrlQuery query;
    QMap<QByteArray, QByteArray> headers;    ///< names lower-case
    QByteArray body;
    /// Decoded form fields keyed as sent ("members[]", "m[k]"); a key sent more than once
    /// keeps all its values joined with ",".
    QMap<QString, QString> form;
    QList<QPair<QString, QString>> formPairs; ///< decoded form pairs in body order
    QJsonObject params;                      ///< structured form: lists and maps rebuilt (SimForm.h)
    bool rejected = false;
    QString rejectReason;
};

/// One frame received on a signalling WebSocket connection.
struct SignallingFrame {
    int connection = 0;  ///< connection id (1, 2, ... in order of acceptance)
    QByteArray text;     ///< the payload as received (UTF-8 for text frames)
    bool binary = false; ///< a binary frame
    QJsonObject json;    ///< the payload parsed, when it is a JSON object
    bool isJson = false;
};

/// How the signalling endpoint answers register requests.
enum class SignallingRegisterMode { Accept, Refuse, Hold };

struct Fault {
    enum class Kind { ErrorCode, ErrorList, HttpStatus, NotJson, Hold, Delay, Close, Body, Redirect };
    Kind kind = Kind::ErrorCode;
    QString errorCode;
    QString errorMsg;
    int httpStatus = 500;
    int delayMs = 0;
    /// Body: the answer's exact bytes (JSON content type). Redirect: the Location it names.
    QByteArray payload;
    int times = -1; ///< how many matching requests it applies to; -1 = until cleared
    /// The share of matching requests it applies to, in percent, drawn at random per request;
    /// requests it spares do not count against `times`.
    int percent = 100;

    /// A fault of `kind` with an error code and message (used by ErrorCode and ErrorList).
    static Fault of(Kind kind, const QString &code = {}, const QString &message = {})
    {
        Fault fault;
        fault.kind = kind;
        fault.errorCode = code;
        fault.errorMsg = message;
        return fault;
    }
};

class SimControl
{
public:
    void setFault(const QString &path, const Fault &fault);
    void clearFaults();
    /// The fault for `path`, counting one use of it.
    std::optional<Fault> takeFault(const QString &path);

    void record(const RecordedRequest &request, const QList<QJsonObject> &logEntries);
    QList<RecordedRequest> requests(const QString &path) const;
    void clearRequests();
    QList<QJsonObject> logEntries(const QString &logstore) const;

    // Signalling: faults by messageType, the register mode, received frames, connection counts.
    void setSignallingFault(const QString &messageType, const Fault &fault);
    std::optional<Fault> takeSignallingFault(const QString &messageType);
    void setRegisterMode(SignallingRegisterMode mode, int refuseCode);
    SignallingRegisterMode registerMode(int *refuseCode) const;
    void recordFrame(const SignallingFrame &frame);
    QList<SignallingFrame> signallingFrames(int connection) const;
    /// Counts a newly accepted connection and returns its id.
    int signallingConnectionOpened();
    void signallingConnectionClosed();
    /// Connection `id` has ended with `code`: the close code the peer sent, or 1006 when the
    /// connection went without a close frame.
    void recordSignallingClose(int id, int code);
    QMap<int, int> signallingCloseCodes() const;
    int signallingConnections() const;
    int openSignallingConnections() const;

private:
    mutable std::mutex m_mutex;
    QMap<QString, Fault> m_faults;
    QList<RecordedRequest> m_requests;
    QList<QJsonObject> m_logEntries;
    QMap<QString, Fault> m_signallingFaults;
    SignallingRegisterMode m_registerMode = SignallingRegisterMode::Accept;
    int m_refuseCode = 91207;
    QList<SignallingFrame> m_frames;
    int m_connectionsAccepted = 0;
    int m_connectionsOpen = 0;
    QMap<int, int> m_closeCodes;
};

} // namespace kelvosim
