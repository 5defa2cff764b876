#include "platform/KLLinuxPower.h"

#include "platform/KLPlatformBuses.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>

namespace {

const QString kTag = QStringLiteral("KLPlatform");

const QString kScreenSaverService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kScreenSaverPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString kScreenSaverInterface = QStringLiteral("org.freedesktop.ScreenSaver");

const QString kLogindService = QStringLiteral("org.freedesktop.login1");
const QString kLogindPath = QStringLiteral("/org/freedesktop/login1");
const QString kLogindManager = QStringLiteral("org.freedesktop.login1.Manager");

QString describe(const QDBusError &error)
{
    return QStringLiteral("%1: %2").arg(error.name(), error.message());
}

} // namespace

KLLinuxPower::KLLinuxPower(KLPlatformBuses &buses, MainThreadPoster postOnMainThread)
    : m_buses(buses), m_postOnMainThread(std::move(postOnMainThread))
{
}

KLLinuxPower::~KLLinuxPower()
{
    // Inhibitors held through file descriptors end with them; the screen saver drops a cookie
    // when our connection closes, which follows right after.
    for (const auto &[handle, inhibit] : m_inhibits) {
        if (inhibit.holder == Holder::ScreenSaver)
            unInhibitScreenSaver(inhibit.cookie);
    }
    stopMonitoringSleep();
}

void KLLinuxPower::whenFinished(const QDBusPendingCall &call,
                                std::function<void(const QDBusPendingCall &)> onReply)
{
    auto *watcher = new QDBusPendingCallWatcher(call, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [watcher, onReply = std::move(onReply)](QDBusPendingCallWatcher *) {
                onReply(*watcher);
                watcher->deleteLater();
            });
}

// --- Display ----------------------------------------------------------------------------------

void KLLinuxPower::preventDisplaySleep(KLDisplaySleepHandle handle, const QString &reason)
{
    m_inhibits[handle].reason = reason;
    const std::optional<QDBusConnection> session = m_buses.session();
    if (!session) {
        inhibitWithLogind(handle);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kScreenSaverService, kScreenSaverPath,
                                                       kScreenSaverInterface, QStringLiteral("Inhibit"));
    call << KLPlatformBuses::applicationName() << reason;
    whenFinished(session->asyncCall(call, KLPlatformCallTimeoutMs), [this, handle](const QDBusPendingCall &finished) {
        const auto it = m_inhibits.find(handle);
        if (it == m_inhibits.end())
            return;
        const QDBusPendingReply<uint> reply = finished;
        if (reply.isError()) {
            KL_LOG_INFO(kTag, QStringLiteral("ScreenSaver.Inhibit failed (%1); trying a logind idle inhibitor")
                                  .arg(describe(reply.error())));
            inhibitWithLogind(handle);
            return;
        }
        if (it->second.givenBack) {
            unInhibitScreenSaver(reply.value());
            m_inhibits.erase(it);
            return;
        }
        it->second.holder = Holder::ScreenSaver;
        it->second.cookie = reply.value();
        KL_LOG_INFO(kTag, QStringLiteral("display kept awake (ScreenSaver cookie %1): %2")
                              .arg(it->second.cookie)
                              .arg(it->second.reason));
    });
}

void KLLinuxPower::inhibitWithLogind(KLDisplaySleepHandle handle)
{
    const auto it = m_inhibits.find(handle);
    if (it == m_inhibits.end())
        return;
    if (it->second.givenBack) {
        m_inhibits.erase(it);
        return;
    }
    const std::optional<QDBusConnection> system = m_buses.system();
    if (!system) {
        const QString session = m_buses.sessionError().isEmpty()
                                    ? QStringLiteral("no ScreenSaver service")
                                    : QStringLiteral("no session bus (%1)").arg(m_buses.sessionError());
        KL_LOG_WARN(kTag, QStringLiteral("display sleep not prevented for \"%1\": %2, no system bus (%3)")
                              .arg(it->second.reason, session, m_buses.systemError()));
        m_inhibits.erase(it);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kLogindService, kLogindPath, kLogindManager,
                                                       QStringLiteral("Inhibit"));
    call << QStringLiteral("idle") << KLPlatformBuses::applicationName() << it->second.reason
         << QStringLiteral("block");
    whenFinished(system->asyncCall(call, KLPlatformCallTimeoutMs), [this, handle](const QDBusPendingCall &finished) {
        const auto it = m_inhibits.find(handle);
        if (it == m_inhibits.end())
            return;
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = finished;
        if (reply.isError() || !reply.value().isValid()) {
            KL_LOG_WARN(kTag, QStringLiteral("display sleep not prevented for \"%1\": no ScreenSaver service, "
                                             "logind idle inhibitor refused (%2)")
                                  .arg(it->second.reason, reply.isError() ? describe(reply.error())
                                                                          : QStringLiteral("no descriptor")));
            m_inhibits.erase(it);
            return;
        }
        if (it->second.givenBack) {
            m_inhibits.erase(it); // the reply's descriptor closes with it
            return;
        }
        it->second.holder = Holder::Logind;
        it->second.lock = reply.value();
        KL_LOG_INFO(kTag, QStringLiteral("display kept awake (logind idle inhibitor): %1").arg(it->second.reason));
    });
}

void KLLinuxPower::allowDisplaySleep(KLDisplaySleepHandle handle)
{
    const auto it = m_inhibits.find(handle);
    if (it == m_inhibits.end()) {
        // Also the handle of a request that could not be served: it was logged then.
        KL_LOG_DEBUG(kTag, QStringLiteral("allowDisplaySleep: nothing held for handle %1").arg(handle));
        return;
    }
    switch (it->second.holder) {
    case Holder::Pending:
        it->second.givenBack = true; // released as soon as the answer arrives
        return;
    case Holder::ScreenSaver:
        unInhibitScreenSaver(it->second.cookie);
        break;
    case Holder::Logind:
        break; // closing our descriptor below releases it
    }
    KL_LOG_INFO(kTag, QStringLiteral("display may sleep again: %1").arg(it->second.reason));
    m_inhibits.erase(it);
}

void KLLinuxPower::unInhibitScreenSaver(uint cookie)
{
    const std::optional<QDBusConnection> session = m_buses.session();
    if (!session)
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(kScreenSaverService, kScreenSaverPath,
                                                       kScreenSaverInterface, QStringLiteral("UnInhibit"));
    call << cookie;
    whenFinished(session->asyncCall(call, KLPlatformCallTimeoutMs), [cookie](const QDBusPendingCall &finished) {
        if (finished.isError())
            KL_LOG_WARN(kTag, QStringLiteral("ScreenSaver.UnInhibit(%1) failed: %2")
                                  .arg(cookie)
                                  .arg(describe(finished.error())));
    });
}

// --- Sleep ------------------------------------------------------------------------------------

void KLLinuxPower::startMonitoringSleep()
{
    if (m_monitoring)
        return;
    const std::optional<QDBusConnection> system = m_buses.system();
    if (!system) {
        KL_LOG_WARN(kTag, QStringLiteral("system sleep not watched: no system bus (%1)").arg(m_buses.systemError()));
        return;
    }
    m_monitoring = true;
    if (!m_subscribed) {
        m_subscribed = QDBusConnection(*system).connect(kLogindService, kLogindPath, kLogindManager,
                                                        QStringLiteral("PrepareForSleep"), this,
                                                        SLOT(onPrepareForSleep(bool)));
        if (!m_subscribed) {
            KL_LOG_WARN(kTag, QStringLiteral("system sleep not watched: cannot subscribe to PrepareForSleep (%1)")
                                  .arg(describe(system->lastError())));
            m_monitoring = false;
            return;
        }
    }
    takeSleepDelayLock();
}

void KLLinuxPower::stopMonitoringSleep()
{
    m_monitoring = false;
    m_sleeping = false;
    if (m_subscribed) {
        if (const std::optional<QDBusConnection> system = m_buses.system())
            QDBusConnection(*system).disconnect(kLogindService, kLogindPath, kLogindManager,
                                                QStringLiteral("PrepareForSleep"), this,
                                                SLOT(onPrepareForSleep(bool)));
        m_subscribed = false;
    }
    releaseSleepDelayLock();
}

void KLLinuxPower::takeSleepDelayLock()
{
    if (!m_monitoring || m_sleepDelayLock.isValid() || m_delayLockRequested)
        return;
    const std::optional<QDBusConnection> system = m_buses.system();
    if (!system)
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(kLogindService, kLogindPath, kLogindManager,
                                                       QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << KLPlatformBuses::applicationName()
         << QStringLiteral("Leave the meeting before the system sleeps") << QStringLiteral("delay");
    m_delayLockRequested = true;
    whenFinished(system->asyncCall(call, KLPlatformCallTimeoutMs), [this](const QDBusPendingCall &finished) {
        m_delayLockRequested = false;
        if (!m_monitoring)
            return; // stopped meanwhile: the descriptor closes with the reply
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = finished;
        if (reply.isError() || !reply.value().isValid()) {
            KL_LOG_WARN(kTag, QStringLiteral("system sleep not delayed: logind sleep inhibitor refused (%1)")
                                  .arg(reply.isError() ? describe(reply.error()) : QStringLiteral("no descriptor")));
            return;
        }
        m_sleepDelayLock = reply.value();
        KL_LOG_INFO(kTag, QStringLiteral("watching system sleep (logind delay inhibitor held)"));
    });
}

void KLLinuxPower::releaseSleepDelayLock()
{
    m_sleepDelayLock = QDBusUnixFileDescriptor();
}

void KLLinuxPower::onPrepareForSleep(bool start)
{
    if (!m_monitoring)
        return;
    if (!start) {
        KL_LOG_INFO(kTag, QStringLiteral("PrepareForSleep(false): system has powered on"));
        m_sleeping = false;
        takeSleepDelayLock();
        return;
    }
    KL_LOG_INFO(kTag, QStringLiteral("PrepareForSleep(true): system will sleep"));
    m_sleeping = true;
    const QPointer<KLLinuxPower> self(this);
    m_postOnMainThread(
        [] { KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::SystemWillSleep); },
        [self] {
            // Observers have run: let the system go. If it woke up meanwhile, the lock we still
            // hold is the one for the next sleep.
            if (self && self->m_sleeping)
                self->releaseSleepDelayLock();
        });
}
