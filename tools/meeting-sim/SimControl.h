#pragma once

// What tests steer and read: faults per path, the record of every request received and the
// log entries the log service accepted. Thread-safe: the server thread writes, any thread reads.

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

struct Fault {
    enum class Kind { ErrorCode, ErrorList, HttpStatus, NotJson, Hold, Delay, Close };
    Kind kind = Kind::ErrorCode;
    QString errorCode;
    QString errorMsg;
    int httpStatus = 500;
    int delayMs = 0;
    int times = -1; ///< how many matching requests it applies to; -1 = until cleared
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

private:
    mutable std::mutex m_mutex;
    QMap<QString, Fault> m_faults;
    QList<RecordedRequest> m_requests;
    QList<QJsonObject> m_logEntries;
};

} // namespace kelvosim
