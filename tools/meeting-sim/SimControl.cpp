#include "SimControl.h"

#include <QRandomGenerator>

namespace kelvosim {

void SimControl::setFault(const QString &path, const Fault &fault)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (fault.times == 0)
        m_faults.remove(path);
    else
        m_faults.insert(path, fault);
}

void SimControl::clearFaults()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.clear();
    m_signallingFaults.clear();
    m_registerMode = SignallingRegisterMode::Accept;
    m_refuseCode = 91207;
}

std::optional<Fault> SimControl::takeFault(const QString &path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_faults.find(path);
    if (it == m_faults.end())
        return std::nullopt;
    const Fault fault = it.value();
    if (fault.percent < 100 && QRandomGenerator::global()->bounded(100) >= fault.percent)
        return std::nullopt;
    if (it->times > 0 && --it->times == 0)
        m_faults.erase(it);
    return fault;
}

void SimControl::record(const RecordedRequest &request, const QList<QJsonObject> &logEntries)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.append(request);
    m_logEntries.append(logEntries);
}

QList<RecordedRequest> SimControl::requests(const QString &path) const
{
    // Every list handed out is a list of its own, as SimMediaRecord::frames explains.
    std::lock_guard<std::mutex> lock(m_mutex);
    QList<RecordedRequest> matching;
    for (const RecordedRequest &request : m_requests) {
        if (path.isEmpty() || request.path == path)
            matching.append(request);
    }
    return matching;
}

void SimControl::clearRequests()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.clear();
    m_logEntries.clear();
    m_frames.clear();
}

QList<QJsonObject> SimControl::logEntries(const QString &logstore) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QList<QJsonObject> matching;
    for (const QJsonObject &entry : m_logEntries) {
        if (logstore.isEmpty() || entry.value(QLatin1String("__logstore__")).toString() == logstore)
            matching.append(entry);
    }
    return matching;
}

void SimControl::setSignallingFault(const QString &messageType, const Fault &fault)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (fault.times == 0)
        m_signallingFaults.remove(messageType);
    else
        m_signallingFaults.insert(messageType, fault);
}

std::optional<Fault> SimControl::takeSignallingFault(const QString &messageType)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_signallingFaults.find(messageType);
    if (it == m_signallingFaults.end())
        return std::nullopt;
    const Fault fault = it.value();
    if (it->times > 0 && --it->times == 0)
        m_signallingFaults.erase(it);
    return fault;
}

void SimControl::setRegisterMode(SignallingRegisterMode mode, int refuseCode)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_registerMode = mode;
    m_refuseCode = refuseCode;
}

SignallingRegisterMode SimControl::registerMode(int *refuseCode) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (refuseCode)
        *refuseCode = m_refuseCode;
    return m_registerMode;
}

void SimControl::recordFrame(const SignallingFrame &frame)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_frames.append(frame);
}

QList<SignallingFrame> SimControl::signallingFrames(int connection) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QList<SignallingFrame> matching;
    for (const SignallingFrame &frame : m_frames) {
        if (connection < 0 || frame.connection == connection)
            matching.append(frame);
    }
    return matching;
}

int SimControl::signallingConnectionOpened()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_connectionsOpen;
    return ++m_connectionsAccepted;
}

void SimControl::signallingConnectionClosed()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_connectionsOpen > 0)
        --m_connectionsOpen;
}

void SimControl::recordSignallingClose(int id, int code)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_closeCodes.insert(id, code);
}

QMap<int, int> SimControl::signallingCloseCodes() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QMap<int, int> codes = m_closeCodes;
    codes.detach(); // copied here, under the lock
    return codes;
}

int SimControl::signallingConnections() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_connectionsAccepted;
}

int SimControl::openSignallingConnections() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_connectionsOpen;
}

} // namespace kelvosim
