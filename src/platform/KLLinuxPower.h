#pragma once

#include "platform/KLPlatform.h"

#include <QDBusUnixFileDescriptor>
#include <QObject>

#include <functional>
#include <map>

class KLPlatformBuses;
class QDBusPendingCall;

/// Keeping the display awake and hearing about system sleep, over D-Bus.
///
/// Display: org.freedesktop.ScreenSaver.Inhibit on the session bus (the desktop's screen saver
/// and power manager honour it); where that service is missing, a logind "idle" inhibitor on
/// the system bus (held as a file descriptor). Sleep: logind's PrepareForSleep signal, with a
/// "delay" inhibitor so that the meeting hears about the sleep before it happens.
///
/// Lives on the platform's thread; every member is called there. Every bus call is
/// asynchronous with KLPlatformCallTimeoutMs, so nothing here waits on a service.
class KLLinuxPower : public QObject {
    Q_OBJECT
public:
    /// `postOnMainThread` delivers the sleep notification on the main thread and runs `then`
    /// on this object's thread afterwards.
    using MainThreadPoster = std::function<void(std::function<void()> onMain, std::function<void()> then)>;

    KLLinuxPower(KLPlatformBuses &buses, MainThreadPoster postOnMainThread);
    ~KLLinuxPower() override;

    void preventDisplaySleep(KLDisplaySleepHandle handle, const QString &reason);
    void allowDisplaySleep(KLDisplaySleepHandle handle);
    void startMonitoringSleep();
    void stopMonitoringSleep();

private Q_SLOTS:
    void onPrepareForSleep(bool start);

private:
    enum class Holder { Pending, ScreenSaver, Logind };
    struct Inhibit {
        QString reason;
        Holder holder = Holder::Pending;
        uint cookie = 0;
        QDBusUnixFileDescriptor lock; // logind's; closing it releases the inhibitor
        bool givenBack = false;       // allowDisplaySleep came while the request was in flight
    };

    void inhibitWithLogind(KLDisplaySleepHandle handle);
    void unInhibitScreenSaver(uint cookie);
    void takeSleepDelayLock();
    void releaseSleepDelayLock();
    /// Runs `onReply` with the finished call on this thread.
    void whenFinished(const QDBusPendingCall &call, std::function<void(const QDBusPendingCall &)> onReply);

    KLPlatformBuses &m_buses;
    MainThreadPoster m_postOnMainThread;
    std::map<KLDisplaySleepHandle, Inhibit> m_inhibits;

    bool m_monitoring = false;
    bool m_subscribed = false;
    bool m_delayLockRequested = false;
    bool m_sleeping = false; // between PrepareForSleep(true) and PrepareForSleep(false)
    QDBusUnixFileDescriptor m_sleepDelayLock;
};
