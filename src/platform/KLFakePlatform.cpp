#include "platform/KLFakePlatform.h"

#include "runtime/KLMainThread.h"

void KLFakePlatform::record(const QString &name, QVariantList arguments)
{
    std::lock_guard lock(m_mutex);
    m_calls.push_back({name, std::move(arguments)});
}

void KLFakePlatform::answerOnMainThread(AccessCompletion completion, bool granted)
{
    if (!completion)
        return;
    if (!KLMainThread::post([completion, granted] { completion(granted); }))
        completion(granted);
}

// --- Settings ---------------------------------------------------------------------------------

void KLFakePlatform::setOsVersion(std::optional<KLOSVersion> version)
{
    std::lock_guard lock(m_mutex);
    m_version = version;
}

void KLFakePlatform::setAuthorizationStatus(KLMediaType type, int status)
{
    std::lock_guard lock(m_mutex);
    m_status[type] = status;
}

void KLFakePlatform::setAccessAnswer(KLMediaType type, std::optional<bool> granted)
{
    std::lock_guard lock(m_mutex);
    m_answer[type] = granted;
}

void KLFakePlatform::setHasVideoCaptureDevice(bool present)
{
    std::lock_guard lock(m_mutex);
    m_hasVideoCaptureDevice = present;
}

void KLFakePlatform::setCanRecordScreen(bool allowed)
{
    std::lock_guard lock(m_mutex);
    m_canRecordScreen = allowed;
}

void KLFakePlatform::setRecordScreenFromCreateStream(bool allowed)
{
    std::lock_guard lock(m_mutex);
    m_recordScreenFromCreateStream = allowed;
}

// --- Readings ---------------------------------------------------------------------------------

std::vector<KLFakePlatform::Call> KLFakePlatform::calls() const
{
    std::lock_guard lock(m_mutex);
    return m_calls;
}

void KLFakePlatform::clearCalls()
{
    std::lock_guard lock(m_mutex);
    m_calls.clear();
}

std::set<KLDisplaySleepHandle> KLFakePlatform::heldDisplaySleepHandles() const
{
    std::lock_guard lock(m_mutex);
    return m_held;
}

bool KLFakePlatform::isMonitoringSleep() const
{
    std::lock_guard lock(m_mutex);
    return m_monitoringSleep;
}

// --- KLPlatform -------------------------------------------------------------------------------

KLDisplaySleepHandle KLFakePlatform::preventDisplaySleep(const QString &reason)
{
    KLDisplaySleepHandle handle;
    {
        std::lock_guard lock(m_mutex);
        handle = m_nextHandle++;
        m_held.insert(handle);
    }
    record(QStringLiteral("preventDisplaySleep"), {reason, handle});
    return handle;
}

void KLFakePlatform::allowDisplaySleep(KLDisplaySleepHandle handle)
{
    {
        std::lock_guard lock(m_mutex);
        m_held.erase(handle);
    }
    record(QStringLiteral("allowDisplaySleep"), {handle});
}

void KLFakePlatform::startMonitoringSleep()
{
    {
        std::lock_guard lock(m_mutex);
        m_monitoringSleep = true;
    }
    record(QStringLiteral("startMonitoringSleep"));
}

void KLFakePlatform::stopMonitoringSleep()
{
    {
        std::lock_guard lock(m_mutex);
        m_monitoringSleep = false;
    }
    record(QStringLiteral("stopMonitoringSleep"));
}

int KLFakePlatform::authorizationStatusForMediaType(KLMediaType type)
{
    record(QStringLiteral("authorizationStatusForMediaType"), {mediaTypeName(type)});
    std::lock_guard lock(m_mutex);
    const auto it = m_status.find(type);
    return it == m_status.end() ? KLAuthorizationStatusAuthorized : it->second;
}

void KLFakePlatform::requestAccessForMediaType(KLMediaType type, AccessCompletion completion)
{
    record(QStringLiteral("requestAccessForMediaType"), {mediaTypeName(type)});
    std::optional<bool> answer = true;
    {
        std::lock_guard lock(m_mutex);
        if (const auto it = m_answer.find(type); it != m_answer.end())
            answer = it->second;
        if (!answer) {
            m_pending[type].push_back(std::move(completion));
            return;
        }
        m_status[type] = *answer ? KLAuthorizationStatusAuthorized : KLAuthorizationStatusDenied;
    }
    answerOnMainThread(std::move(completion), *answer);
}

bool KLFakePlatform::hasVideoCaptureDevice()
{
    record(QStringLiteral("hasVideoCaptureDevice"));
    std::lock_guard lock(m_mutex);
    return m_hasVideoCaptureDevice;
}

bool KLFakePlatform::canRecordScreen()
{
    record(QStringLiteral("canRecordScreen"));
    std::lock_guard lock(m_mutex);
    return m_canRecordScreen;
}

bool KLFakePlatform::recordScreenFromCreateStream()
{
    record(QStringLiteral("recordScreenFromCreateStream"));
    std::lock_guard lock(m_mutex);
    return m_recordScreenFromCreateStream;
}

std::optional<KLOSVersion> KLFakePlatform::osVersion()
{
    record(QStringLiteral("osVersion"));
    std::lock_guard lock(m_mutex);
    return m_version;
}
