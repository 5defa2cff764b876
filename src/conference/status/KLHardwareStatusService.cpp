#include "conference/status/KLHardwareStatusService.h"

#include "cloudlog/KLQLSLogger.h"
#include "host/KLHostUtils.h"
#include "runtime/KLDispatchQueue.h"
#include "runtime/KLSDKGCDTimer.h"
#include "runtime/KLSDKLog.h"

#include <KelvoUISDK/KLSDKDispatch.h>

#include <QJsonArray>
#include <QJsonObject>

#include <cmath>
#include <exception>

namespace {

const QString kTag = QStringLiteral("KLHardwareStatusService");
const QString kThreadLabel = QStringLiteral("com.kelvo.hardwarestatus.timer");

// The report: level 3 (info), group 2.
constexpr int kReportLevel = 3;
constexpr int kReportGroup = 2;

QJsonArray toJsonArray(const QList<qint64> &values)
{
    QJsonArray array;
    for (qint64 value : values)
        array.append(value);
    return array;
}

/// A reading as the window keeps it: truncated towards zero, so -1.0 stays -1.
qint64 truncated(double reading)
{
    return std::isfinite(reading) ? qint64(std::trunc(reading)) : -1;
}

} // namespace

/// The reader and the readings of the current window. Shared with the ticks, which hold it
/// only weakly, so a tick that arrives after the service is gone does nothing.
struct KLHardwareStatusService::Window {
    Window(const QString &procRoot, const QString &process) : reader(procRoot, process) {}

    KLProcessUsageReader reader;
    mutable std::mutex mutex;
    quint32 count = 0;
    QList<qint64> cpuUsageArray;
    QList<qint64> memoryUsageArray;

    void sample();
    static void report(const QList<qint64> &cpu, const QList<qint64> &memory);
};

void KLHardwareStatusService::Window::sample()
{
    double cpu = -1.0;
    double memory = -1.0;
    try {
        cpu = reader.cpuUsage();
        memory = reader.memoryUsage();
    } catch (const std::exception &error) {
        KL_LOG_ERROR(kTag, QStringLiteral("Get Hardware status error: %1")
                               .arg(QString::fromLocal8Bit(error.what())));
        return;
    } catch (...) {
        KL_LOG_ERROR(kTag, QStringLiteral("Get Hardware status error"));
        return;
    }

    QList<qint64> fullCpu;
    QList<qint64> fullMemory;
    {
        std::lock_guard lock(mutex);
        ++count;
        cpuUsageArray.append(truncated(cpu));
        memoryUsageArray.append(truncated(memory));
        if (count < kReadingsPerReport)
            return;
        count = 0;
        fullCpu.swap(cpuUsageArray);
        fullMemory.swap(memoryUsageArray);
    }
    report(fullCpu, fullMemory);
}

void KLHardwareStatusService::Window::report(const QList<qint64> &cpu, const QList<qint64> &memory)
{
    // The lists travel as JSON texts inside a JSON text.
    const QJsonObject status{
        {QStringLiteral("cpuUsage"), KLHostUtils::objectToJson(toJsonArray(cpu))},
        {QStringLiteral("memoryUsage"), KLHostUtils::objectToJson(toJsonArray(memory))}};
    QString statusText = KLHostUtils::convertToJsonData(status);
    if (statusText.isNull())
        statusText = QStringLiteral("");
    KLQLSLogger::sharedInstance().commitMonitorLevel(
        kReportLevel, kReportGroup,
        QJsonObject{{QStringLiteral("value"), QStringLiteral("hardwareStatus")},
                    {QStringLiteral("mtype"), QStringLiteral("listener")},
                    {QStringLiteral("hardwareStatus"), statusText}});
}

KLHardwareStatusService::KLHardwareStatusService(const QString &procRoot, const QString &process)
    : m_window(std::make_shared<Window>(procRoot, process))
{
}

KLHardwareStatusService::~KLHardwareStatusService()
{
    stopTimer();
}

void KLHardwareStatusService::startTimer()
{
    stopTimer();
    std::lock_guard lock(m_timerMutex);
    m_thread = std::make_unique<KLDispatchQueue>(kThreadLabel);
    const std::weak_ptr<Window> weakWindow = m_window;
    // The timer thread only schedules; the reading runs on the conference serial queue.
    m_timer = KLSDKGCDTimer::scheduledTimerWithTimeInterval(
        kInterval, std::shared_ptr<void>(), // the tick holds the window weakly instead
        [weakWindow]() {
            KLPerformBlockOnSerialQueue([weakWindow]() {
                if (auto window = weakWindow.lock())
                    window->sample();
            });
        },
        m_thread.get(), QVariant(), true);
    KL_LOG_INFO(kTag, QStringLiteral("hardware status sampling started"));
}

void KLHardwareStatusService::stopTimer()
{
    std::unique_ptr<KLDispatchQueue> thread;
    {
        std::lock_guard lock(m_timerMutex);
        if (!m_thread)
            return;
        m_timer->invalidate();
        m_timer.reset();
        thread = std::move(m_thread);
    }
    // The invalidation deletes the platform timer on the thread; let it run before the
    // thread ends, so the timer is not torn down from outside its thread.
    thread->sync([]() {});
    thread.reset();
    KL_LOG_INFO(kTag, QStringLiteral("hardware status sampling stopped"));
}

bool KLHardwareStatusService::isRunning() const
{
    std::lock_guard lock(m_timerMutex);
    return m_thread != nullptr;
}

double KLHardwareStatusService::getCpuUsage()
{
    return m_window->reader.cpuUsage();
}

double KLHardwareStatusService::getMemoryUsage()
{
    return m_window->reader.memoryUsage();
}

void KLHardwareStatusService::sampleHardwareStatus()
{
    m_window->sample();
}

quint32 KLHardwareStatusService::count() const
{
    std::lock_guard lock(m_window->mutex);
    return m_window->count;
}

QList<qint64> KLHardwareStatusService::cpuUsageArray() const
{
    std::lock_guard lock(m_window->mutex);
    return m_window->cpuUsageArray;
}

QList<qint64> KLHardwareStatusService::memoryUsageArray() const
{
    std::lock_guard lock(m_window->mutex);
    return m_window->memoryUsageArray;
}
