#include "SimControl.h"

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
}

std::optional<Fault> SimControl::takeFault(const QString &path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_faults.find(path);
    if (it == m_faults.end())
        return std::nullopt;
    const Fault fault = it.value();
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
    std::lock_guard<std::mutex> lock(m_mutex);
    if (path.isEmpty())
        return m_requests;
    QList<RecordedRequest> matching;
    for (const RecordedRequest &request : m_requests) {
        if (request.path == path)
            matching.append(request);
    }
    return matching;
}

void SimControl::clearRequests()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.clear();
    m_logEntries.clear();
}

QList<QJsonObject> SimControl::logEntries(const QString &logstore) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (logstore.isEmpty())
        return m_logEntries;
    QList<QJsonObject> matching;
    for (const QJsonObject &entry : m_logEntries) {
        if (entry.value(QLatin1String("__logstore__")).toString() == logstore)
            matching.append(entry);
    }
    return matching;
}

} // namespace kelvosim
